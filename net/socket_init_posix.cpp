#include <signal.h>

#include "net/socket_init.h"

namespace vxw {

// Nothing to start on POSIX. A peer that vanishes must give an error, never
// end the process: plain sends pass MSG_NOSIGNAL, but the TLS library writes
// with write(), so SIGPIPE is ignored unless the program chose a handler.
SocketInit::SocketInit() {
    struct sigaction current;
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        signal(SIGPIPE, SIG_IGN);
    }
}

SocketInit::~SocketInit() = default;

}  // namespace vxw
