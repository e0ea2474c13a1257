#pragma once
// Drives one POP3 or SMTP session as a mail client would: the session runs on
// one end of a local socket pair while a thread writes the client's bytes to
// the other end, closes its sending side (so a session waiting for a command
// sees the client leave instead of waiting for its time-out) and collects
// what the session answers.
#include <functional>

#include "core/str.h"
#include "net/socket.h"

namespace fuzz_support {

// Runs session(handle) (which owns the handle) and returns its replies;
// replies beyond a few megabytes are dropped. A vx::Exception, the way a
// session ends early (the client left, misused it, the service failed), ends
// it here; any other exception goes on.
vx::Str DriveSession(const vx::Str& clientBytes,
                     const std::function<void(vxw::SocketHandle)>& session);

// Whether text holds word in any letter case.
bool HoldsWord(const vx::Str& text, const char* word);

}  // namespace fuzz_support
