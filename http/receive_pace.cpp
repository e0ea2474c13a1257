#include "http/receive_pace.h"

#include <algorithm>

namespace vxw {

void ReceivePace::Start(Phase newPhase, int32_t newTimeoutMs, bool whole) {
    phase = newPhase;
    timeoutMs = newTimeoutMs;
    waited = 0;
    bytes = 0;
    deadlineMs = whole ? int64_t{kWholeBodyTimeouts} * newTimeoutMs : -1;
    waitedInAll = 0;
    exhausted = false;
    pastDeadline = false;
}

int32_t ReceivePace::NextWaitMs() const {
    int64_t left = timeoutMs - waited;
    if (deadlineMs >= 0) left = std::min(left, deadlineMs - waitedInAll);
    return static_cast<int32_t>(std::max<int64_t>(left, kMinWaitMs));
}

void ReceivePace::Account(int64_t waitedMs, size_t got) {
    waited += waitedMs;
    waitedInAll += waitedMs;
    bytes += got;
    if (deadlineMs >= 0 && waitedInAll >= deadlineMs) {
        exhausted = true;
        pastDeadline = true;
        return;
    }
    if (waited < timeoutMs) return;
    if (phase == Phase::Body && bytes >= kBodyFloor) {
        // Enough moved: a new window begins.
        waited = 0;
        bytes = 0;
        return;
    }
    exhausted = true;
}

}  // namespace vxw
