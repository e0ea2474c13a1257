#include "app/signals_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

namespace app {
namespace {

// /dev/tty opens only for a process that has a controlling terminal. One
// started with SIGHUP ignored (nohup) asked to outlive its terminal: a
// hang-up then reloads, harmlessly, as without a terminal.
bool HangUpMeansTerminalGone() {
    struct sigaction inherited;
    if (sigaction(SIGHUP, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) return false;
    int terminal = open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) return false;
    close(terminal);
    return true;
}

}  // namespace

SignalRequests::SignalRequests() : hangUpStops(HangUpMeansTerminalGone()) {
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

StopRequests::Request SignalRequests::Wait(int32_t timeoutMs) {
    timespec timeout = {timeoutMs / 1000, static_cast<long>(timeoutMs % 1000) * 1000000};
    for (;;) {
        int received = timeoutMs < 0 ? sigwaitinfo(&signals, nullptr) : sigtimedwait(&signals, nullptr, &timeout);
        if (received == SIGHUP) return hangUpStops ? Request::Stop : Request::Reload;
        if (received == SIGINT || received == SIGTERM) return Request::Stop;
        if (received < 0 && errno == EINTR) continue;
        return Request::None;
    }
}

}  // namespace app
