#include "http/http_text.h"

namespace vxw {
namespace {

bool IsTrimmed(char c) {
    return c == ' ' || c == '\r' || c == '\n';
}

}  // namespace

vx::Str TrimBlanks(const vx::Str& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsTrimmed(text[begin])) ++begin;
    while (end > begin && IsTrimmed(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

int64_t ReadDecimal(const vx::Str& text, int64_t min, int64_t max, bool* digits) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    // Accumulate towards the sign's side so that the clamp happens before any overflow.
    int64_t value = 0;
    size_t first = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        int digit = text[i] - '0';
        if (!negative)
            value = value > (max - digit) / 10 ? max : value * 10 + digit;
        else
            value = value < (min + digit) / 10 ? min : value * 10 - digit;
    }
    if (digits != nullptr) *digits = i > first;
    return value < min ? min : (value > max ? max : value);
}

}  // namespace vxw
