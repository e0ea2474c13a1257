#pragma once
// Text conversions shared across the program: UTF-8 (text/utf8.h), character
// references, header-safe text, Base64, splitting and number formatting.
// Stateless; failures are vx::Exception.
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/str.h"
#include "text/utf8.h"

namespace vx {
namespace StrUtil {

// text in the named character set as UTF-8; "UTF-8" and "UTF8" (any case)
// return it unchanged, an unknown set is read as ISO-8859-1.
Str ConvertToUtf8(std::string_view charset, std::string_view text);

// UTF-8 text fit for a mail header line: unchanged when it is ASCII, else
// RFC 2047 "B" words of about 60 bytes each in the first single-byte set that
// carries every character (UTF-8 if none), joined by single spaces.
Str EncodeHeaderText(const Str& text);

// Base64 on one line.
Str Base64Encode(const Str& bytes);
// Lenient: characters outside the alphabet are skipped without complaint.
Str Base64Decode(const Str& text);

// One character or entity reference at the start of text: "&" and a ";"
// within the next 15 bytes (no NUL before it). On a match value is its UTF-8
// (empty for an unknown entity name), consumed its length, and the result
// true. "&#65;", "&#x41;" and "&x41;" are references to "A"; a number without
// digits stands for "-".
bool GetElementVal(std::string_view text, Str& value, size_t& consumed);

// text with every reference that GetElementVal recognises replaced by its
// value; everything else, markup included, stays.
Str XmlToText(std::string_view text);

// Appends the tokens of text to list. Each delimiter ends a token (which may be
// empty); with collapse, delimiters that follow directly are skipped. A quote
// character opens a stretch that runs to the same quote and is not split;
// quotes stay in the token, and an unclosed quote makes the rest of the text
// the last token.
void Tokenize(std::vector<Str>& list, std::string_view text, std::string_view delimiters,
              std::string_view quotes, bool collapse);

struct UrlParts {
    Str scheme;
    Str host;
    int port = -1;  // -1 when neither given nor known for the scheme
    Str path;       // from the first "/" after the host on
};

// scheme://host[:port][/path]; a text without "://" is all path. Without a
// port, http, https and ftp give 80, 443 and 21.
UrlParts SplitUrl(const Str& url);

Str IntToStr(int32_t value);    // "%d"
Str UIntToStr(uint32_t value);  // "%u"
Str HexStr(uint32_t value);     // "%8.8x": eight lower-case digits

}  // namespace StrUtil
}  // namespace vx
