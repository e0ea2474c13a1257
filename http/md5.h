#pragma once
// The MD5 message digest of RFC 1321, used for HTTP Digest authentication
// (RFC 2617). Not for anything that needs collision resistance.
#include <cstddef>
#include <cstdint>

#include "core/str.h"

namespace vxw {

class MD5 {
public:
    MD5();

    // Adds bytes to the message. Throws vx::Exception once finalized.
    void update(const void* bytes, size_t length);
    // Pads the message and fixes the digest. Throws vx::Exception when done twice.
    void finalize();
    // Writes 32 lower-case hexadecimal digits and a terminating zero into
    // text. Throws vx::Exception before finalize.
    void hex_digest(char (&text)[33]) const;

private:
    void Transform(const unsigned char block[64]);

    uint32_t state[4];
    uint32_t count[2];  // message length in bits, low word first
    unsigned char buffer[64];
    unsigned char digest[16];
    bool finalized = false;
};

// The digest of the bytes as 32 lower-case hexadecimal digits.
vx::Str Md5Hex(const void* bytes, size_t length);
inline vx::Str Md5Hex(const vx::Str& text) {
    return Md5Hex(text.data(), text.size());
}
// The digest of the parts taken one after the other.
vx::Str Md5Hex(const vx::StrParts& parts);

}  // namespace vxw
