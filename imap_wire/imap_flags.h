#pragma once
// The IMAP system flags (RFC 3501 2.3.2) other than \Recent, as the bits the
// mailbox state keeps them in and search keys test.
#include <cstdint>
#include <string_view>

#include "text/ascii.h"

namespace ImapFlag {
constexpr uint8_t kSeen = 1;
constexpr uint8_t kAnswered = 2;
constexpr uint8_t kFlagged = 4;
constexpr uint8_t kDeleted = 8;
constexpr uint8_t kDraft = 16;

// The bit of a flag a client may set ("\Seen", any letter case); 0 for
// any other name.
inline uint8_t FromName(std::string_view name) {
    const struct {
        const char* name;
        uint8_t bit;
    } kNames[] = {{"\\Seen", kSeen},
                  {"\\Answered", kAnswered},
                  {"\\Flagged", kFlagged},
                  {"\\Deleted", kDeleted},
                  {"\\Draft", kDraft}};
    for (const auto& flag : kNames)
        if (vx::Ascii::EqualNoCase(name, flag.name)) return flag.bit;
    return 0;
}
}  // namespace ImapFlag
