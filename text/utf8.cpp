#include "text/utf8.h"

namespace vx {
namespace StrUtil {
namespace {

// How many bytes follow a lead byte, and the mask of its payload bits.
struct Lead {
    int following;
    uint8_t payload;
};

Lead LeadOf(uint8_t byte) {
    if (byte < 0xE0) return {1, 0x1F};
    if (byte < 0xF0) return {2, 0x0F};
    if (byte < 0xF8) return {3, 0x07};
    if (byte < 0xFC) return {4, 0x03};
    return {5, 0x01};
}

}  // namespace

CodePoints DecodeUtf8(std::string_view text) {
    CodePoints out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const size_t size = text.size();
    for (size_t at = 0; at < size;) {
        uint8_t byte = bytes[at];
        if (byte < 0x80) {
            out.push_back(byte);
            ++at;
            continue;
        }
        if (byte < 0xC0) {  // a continuation byte on its own
            ++at;
            continue;
        }
        Lead lead = LeadOf(byte);
        if (size - at <= static_cast<size_t>(lead.following)) {
            ++at;
            continue;
        }
        uint32_t codePoint = byte & lead.payload;
        for (int i = 1; i <= lead.following; ++i)
            codePoint = codePoint << 6 | (bytes[at + i] & 0x3F);
        if (codePoint == 0) {
            ++at;
            continue;
        }
        out.push_back(codePoint);
        at += 1 + lead.following;
    }
    return out;
}

size_t NextUtf8(std::string_view text, uint32_t& codePoint) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    if (text.empty()) return 0;
    if (bytes[0] < 0x80) {
        codePoint = bytes[0];
        return 1;
    }
    // The smallest code point of each length, so that overlong forms fail.
    static const uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (bytes[0] < 0xC2 || bytes[0] > 0xF4) return 0;
    Lead lead = LeadOf(bytes[0]);
    if (text.size() <= static_cast<size_t>(lead.following)) return 0;
    uint32_t value = bytes[0] & lead.payload;
    for (int i = 1; i <= lead.following; ++i) {
        if ((bytes[i] & 0xC0) != 0x80) return 0;
        value = value << 6 | (bytes[i] & 0x3F);
    }
    if (value < kSmallest[lead.following] || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    codePoint = value;
    return 1 + lead.following;
}

bool IsUtf8(std::string_view text) {
    uint32_t codePoint = 0;
    for (size_t at = 0; at < text.size();) {
        if (static_cast<uint8_t>(text[at]) < 0x80) {
            ++at;
            continue;
        }
        size_t length = NextUtf8(text.substr(at), codePoint);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

void AppendUtf8(Str& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
        return;
    }
    // The first code point that needs one more following byte, by their count.
    static const uint32_t kLimits[] = {0x80, 0x800, 0x10000, 0x200000, 0x4000000, 0x80000000};
    if (codePoint >= kLimits[5]) return;
    int following = 1;
    while (codePoint >= kLimits[following]) ++following;
    static const uint8_t kMarker[] = {0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
    out += static_cast<char>(kMarker[following] | codePoint >> (6 * following));
    for (int shift = 6 * (following - 1); shift >= 0; shift -= 6)
        out += static_cast<char>(0x80 | ((codePoint >> shift) & 0x3F));
}

void EncodeUtf8(Str& out, uint32_t codePoint) {
    if (codePoint & 0x80000000) return;
    out.clear();
    AppendUtf8(out, codePoint);
}

}  // namespace StrUtil
}  // namespace vx
