#pragma once
// Header fields as a person reads them, for searching: RFC 2047 encoded
// words decoded through the charset tables (MimeCharset), the blanks
// between two adjacent encoded words dropped (6.2), line breaks removed. A
// word that is malformed (an unknown encoding, a base64 text with foreign
// characters, no closing "?=") stays as written (6.3). Bytes outside
// encoded words are read as MimeCharset reads text without a charset.
#include <string_view>

#include "core/str.h"

vx::Str DecodeHeaderText(std::string_view value);

// Every field of a header section as "Name: text" CR LF, its value decoded
// as above.
vx::Str DecodeHeaderSection(std::string_view header);
