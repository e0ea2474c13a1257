#pragma once
// Base64 of RFC 2045.
#include "core/str.h"

namespace vx {

// The encoding as one line: no line breaks inside or at the end.
Str EncodeBase64(const Str& bytes);

// Lenient decoding: tab, LF, CR and space are skipped; any other character
// outside the alphabet is skipped too and sets *error. The first "=" ends the
// data; a trailing group of fewer than four characters gives nothing.
Str DecodeBase64(const Str& text, bool* error = nullptr);

}  // namespace vx
