#pragma once
// The program's string: a byte string with its length. Text in it is UTF-8 or
// the 8-bit bytes of the system's narrow code page, as each user states.
#include <string>
#include <string_view>
#include <vector>

namespace vx {
using Str = std::string;
// A text in parts, in order: views into strings kept elsewhere, so that a
// large text (a message on its way to the service) is never joined into one
// string only to be sent.
using StrParts = std::vector<std::string_view>;
}  // namespace vx
