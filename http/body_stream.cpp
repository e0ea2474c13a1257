#include "http/body_stream.h"

#include <algorithm>
#include <cstring>

namespace vxw {

PartsSource::PartsSource(vx::StrParts parts) : parts(std::move(parts)) {
    for (std::string_view piece : this->parts) size += piece.size();
}

size_t PartsSource::Read(char* buffer, size_t wanted) {
    size_t done = 0;
    while (done < wanted && part < parts.size()) {
        std::string_view piece = parts[part];
        size_t take = std::min(wanted - done, piece.size() - offset);
        std::memcpy(buffer + done, piece.data() + offset, take);
        done += take;
        offset += take;
        if (offset == piece.size()) ++part, offset = 0;
    }
    return done;
}

}  // namespace vxw
