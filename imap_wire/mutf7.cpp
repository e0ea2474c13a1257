#include "imap_wire/mutf7.h"

#include <cstdint>
#include <vector>

#include "text/utf8.h"

namespace Mutf7 {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";
constexpr uint32_t kReplacement = 0xFFFD;

bool IsDirect(uint32_t c) {
    return c >= 0x20 && c <= 0x7e;
}

int AlphabetValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == ',') return 63;
    return -1;
}

// The next code point of strict UTF-8 (shortest form, no surrogates, at most
// U+10FFFF); a byte that starts no such sequence gives U+FFFD and is skipped.
uint32_t NextCodePoint(std::string_view text, size_t& at) {
    unsigned char lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80) return lead;
    int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (more < 0 || lead > 0xF4 || at + more > text.size()) return kReplacement;
    uint32_t c = lead & (0x3F >> more);
    for (int i = 0; i < more; ++i) {
        unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return kReplacement;
        c = (c << 6) | (next & 0x3F);
    }
    static const uint32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
    if (c < kShortest[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
    at += more;
    return c;
}

void AppendRun(vx::Str& out, const std::vector<uint16_t>& units) {
    out += '&';
    uint32_t bits = 0;
    int count = 0;
    for (uint16_t unit : units) {
        bits = (bits << 16) | unit;
        count += 16;
        while (count >= 6) {
            count -= 6;
            out += kAlphabet[(bits >> count) & 0x3F];
        }
    }
    if (count > 0) out += kAlphabet[(bits << (6 - count)) & 0x3F];
    out += '-';
}

// Decodes the Base64 between "&" and "-" into UTF-8; false for a form the
// encoder would not write.
bool DecodeRun(std::string_view run, vx::Str& utf8) {
    uint32_t bits = 0;
    int count = 0;
    uint32_t high = 0;  // a high surrogate waiting for its low half
    for (char c : run) {
        int value = AlphabetValue(c);
        if (value < 0) return false;
        bits = (bits << 6) | static_cast<uint32_t>(value);
        count += 6;
        if (count < 16) continue;
        count -= 16;
        uint32_t unit = (bits >> count) & 0xFFFF;
        bits &= (1u << count) - 1;
        if (high) {
            if (unit < 0xDC00 || unit > 0xDFFF) return false;
            vx::StrUtil::AppendUtf8(utf8, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
            high = 0;
        } else if (unit >= 0xD800 && unit <= 0xDBFF) {
            high = unit;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        } else {
            if (unit == 0 || IsDirect(unit)) return false;
            vx::StrUtil::AppendUtf8(utf8, unit);
        }
    }
    // Left-over bits: fewer than one Base64 character's worth, all zero.
    return !high && count < 6 && bits == 0;
}

}  // namespace

vx::Str Encode(std::string_view utf8) {
    vx::Str out;
    std::vector<uint16_t> units;
    size_t at = 0;
    while (at < utf8.size()) {
        uint32_t c = NextCodePoint(utf8, at);
        if (c == 0) c = kReplacement;
        if (IsDirect(c)) {
            if (!units.empty()) AppendRun(out, units);
            units.clear();
            out += c == '&' ? "&-" : vx::Str(1, static_cast<char>(c));
        } else if (c >= 0x10000) {
            units.push_back(static_cast<uint16_t>(0xD800 + ((c - 0x10000) >> 10)));
            units.push_back(static_cast<uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<uint16_t>(c));
        }
    }
    if (!units.empty()) AppendRun(out, units);
    return out;
}

bool Decode(std::string_view name, vx::Str& utf8) {
    utf8.clear();
    bool afterRun = false;
    size_t at = 0;
    while (at < name.size()) {
        char c = name[at];
        if (!IsDirect(static_cast<unsigned char>(c))) return false;
        if (c != '&') {
            utf8 += c;
            afterRun = false;
            ++at;
            continue;
        }
        size_t end = name.find('-', at + 1);
        if (end == std::string_view::npos) return false;
        std::string_view run = name.substr(at + 1, end - at - 1);
        if (run.empty()) {
            utf8 += '&';
            afterRun = false;
        } else {
            if (afterRun || !DecodeRun(run, utf8)) return false;
            afterRun = true;
        }
        at = end + 1;
    }
    return true;
}

}  // namespace Mutf7
