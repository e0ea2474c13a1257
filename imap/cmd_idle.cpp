// IDLE (RFC 2177) of ImapSession: the client waits for news; the session
// lists the selected folder again at the poll interval and reports what
// arrived or left, until the client sends DONE. An idle of 30 minutes (the
// least autologout time of RFC 3501 5.4) ends the session, as the RFC allows;
// clients renew their IDLE well before that.
#include <algorithm>
#include <chrono>

#include "imap/imap_failure.h"
#include "imap/imap_session.h"
#include "text/ascii.h"

namespace {

constexpr std::chrono::minutes kLongestIdle{30};

}  // namespace

void ImapSession::CmdIdle(Request& request) {
    RequireArgs(request, 0);
    out.Write("+ idling\r\n");
    out.Flush();
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + kLongestIdle;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) {
            out.Write("* BYE Idle for too long\r\n");
            EndAs("autologout in IDLE");
            state = State::Logout;
            return;
        }
        auto wait = std::min<int64_t>(left.count(), context.idlePollMs);
        if (WaitForClient(static_cast<uint32_t>(wait))) break;
        if (selected) RefreshSelected();
        out.Flush();
    }
    vx::Str line = ReadContinuation(false);
    if (!vx::Ascii::EqualNoCase(line, "DONE")) throw ImapFailure::Bad("IDLE ends with DONE");
    Tagged(request.tag, "OK", "IDLE terminated");
}
