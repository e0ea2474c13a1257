#include "tests/support/random.h"

#include <mutex>
#include <random>

namespace testing_support {

size_t RandomBelow(size_t limit) {
    static std::mutex lock;
    static std::mt19937_64 generator(1);
    std::lock_guard<std::mutex> guard(lock);
    return static_cast<size_t>(generator() % limit);
}

}  // namespace testing_support
