// Character and entity references: GetElementVal and XmlToText.
#include <algorithm>

#include "core/exception.h"
#include "core/singleton.h"
#include "text/charset_map.h"
#include "text/str_util.h"

namespace vx {
namespace StrUtil {
namespace {

constexpr size_t kReach = 15;        // bytes after "&" in which the ";" must stand
constexpr uint32_t kNoDigits = '-';  // what a number reference without digits stands for

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The number at the start of text read as the C library's "%u" or "%x" reads
// it: white space, a sign, for base 16 a "0x", then digits; the value wraps
// modulo 2^32. kNoDigits when there is no digit.
uint32_t ScanNumber(std::string_view text, int base) {
    size_t at = 0;
    while (at < text.size() && IsCSpace(text[at])) ++at;
    bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    if (base == 16 && text.size() - at > 2 && text[at] == '0' && (text[at + 1] | 0x20) == 'x' &&
        DigitValue(text[at + 2]) < 16)
        at += 2;
    const size_t first = at;
    uint32_t value = 0;
    for (; at < text.size() && DigitValue(text[at]) < base; ++at)
        value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(DigitValue(text[at]));
    if (at == first) return kNoDigits;
    return negative ? 0u - value : value;
}

// The five entities XML predefines (XML 1.0 4.6); they are nearly all that a
// service's answer holds, so they skip the search of the table. apos is no
// HTML 4 name, so the table lacks it.
uint32_t MarkupEntity(std::string_view name) {
    if (name == "lt") return '<';
    if (name == "gt") return '>';
    if (name == "amp") return '&';
    if (name == "quot") return '"';
    if (name == "apos") return '\'';
    return 0;
}

// The UTF-8 of the reference between "&" and ";". step follows the progress,
// for the text of a failure.
Str ReferenceValue(std::string_view body, int& step) {
    uint32_t codePoint;
    step += 5;
    if (!body.empty() && body[0] == '#') {
        step += 5;
        bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
        codePoint = hex ? ScanNumber(body.substr(2), 16) : ScanNumber(body.substr(1), 10);
    } else if (!body.empty() && body[0] == 'x') {
        step += 10;
        codePoint = ScanNumber(body.substr(1), 16);
    } else {
        step += 15;
        codePoint = MarkupEntity(body);
        if (codePoint == 0) codePoint = qn::Singleton<CharsetMap>::Instance().LookupEntity(body);
        if (codePoint == 0) return Str();  // an unknown entity disappears
    }
    step += 5;
    Str value;
    EncodeUtf8(value, codePoint);
    return value;
}

}  // namespace

bool GetElementVal(std::string_view text, Str& value, size_t& consumed) {
    if (text.empty() || text[0] != '&') return false;
    const size_t limit = std::min(text.size(), kReach + 1);
    size_t end = 1;
    while (end < limit && text[end] != ';' && text[end] != '\0') ++end;
    if (end == limit || text[end] != ';') return false;
    int step = 500;
    try {
        value = ReferenceValue(text.substr(1, end - 1), step);
    } catch (const Exception& e) {
        throw Exception("VX_STRUTIL_GETELEMENTVAL_CATCH_VX: " + e.Message() + " - " +
                        IntToStr(step));
    }
    consumed = end + 1;
    return true;
}

Str XmlToText(std::string_view text) {
    Str out;
    out.reserve(text.size());
    Str value;
    size_t consumed = 0;
    for (size_t at = 0;;) {
        size_t amp = text.find('&', at);
        out.append(
            text.substr(at, amp == std::string_view::npos ? std::string_view::npos : amp - at));
        if (amp == std::string_view::npos) return out;
        if (GetElementVal(text.substr(amp), value, consumed)) {
            out += value;
            at = amp + consumed;
        } else {
            out += '&';
            at = amp + 1;
        }
    }
}

}  // namespace StrUtil
}  // namespace vx
