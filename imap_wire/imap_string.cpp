#include "imap_wire/imap_string.h"

#include <cstring>

namespace ImapString {
namespace {

constexpr char kNulStandIn = '\x80';

// ASTRING-CHAR of RFC 3501: any CHAR but CTL, SP and "(){%*\"\\".
bool IsAstringChar(unsigned char c) {
    return c > 0x20 && c < 0x7f && !std::strchr("(){%*\"\\", c);
}

}  // namespace

bool NeedsLiteral(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80 || c == '\r' || c == '\n' || c == 0) return true;
    return false;
}

void AppendString(vx::Str& out, std::string_view text) {
    if (NeedsLiteral(text)) {
        out += '{';
        out += std::to_string(text.size());
        out += "}\r\n";
        for (char c : text) out += c ? c : kNulStandIn;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
}

void AppendNString(vx::Str& out, std::string_view text) {
    if (text.empty())
        out += "NIL";
    else
        AppendString(out, text);
}

void AppendAString(vx::Str& out, std::string_view text) {
    bool atom = !text.empty();
    for (unsigned char c : text) atom = atom && IsAstringChar(c);
    if (atom)
        out.append(text);
    else
        AppendString(out, text);
}

}  // namespace ImapString
