#pragma once
// Case-insensitive name handling for HTTP header, cookie and option names.
// The order is that of stricmp in the C locale: bytes compared after
// lower-casing ASCII letters, so "Authorization" sorts before "Connection".
#include <cstddef>
#include <map>

#include "core/str.h"
#include "text/ascii.h"

namespace vxw {

// <0, 0 or >0 as stricmp.
inline int CompareNoCase(const vx::Str& a, const vx::Str& b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(vx::Ascii::ToLower(a[i]));
        auto y = static_cast<unsigned char>(vx::Ascii::ToLower(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

using vx::Ascii::EqualNoCase;

struct NoCaseLess {
    bool operator()(const vx::Str& a, const vx::Str& b) const { return CompareNoCase(a, b) < 0; }
};

// A name keeps the spelling it was first stored with; later writes in
// another letter case replace only the value.
using NoCaseMap = std::map<vx::Str, vx::Str, NoCaseLess>;
// Equal names are all kept, in the order they were inserted.
using NoCaseMultimap = std::multimap<vx::Str, vx::Str, NoCaseLess>;

}  // namespace vxw
