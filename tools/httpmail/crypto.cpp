#include "tools/httpmail/crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>
#include <vector>

namespace httpmail {

namespace {
std::string Hex(const unsigned char* bytes, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}
}  // namespace

std::string Md5Hex(std::string_view data) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_Digest(data.data(), data.size(), md, &len, EVP_md5(), nullptr) != 1)
        throw std::runtime_error("Md5Hex: EVP_Digest failed");
    return Hex(md, len);
}

std::string RandomHex(size_t bytes) {
    std::vector<unsigned char> buffer(bytes);
    if (RAND_bytes(buffer.data(), int(bytes)) != 1)
        throw std::runtime_error("RandomHex: RAND_bytes failed");
    return Hex(buffer.data(), bytes);
}

bool DecodeBase64(std::string_view in, std::string& out) {
    if (in.size() % 4 != 0 || in.size() > (1u << 20)) return false;
    // EVP_DecodeBlock skips blanks and accepts '=' anywhere; the text must be plain.
    for (size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        const bool alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                              (c >= '0' && c <= '9') || c == '+' || c == '/';
        const bool padding =
            c == '=' && i + 2 >= in.size() && (i + 1 == in.size() || in[i + 1] == '=');
        if (!alphabet && !padding) return false;
    }
    std::vector<unsigned char> buffer(in.size() / 4 * 3 + 1);
    const int n = EVP_DecodeBlock(buffer.data(), reinterpret_cast<const unsigned char*>(in.data()),
                                  int(in.size()));
    if (n < 0) return false;
    size_t padding = 0;
    if (!in.empty() && in.back() == '=') padding = in[in.size() - 2] == '=' ? 2 : 1;
    out.assign(reinterpret_cast<const char*>(buffer.data()), size_t(n) - padding);
    return true;
}

}  // namespace httpmail
