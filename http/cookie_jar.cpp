#include "http/cookie_jar.h"

#include "http/http_text.h"

namespace vxw {

void CookieJar::Store(const NoCaseMultimap& responseHeaders) {
    auto range = responseHeaders.equal_range("set-cookie");
    for (auto it = range.first; it != range.second; ++it) {
        const vx::Str& text = it->second;
        size_t equals = text.find('=');
        // A bare CR or LF would let one server write header lines into our
        // requests, to it and to every other host the jar is sent to.
        if (equals == vx::Str::npos || text.find_first_of("\r\n") != vx::Str::npos) continue;
        size_t end = text.find(';', equals + 1);
        vx::Str value =
            text.substr(equals + 1, end == vx::Str::npos ? vx::Str::npos : end - equals - 1);
        cookies[TrimBlanks(text.substr(0, equals))] = TrimBlanks(value);
    }
}

vx::Str CookieJar::HeaderValue() const {
    vx::Str header;
    for (const auto& cookie : cookies) {
        if (!header.empty()) header += "; ";
        header += cookie.first + "=" + cookie.second;
    }
    return header;
}

}  // namespace vxw
