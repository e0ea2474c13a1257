#pragma once
// The client's cookie jar: every cookie a server sets is sent back on every
// later request of the same connection object, to whatever host it goes.
// Names compare case-insensitively; domain, path, expiry and flags are dropped.
#include "core/str.h"
#include "http/no_case.h"

namespace vxw {

class CookieJar {
public:
    // Takes the "set-cookie" values of a response, in arrival order.
    void Store(const NoCaseMultimap& responseHeaders);
    // "name=value; name=value" in name order, or empty when the jar is empty.
    vx::Str HeaderValue() const;
    bool Empty() const { return cookies.empty(); }

private:
    NoCaseMap cookies;
};

}  // namespace vxw
