#include "http/receive_pace.h"

#include <algorithm>

namespace vxw {

void ReceivePace::Start(Phase newPhase, int32_t newTimeoutMs) {
    phase = newPhase;
    timeoutMs = newTimeoutMs;
    waited = 0;
    bytes = 0;
    exhausted = false;
}

int32_t ReceivePace::NextWaitMs() const {
    return static_cast<int32_t>(std::max<int64_t>(timeoutMs - waited, kMinWaitMs));
}

void ReceivePace::Account(int64_t waitedMs, size_t got) {
    waited += waitedMs;
    bytes += got;
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
