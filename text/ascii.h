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
