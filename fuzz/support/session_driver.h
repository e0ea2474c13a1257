#pragma once
// Drives one POP3 or SMTP session as a mail client would: the session runs on
// one end of a local socket pair while a thread writes the client's bytes to
// the other end, closes its sending side (so a session waiting for a command
// sees the client leave instead of waiting for its time-out) and collects
// what the session answers and logs.
#include <cstdint>
#include <functional>
#include <vector>

#include "core/str.h"
#include "net/socket.h"
#include "settings/config.h"
#include "tests/support/memory_account.h"

namespace fuzz_support {

struct SessionRecord {
    vx::Str replies;                   // beyond a few megabytes dropped
    std::vector<vx::Str> logTexts;     // the texts of the log lines it wrote
    std::vector<vx::Str> clientLines;  // what the client sent, cut at each CR LF
};

// The settings every session fuzzer starts from: the loopback, a time-out of
// a second, no pause, and the conversation logged (so its masking is checked).
Config::Values SessionSettings();

// Makes the next call of operations[i] fail where bit i of chosen is set.
void FailChosen(testing_support::MemoryService& service, uint8_t chosen,
                const testing_support::MemoryService::Operation* operations, size_t count);
template <size_t N>
void FailChosen(testing_support::MemoryService& service, uint8_t chosen,
                const testing_support::MemoryService::Operation (&operations)[N]) {
    FailChosen(service, chosen, operations, N);
}

// Runs session(handle) (which owns the handle) with an empty log. A
// vx::Exception, the way a session ends early (the client left, misused it,
// the service failed), ends it here; any other exception goes on.
SessionRecord DriveSession(const vx::Str& clientBytes,
                           const std::function<void(vxw::SocketHandle)>& session);

// Whether text holds word in any letter case.
bool HoldsWord(const vx::Str& text, const char* word);
// Whether text starts with prefix in any letter case.
bool StartsWithWord(const vx::Str& text, const char* prefix);
// Whether one of texts is exactly text.
bool Contains(const std::vector<vx::Str>& texts, const vx::Str& text);
// The texts that start with prefix, without it, in order.
std::vector<vx::Str> LoggedAfter(const std::vector<vx::Str>& texts, const vx::Str& prefix);
// Whether a logged client line shows the secret of the line it logs: a secret
// long enough to tell, that the line holds only once and that is no part of
// what the mask shows in its place (nor holds the mask's stars).
bool ShowsSecret(const vx::Str& logged, const vx::Str& secret, const vx::Str& line,
                 const vx::Str& masked);
// The pieces of a line between bare CRs and LFs.
std::vector<vx::Str> PiecesBetweenBreaks(const vx::Str& line);

}  // namespace fuzz_support
