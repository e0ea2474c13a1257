#pragma once
// The stop and reload requests of the Linux program: SIGINT and SIGTERM ask
// it to stop, SIGHUP to read its settings again. They are blocked in every
// thread (make one before any thread starts) and taken by Wait.
#include <signal.h>

#include "app/headless.h"

namespace app {

class SignalRequests : public StopRequests {
public:
    SignalRequests();
    Request Wait(int32_t timeoutMs) override;

private:
    sigset_t signals;
};

}  // namespace app
