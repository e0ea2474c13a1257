#pragma once
// Lazily created process-wide objects. Each is created on first use under one
// process-wide lock and appended to a registry; at process exit the registry
// deletes them from the back, so they go in the reverse order of creation.
// The lock is recursive: a singleton's constructor may use another singleton
// (the settings use the TLS library for the password cipher).
#include <atomic>
#include <mutex>

namespace qn {

class Singleton_Base {
public:
    virtual ~Singleton_Base() = default;
};

namespace detail {
std::recursive_mutex& SingletonLock();
// Takes ownership; deleted at exit in reverse order of registration.
void RegisterSingleton(Singleton_Base* object);
}  // namespace detail

template <class T>
class Singleton : public Singleton_Base {
public:
    // Creates the object on first use. If its constructor throws, nothing is
    // kept and the next call tries again.
    static T& Instance() {
        Singleton* current = instance.load(std::memory_order_acquire);
        if (current == nullptr) {
            std::lock_guard<std::recursive_mutex> guard(detail::SingletonLock());
            current = instance.load(std::memory_order_relaxed);
            if (current == nullptr) {
                current = new Singleton();
                detail::RegisterSingleton(current);
                instance.store(current, std::memory_order_release);
            }
        }
        return current->object;
    }

    static bool Exists() { return instance.load(std::memory_order_acquire) != nullptr; }

private:
    Singleton() = default;
    ~Singleton() override { instance.store(nullptr, std::memory_order_release); }

    T object;
    static std::atomic<Singleton*> instance;
};

template <class T>
std::atomic<Singleton<T>*> Singleton<T>::instance{nullptr};

}  // namespace qn
