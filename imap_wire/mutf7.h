#pragma once
// Mailbox names in modified UTF-7 (RFC 3501 5.1.3): printable ASCII stands
// for itself ("&" as "&-"), every other character is UTF-16 in a Base64 with
// "," for "/", between "&" and "-".
#include <string_view>

#include "core/str.h"

namespace Mutf7 {

// The name of a UTF-8 text; bytes that are no UTF-8 (and NUL) become U+FFFD.
vx::Str Encode(std::string_view utf8);

// The UTF-8 text of a name; false for any form Encode would not write (an
// unterminated or empty "&" run, characters outside the alphabet, pad bits
// that are not zero, printable ASCII or NUL inside a run, a lone surrogate,
// two runs back to back, a control character or an 8-bit byte outside a
// run). Refusing them keeps one folder to one name.
bool Decode(std::string_view name, vx::Str& utf8);

}  // namespace Mutf7
