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
    std::string_view word = TakeWord(rest);
    if (word.size() > 4 && word[4] == '=' && StartsWithNoCase(word, "AUTH")) {
        shown = "AUTH=****";
        return true;
    }
    if (!vx::Ascii::EqualNoCase(word, "AUTH")) return false;
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

namespace {

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

vx::Str CredentialMask::Shown(const vx::Str& line, bool authenticated) {
    vx::Str shown;
    if (MaskPassCommand(line, shown)) return shown;
    if (MaskAuthCommand(line, shown)) {
        afterAuth = true;
        return shown;
    }
    bool known = IsKnown(line);
    if (afterAuth) {
        if (!known) return "****";
        afterAuth = false;
    }
    return known || authenticated ? line : "****";
}

// As the sessions split a command: the word up to the first blank, the
// arguments after it.
bool CredentialMask::IsKnown(std::string_view line) const {
    size_t blank = line.find(' ');
    std::string_view word = line.substr(0, blank);
    bool hasArguments = blank != std::string_view::npos;
    std::string_view arguments = hasArguments ? line.substr(blank + 1) : std::string_view();
    for (size_t i = 0; i < count; ++i) {
        if (vx::Ascii::EqualNoCase(word, table[i].word))
            return table[i].arguments(arguments, hasArguments);
    }
    return false;
}

bool CredentialMask::None(std::string_view, bool hasArguments) {
    return !hasArguments;
}

bool CredentialMask::OneWord(std::string_view arguments, bool hasArguments) {
    if (!hasArguments || arguments.empty()) return false;
    for (char c : arguments)
        if (IsBlank(c)) return false;
    return true;
}

bool CredentialMask::AnyText(std::string_view, bool) {
    return true;
}

bool CredentialMask::OptionalNumber(std::string_view arguments, bool hasArguments) {
    return !hasArguments || AllDigits(arguments);
}

bool CredentialMask::OneNumber(std::string_view arguments, bool hasArguments) {
    return hasArguments && AllDigits(arguments);
}

bool CredentialMask::TwoNumbers(std::string_view arguments, bool hasArguments) {
    size_t blank = arguments.find(' ');
    return hasArguments && blank != std::string_view::npos &&
           AllDigits(arguments.substr(0, blank)) && AllDigits(arguments.substr(blank + 1));
}

}  // namespace vxw
