#pragma once
// The stored form of the proxy password: " ~ ~ " + Base64 of the Blowfish-CBC
// cipher text under a key fixed in the program. It keeps the password from
// being read at a glance in the settings; it is not a secret from anyone who
// has the program.
#include "core/str.h"

namespace vx {

Str ProtectPassword(const Str& clearText);

// If stored begins with " ~ ~ ", replaces it by the decrypted text and returns
// true; otherwise leaves it alone and returns false. A value that does not
// decrypt cleanly gives whatever the cipher produced.
bool UnprotectPassword(Str& stored);

}  // namespace vx
