#pragma once
// The digests and random values of the service, all from OpenSSL's libcrypto:
// the service must not share code with the client whose Digest answers it checks.
#include <string>
#include <string_view>

namespace httpmail {

// MD5 of the bytes as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view data);
// `bytes` random bytes as lower-case hexadecimal digits.
std::string RandomHex(size_t bytes);
// Standard Base64 with padding; false for anything else.
bool DecodeBase64(std::string_view in, std::string& out);

}  // namespace httpmail
