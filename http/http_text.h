#pragma once
// Small text helpers of the HTTP client: trimming and bounded number reading.
#include <cstdint>

#include "core/str.h"

namespace vxw {

// text without blanks, CR and LF at either end (tabs stay, as in the header values we read).
vx::Str TrimBlanks(const vx::Str& text);

// The decimal number at the start of text as atoi reads it (leading blanks,
// an optional sign, digits up to the first other character; none gives 0),
// but clamped to [min, max] instead of overflowing. *digits, when given, says
// whether any digit was found.
int64_t ReadDecimal(const vx::Str& text, int64_t min, int64_t max, bool* digits = nullptr);

}  // namespace vxw
