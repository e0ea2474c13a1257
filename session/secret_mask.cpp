#include "session/secret_mask.h"

#include "text/ascii.h"

namespace vxw {
namespace {

// The SASL mechanisms a mail client may name (RFC 4422 registry, and the
// LOGIN of old clients).
const char* const kMechanisms[] = {
    "PLAIN",    "LOGIN",   "CRAM-MD5",    "DIGEST-MD5", "NTLM",     "GSSAPI",
    "XOAUTH2",  "OAUTHBEARER", "SCRAM-SHA-1", "SCRAM-SHA-256", "EXTERNAL", "ANONYMOUS",
};

bool IsBlank(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7f;
}

// The word at the start of text (up to a blank); text moves past it and the
// blanks behind it.
std::string_view TakeWord(std::string_view& text) {
    size_t end = 0;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    std::string_view word = text.substr(0, end);
    text = SkipBlanks(text.substr(end));
    return word;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           vx::Ascii::EqualNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

const char* KnownMechanism(std::string_view word) {
    for (const char* mechanism : kMechanisms) {
        if (vx::Ascii::EqualNoCase(word, mechanism)) return mechanism;
    }
    return nullptr;
}

std::string_view SkipBlanks(std::string_view line) {
    size_t start = 0;
    while (start < line.size() && IsBlank(line[start])) ++start;
    return line.substr(start);
}

bool MaskPassCommand(std::string_view line, vx::Str& shown) {
    if (!StartsWithNoCase(SkipBlanks(line), "PASS")) return false;
    shown = "PASS ****";
    return true;
}

bool MaskAuthCommand(std::string_view line, vx::Str& shown) {
    std::string_view rest = SkipBlanks(line);
    if (!vx::Ascii::EqualNoCase(TakeWord(rest), "AUTH")) return false;
    shown = "AUTH";
    if (rest.empty()) return true;
    const char* mechanism = KnownMechanism(TakeWord(rest));
    if (mechanism == nullptr) {
        shown += " ****";
        return true;
    }
    shown += vx::Str(" ") + mechanism;
    if (!rest.empty()) shown += " ****";
    return true;
}

}  // namespace vxw
