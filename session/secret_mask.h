#pragma once
// What the conversation log shows of a client line that may carry a secret.
// A client may put blanks (spaces, tabs, other control bytes) before the
// command word and between its words; the server may still take the command,
// so the mask must too.
#include <cstddef>
#include <string_view>

#include "core/str.h"

namespace vxw {

// The line without the blanks in front.
std::string_view SkipBlanks(std::string_view line);

// A line whose command word starts with the letters PASS, in any case:
// "PASS ****". The password cannot hide in a longer word ("PASSWORD x").
bool MaskPassCommand(std::string_view line, vx::Str& shown);

// An AUTH line: "AUTH", the mechanism when it is a registered one ("AUTH
// PLAIN"), and "****" for whatever follows; an unknown word after AUTH may be
// the secret itself (a client that left the mechanism out), so it shows as
// "AUTH ****" too. A word glued to AUTH by "=" ("AUTH=<base64>") shows as
// "AUTH=****".
bool MaskAuthCommand(std::string_view line, vx::Str& shown);

// What the log shows of the lines of a POP3 or SMTP client. Before the
// session is authenticated, a line shows only when it is a command the
// service knows with the arguments it expects ("USER name", "QUIT", "EHLO
// host"); anything else may be a password sent astray (a client that sends
// it on its own line, "USER name password", an answer to a challenge the
// client believes it got) and shows as "****". After an AUTH line, in any
// state, every line shows as "****" until the client sends a known command
// again: those lines are the mechanism's exchange. PASS and AUTH lines are
// masked as above in every state.
class CredentialMask {
public:
    // Whether the text after a command word and its blank (empty when the
    // word ends the line) is what the command expects.
    using ArgumentCheck = bool (*)(std::string_view arguments, bool hasArguments);
    struct Known {
        const char* word;
        ArgumentCheck arguments;
    };

    CredentialMask(const Known* table, size_t count) : table(table), count(count) {}
    template <size_t N>
    explicit CredentialMask(const Known (&known)[N]) : CredentialMask(known, N) {}

    vx::Str Shown(const vx::Str& line, bool authenticated);

    // Argument checks for the tables.
    static bool None(std::string_view arguments, bool hasArguments);
    static bool OneWord(std::string_view arguments, bool hasArguments);
    static bool AnyText(std::string_view arguments, bool hasArguments);
    static bool OptionalNumber(std::string_view arguments, bool hasArguments);
    static bool OneNumber(std::string_view arguments, bool hasArguments);
    static bool TwoNumbers(std::string_view arguments, bool hasArguments);

private:
    bool IsKnown(std::string_view line) const;

    const Known* table;
    size_t count;
    bool afterAuth = false;  // the lines since an AUTH belong to its exchange
};

// The registered SASL mechanism word names, in its canonical spelling; null
// for any other word (which may be the secret of a client that left the
// mechanism out).
const char* KnownMechanism(std::string_view word);

}  // namespace vxw
