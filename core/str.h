#pragma once
// The program's string: a byte string with its length. Text in it is UTF-8 or
// the 8-bit bytes of the system's narrow code page, as each user states.
#include <string>

namespace vx {
using Str = std::string;
}
