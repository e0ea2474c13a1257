#include "core/singleton.h"

#include <vector>

namespace qn {
namespace detail {
namespace {

class Registry {
public:
    ~Registry() {
        std::lock_guard<std::recursive_mutex> guard(SingletonLock());
        while (!objects.empty()) {
            Singleton_Base* last = objects.back();
            objects.pop_back();
            delete last;
        }
    }
    std::vector<Singleton_Base*> objects;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

std::recursive_mutex& SingletonLock() {
    // Never destroyed: the registry's clean-up at exit still takes it.
    static auto* lock = new std::recursive_mutex;
    return *lock;
}

void RegisterSingleton(Singleton_Base* object) { TheRegistry().objects.push_back(object); }

}  // namespace detail
}  // namespace qn
