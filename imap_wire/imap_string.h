#pragma once
// Strings in IMAP replies (RFC 3501 4.3, 9): a quoted string where it can
// carry the text, a literal where it cannot.
#include <string_view>

#include "core/str.h"

namespace ImapString {

// True when a quoted string cannot carry text: 8-bit bytes, CR, LF or NUL.
bool NeedsLiteral(std::string_view text);

// "text" with \ and " escaped, or {n} CR LF text when it needs a literal. A
// NUL cannot travel in either form and becomes 0x80, as in other servers.
void AppendString(vx::Str& out, std::string_view text);

// NIL for an empty text, AppendString otherwise: for fields where an empty
// value and an absent one mean the same.
void AppendNString(vx::Str& out, std::string_view text);

// An atom where the text can be one (mailbox names, header field names),
// AppendString otherwise.
void AppendAString(vx::Str& out, std::string_view text);

}  // namespace ImapString
