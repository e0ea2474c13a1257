#pragma once
// The IMAP system flags (RFC 3501 2.3.2) other than \Recent, as the bits the
// mailbox state keeps them in and search keys test.
#include <cstdint>

namespace ImapFlag {
constexpr uint8_t kSeen = 1;
constexpr uint8_t kAnswered = 2;
constexpr uint8_t kFlagged = 4;
constexpr uint8_t kDeleted = 8;
constexpr uint8_t kDraft = 16;
}  // namespace ImapFlag
