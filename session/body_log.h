#pragma once
// What the conversation log keeps of a message body (a POP3 RETR, an SMTP
// DATA): its first 4 KB, then one line "… (N bytes)" with the whole size, so
// that a large message does not grow the log by its own size.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/str.h"

namespace vxw {

class BodyLog {
public:
    static constexpr size_t kShownBytes = 4096;

    // Counts a piece of the body (with its line ends); returns the part of
    // it that falls within the bytes shown, empty past them.
    std::string_view Add(std::string_view piece);
    uint64_t Total() const { return total; }
    // Whether more came than is shown.
    bool Cut() const { return total > kShownBytes; }
    // The line that stands for the rest: "… (N bytes)".
    vx::Str TailText() const;
    void Clear() { total = 0; }

private:
    uint64_t total = 0;
};

}  // namespace vxw
