#pragma once
// UTF-8 in its original form: one to six bytes per code point, code points up
// to 0x7FFFFFFF. Neither DecodeUtf8 nor the encoders fail: malformed input is
// skipped. NextUtf8 and IsUtf8 tell well-formed text from the rest.
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/str.h"

namespace vx {

using CodePoints = std::vector<uint32_t>;

namespace StrUtil {

// Stray continuation bytes and a lead byte whose sequence runs past the end
// are skipped; a sequence that decodes to 0 gives nothing and only its lead
// byte is consumed. Following bytes are not checked for their top bits.
CodePoints DecodeUtf8(std::string_view text);

// Well-formed UTF-8 as RFC 3629 has it (no overlong forms, no surrogates,
// nothing above U+10FFFF): the length of the sequence at the start of text
// with its code point, or 0 when text starts with none.
size_t NextUtf8(std::string_view text, uint32_t& codePoint);
// Whether all of text is well-formed UTF-8.
bool IsUtf8(std::string_view text);

// Replaces out with the bytes of codePoint; a code point with the top bit set
// leaves out as it was.
void EncodeUtf8(Str& out, uint32_t codePoint);

// Appends the bytes of codePoint (nothing for one with the top bit set).
void AppendUtf8(Str& out, uint32_t codePoint);

}  // namespace StrUtil
}  // namespace vx
