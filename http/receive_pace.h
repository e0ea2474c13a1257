#pragma once
// How long the HTTP client waits for a server. A wait on the socket is
// bounded by the time-out as before, but a server that sends a byte now and
// then could still hold a request for ever; so the head of a response must
// arrive within the time-out as a whole, and a body must move at least
// kBodyFloor bytes in every time-out's worth of waiting. A body held in
// memory whole (a listing, a login answer, an error page) also has a deadline
// of kWholeBodyTimeouts time-outs in all: at the floor's pace a 64 MiB answer
// would take hours, while the mail client waits for its reply. Only the time
// spent waiting for the server counts, not the time a sink takes with the
// bytes.
#include <cstddef>
#include <cstdint>

namespace vxw {

class ReceivePace {
public:
    enum class Phase { Head, Body };

    static constexpr size_t kBodyFloor = 1024;
    static constexpr int32_t kWholeBodyTimeouts = 4;
    // The shortest wait handed to the socket (a TLS read needs a pause of
    // this length before it waits at all).
    static constexpr int32_t kMinWaitMs = 100;

    // whole: the body is held in memory, under the overall deadline.
    void Start(Phase phase, int32_t timeoutMs, bool whole = false);
    Phase CurrentPhase() const { return phase; }
    // How long the next receive may wait.
    int32_t NextWaitMs() const;
    // A receive waited waitedMs and got bytes (0 for a wait that timed out).
    void Account(int64_t waitedMs, size_t bytes);
    // The time is up: the head is late, or the body moved too little in the
    // last window. Nothing more should be waited for.
    bool Exhausted() const { return exhausted; }
    // The time is up because a whole body ran past its overall deadline.
    bool PastDeadline() const { return pastDeadline; }
    int64_t DeadlineMs() const { return deadlineMs; }
    // Bytes that arrived in the current window (head: since the request).
    size_t BytesInWindow() const { return bytes; }

private:
    Phase phase = Phase::Head;
    int64_t timeoutMs = 0;
    int64_t waited = 0;  // in the current window
    size_t bytes = 0;    // in the current window
    int64_t deadlineMs = -1;  // of all waiting in the phase, or -1 for none
    int64_t waitedInAll = 0;
    bool exhausted = false;
    bool pastDeadline = false;
};

}  // namespace vxw
