#pragma once
// Letter case in the ASCII range only, independent of the C locale.
#include <string_view>

namespace vx {
namespace Ascii {

inline char ToLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline char ToUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The value of a hexadecimal digit in either case, -1 for any other byte.
inline int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    char lower = ToLower(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

inline bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ToLower(a[i]) != ToLower(b[i])) return false;
    return true;
}

inline bool IsUtf8Name(std::string_view charset) {
    return EqualNoCase(charset, "UTF-8") || EqualNoCase(charset, "UTF8");
}

}  // namespace Ascii
}  // namespace vx
