#pragma once
// Where a redirect's "location" points. Any scheme but https is taken as
// plain http; a location without a scheme stays on the current server and a
// relative path is taken from the server root.
#include <cstdint>

#include "core/str.h"

namespace vxw {

struct Target {
    bool useTls = false;
    vx::Str host;
    int32_t port = 0;
    vx::Str path;  // begins with "/"
};

Target ResolveLocation(const vx::Str& location, const Target& current);

}  // namespace vxw
