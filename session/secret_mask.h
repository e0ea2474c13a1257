#pragma once
// What the conversation log shows of a client line that may carry a secret.
// A client may put blanks (spaces, tabs, other control bytes) before the
// command word and between its words; the server may still take the command,
// so the mask must too.
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
// "AUTH ****" too.
bool MaskAuthCommand(std::string_view line, vx::Str& shown);

// The registered SASL mechanism word names, in its canonical spelling; null
// for any other word (which may be the secret of a client that left the
// mechanism out).
const char* KnownMechanism(std::string_view word);

}  // namespace vxw
