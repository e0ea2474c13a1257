#include "text/base64.h"

#include <array>

namespace vx {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr int8_t kBlank = -2, kForeign = -1, kPad = 64;

constexpr std::array<int8_t, 256> MakeDecodeTable() {
    std::array<int8_t, 256> table{};
    for (auto& entry : table) entry = kForeign;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    table['\t'] = table['\n'] = table['\r'] = table[' '] = kBlank;
    table['='] = kPad;
    return table;
}

constexpr std::array<int8_t, 256> kDecode = MakeDecodeTable();

}  // namespace

Str EncodeBase64(const Str& bytes) {
    Str out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        uint32_t group = in[i] << 16 | in[i + 1] << 8 | in[i + 2];
        out += kAlphabet[group >> 18];
        out += kAlphabet[(group >> 12) & 63];
        out += kAlphabet[(group >> 6) & 63];
        out += kAlphabet[group & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t group = in[i] << 16 | (rest == 2 ? in[i + 1] << 8 : 0);
        out += kAlphabet[group >> 18];
        out += kAlphabet[(group >> 12) & 63];
        out += rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

Str DecodeBase64(const Str& text, bool* error) {
    Str out;
    out.reserve(text.size() / 4 * 3);
    uint32_t group = 0;
    int count = 0;
    for (unsigned char c : text) {
        int8_t value = kDecode[c];
        if (value == kBlank) continue;
        if (value == kForeign) {
            if (error != nullptr) *error = true;
            continue;
        }
        if (value == kPad) {
            // "xx==" gives one byte, "xxx=" two; the first "=" ends the data.
            if (count == 2) out += static_cast<char>(group >> 4);
            if (count == 3) {
                out += static_cast<char>(group >> 10);
                out += static_cast<char>((group >> 2) & 0xFF);
            }
            return out;
        }
        group = group << 6 | static_cast<uint32_t>(value);
        if (++count == 4) {
            out += static_cast<char>(group >> 16);
            out += static_cast<char>((group >> 8) & 0xFF);
            out += static_cast<char>(group & 0xFF);
            group = 0;
            count = 0;
        }
    }
    return out;
}

}  // namespace vx
