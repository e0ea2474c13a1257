#pragma once
// The stop and reload requests of the Linux program: SIGINT and SIGTERM ask
// it to stop, SIGHUP to read its settings again. They are blocked in every
// thread (make one before any thread starts) and taken by Wait.
//
// SIGHUP has two meanings. Sent by hand or by the service manager it asks for
// a reload; sent by the kernel to a program that runs under a terminal it
// says the terminal went away, and the program must not linger behind it.
// Which one holds is decided once at start: whether the program has a
// controlling terminal (a /detach copy and a service have none) and was not
// told to ignore hang-ups (nohup). Asking at the signal would be too late:
// the hang-up takes the terminal away first.
#include <signal.h>

#include "app/headless.h"

namespace app {

class SignalRequests : public StopRequests {
public:
    SignalRequests();
    Request Wait(int32_t timeoutMs) override;
    // Whether a hang-up stops the program instead of reloading it.
    bool HangUpStops() const { return hangUpStops; }

private:
    sigset_t signals;
    bool hangUpStops;
};

}  // namespace app
