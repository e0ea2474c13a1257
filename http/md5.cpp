#include "http/md5.h"

#include <cstdio>
#include <cstring>

#include "core/exception.h"

namespace vxw {
namespace {

// Per-step shift amounts and sine-derived constants of RFC 1321, section 3.4.
constexpr uint32_t kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t RotateLeft(uint32_t x, uint32_t n) {
    return (x << n) | (x >> (32 - n));
}

void EncodeLittleEndian(unsigned char* out, const uint32_t* in, size_t words) {
    for (size_t i = 0; i < words; ++i)
        for (size_t b = 0; b < 4; ++b)
            out[i * 4 + b] = static_cast<unsigned char>(in[i] >> (8 * b));
}

}  // namespace

MD5::MD5()
    : state{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476}, count{0, 0}, buffer{}, digest{} {}

void MD5::Transform(const unsigned char block[64]) {
    uint32_t x[16];
    for (size_t i = 0; i < 16; ++i)
        x[i] = uint32_t(block[i * 4]) | uint32_t(block[i * 4 + 1]) << 8 |
               uint32_t(block[i * 4 + 2]) << 16 | uint32_t(block[i * 4 + 3]) << 24;
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (uint32_t i = 0; i < 64; ++i) {
        uint32_t f, g;
        switch (i / 16) {
            case 0:
                f = (b & c) | (~b & d), g = i;
                break;
            case 1:
                f = (b & d) | (c & ~d), g = (5 * i + 1) % 16;
                break;
            case 2:
                f = b ^ c ^ d, g = (3 * i + 5) % 16;
                break;
            default:
                f = c ^ (b | ~d), g = (7 * i) % 16;
                break;
        }
        uint32_t rotated = b + RotateLeft(a + f + kSine[i] + x[g], kShift[i]);
        a = d, d = c, c = b, b = rotated;
    }
    state[0] += a, state[1] += b, state[2] += c, state[3] += d;
}

void MD5::update(const void* bytes, size_t length) {
    if (finalized) throw vx::Exception("MD5::update:  Can't update a finalized digest!", 0);
    const auto* in = static_cast<const unsigned char*>(bytes);
    size_t used = (count[0] >> 3) & 0x3F;
    uint64_t bits = (uint64_t(count[1]) << 32 | count[0]) + uint64_t(length) * 8;
    count[0] = static_cast<uint32_t>(bits), count[1] = static_cast<uint32_t>(bits >> 32);

    size_t i = 0;
    if (used + length >= 64) {
        i = 64 - used;
        std::memcpy(buffer + used, in, i);
        Transform(buffer);
        for (; i + 64 <= length; i += 64) Transform(in + i);
        used = 0;
    }
    if (length > i) std::memcpy(buffer + used, in + i, length - i);
}

void MD5::finalize() {
    if (finalized) throw vx::Exception("MD5::finalize:  Already finalized this digest!", 0);
    unsigned char bitCount[8];
    EncodeLittleEndian(bitCount, count, 2);
    size_t used = (count[0] >> 3) & 0x3F;
    size_t padLength = used < 56 ? 56 - used : 120 - used;
    static const unsigned char kPadding[64] = {0x80};
    update(kPadding, padLength);
    update(bitCount, 8);
    EncodeLittleEndian(digest, state, 4);
    std::memset(buffer, 0, sizeof buffer);
    finalized = true;
}

void MD5::hex_digest(char (&text)[33]) const {
    if (!finalized)
        throw vx::Exception(
            "MD5::hex_digest:  Can't get digest if you haven't finalized the digest!", 0);
    for (size_t i = 0; i < 16; ++i) std::snprintf(text + i * 2, 3, "%02x", digest[i]);
}

vx::Str Md5Hex(const void* bytes, size_t length) {
    return Md5Hex(vx::StrParts{std::string_view(static_cast<const char*>(bytes), length)});
}

vx::Str Md5Hex(const vx::StrParts& parts) {
    MD5 md5;
    for (std::string_view part : parts) md5.update(part.data(), part.size());
    md5.finalize();
    char text[33];
    md5.hex_digest(text);
    return text;
}

}  // namespace vxw
