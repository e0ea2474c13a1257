#pragma once
// systemd's notification protocol, for a unit of Type=notify: one datagram
// to the AF_UNIX socket that NOTIFY_SOCKET names (a path, or an abstract
// name after "@"). Without NOTIFY_SOCKET nothing is sent.
#include "app/headless.h"

namespace app {

// READY=1 once the services listen; RELOADING=1 (with the monotonic time
// the manager asks for) and READY=1 around a reload; STOPPING=1.
void NotifyServiceManager(ServiceState state);

}  // namespace app
