#pragma once
// The stored form of the proxy password: " ~ ~ " + Base64 of the Blowfish-CBC
// cipher text under a key fixed in the program. It keeps the password from
// being read at a glance in the settings; it is not a secret from anyone who
// has the program.
#include "core/str.h"

namespace vx {

// Throws vx::Exception when the cipher cannot be had (an OpenSSL without its
// legacy provider): a caller must then keep what the store holds rather than
// store a form that reads back as an empty password.
Str ProtectPassword(const Str& clearText);

// If stored begins with " ~ ~ ", replaces it by the decrypted text and returns
// true; otherwise leaves it alone and returns false. Throws vx::Exception
// when a protected value cannot be read (no cipher, or it does not decrypt
// cleanly); stored is then left alone.
bool UnprotectPassword(Str& stored);

}  // namespace vx
