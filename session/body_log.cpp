#include "session/body_log.h"

#include <string>

namespace vxw {

std::string_view BodyLog::Add(std::string_view piece) {
    uint64_t room = total < kShownBytes ? kShownBytes - total : 0;
    total += piece.size();
    return piece.substr(0, static_cast<size_t>(room < piece.size() ? room : piece.size()));
}

vx::Str BodyLog::TailText() const {
    return "\xE2\x80\xA6 (" + std::to_string(total) + " bytes)";
}

}  // namespace vxw
