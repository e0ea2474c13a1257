#pragma once
// The same pseudo-random sequence on every system and every run, for tests
// that cut input at varying places.
#include <cstddef>

namespace testing_support {

// A number in [0, limit); limit must not be 0.
size_t RandomBelow(size_t limit);

}  // namespace testing_support
