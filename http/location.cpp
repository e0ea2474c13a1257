#include "http/location.h"

#include <limits>

#include "http/http_text.h"
#include "http/no_case.h"

namespace vxw {

Target ResolveLocation(const vx::Str& location, const Target& current) {
    Target target = current;
    vx::Str rest = location;
    size_t scheme = rest.find("://");
    if (scheme != vx::Str::npos) {
        target.useTls = EqualNoCase(rest.substr(0, 5), "https");
        target.port = target.useTls ? 443 : 80;
        rest.erase(0, scheme + 3);
        size_t slash = rest.find('/');
        if (slash == vx::Str::npos) slash = rest.size();
        size_t colon = rest.find(':');
        if (colon < slash) {
            target.host = rest.substr(0, colon);
            target.port = static_cast<int32_t>(ReadDecimal(
                rest.substr(colon + 1, slash - colon - 1), std::numeric_limits<int32_t>::min(),
                std::numeric_limits<int32_t>::max()));
        } else {
            target.host = rest.substr(0, slash);
        }
        rest.erase(0, slash);
    }
    target.path = rest.empty() || rest[0] != '/' ? "/" + rest : rest;
    return target;
}

}  // namespace vxw
