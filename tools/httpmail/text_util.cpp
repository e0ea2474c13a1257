#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace {
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Length of the UTF-8 sequence at s[i], or 0 when it is not a valid one.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t len = b < 0x80                 ? 1
                 : b >= 0xC2 && b <= 0xDF ? 2
                 : b >= 0xE0 && b <= 0xEF ? 3
                 : b >= 0xF0 && b <= 0xF4 ? 4
                                          : 0;
    if (len == 0 || i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    const auto b1 = static_cast<unsigned char>(s[i + 1 < s.size() ? i + 1 : i]);
    // Overlong forms, surrogates and values above U+10FFFF.
    if ((b == 0xE0 && b1 < 0xA0) || (b == 0xED && b1 > 0x9F) || (b == 0xF0 && b1 < 0x90) ||
        (b == 0xF4 && b1 > 0x8F))
        return 0;
    return len;
}
}  // namespace

std::string ToLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = Lower(c);
    return out;
}

bool IEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool IStartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && IEquals(s.substr(0, prefix.size()), prefix);
}

std::string_view Trim(std::string_view s) {
    const char* blanks = " \t\r\n";
    const size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

std::vector<std::string_view> SplitOutsideQuotes(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && quoted)
            ++i;
        else if (s[i] == '"')
            quoted = !quoted;
        else if (s[i] == sep && !quoted) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(s.substr(start < s.size() ? start : s.size()));
    return parts;
}

std::string ToCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

bool ParseDecimal(std::string_view s, uint64_t max, uint64_t& out) {
    if (s.empty() || s.size() > 19) return false;
    uint64_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + uint64_t(c - '0');
    }
    if (value > max) return false;
    out = value;
    return true;
}

std::string ValidUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const size_t len = Utf8SequenceLength(s, i);
        if (len == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(s, i, len);
            i += len;
        }
    }
    return out;
}

}  // namespace httpmail
