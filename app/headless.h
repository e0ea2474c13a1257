#pragma once
// The program's run where it has no window (the Linux program): what the
// Windows main window does when it starts and at Exit, around the requests
// the system sends (stop, reload), with a report of what listens where.
#include <cstdint>
#include <functional>
#include <vector>

#include "core/str.h"
#include "webmail/account.h"

namespace app {

// Where the requests come from (signals on Linux).
class StopRequests {
public:
    enum class Request { None, Stop, Reload };
    virtual ~StopRequests() = default;
    // Waits up to timeoutMs (-1: without limit) for the next request.
    virtual Request Wait(int32_t timeoutMs) = 0;
};

// What the service manager is told (systemd's notification protocol on Linux).
enum class ServiceState { Ready, Reloading, Stopping };

struct HeadlessSetup {
    bool localMachine = false;  // the machine's settings store
    vx::Str settingsFile;       // what the report names
    vx::Str logFile;            // what the report names
    AccountFactory makeAccount;
    // Shows and logs one line of the report.
    std::function<void(const vx::Str&)> report;
    // Called once the first start left at least one service listening.
    std::function<void()> onRunning;
    // Called when the program is ready (services listening), around a
    // reload, and when it begins to stop.
    std::function<void(ServiceState)> notify = [](ServiceState) {};
    // Called with the report lines of the services after every start and reload.
    std::function<void(const std::vector<vx::Str>&)> onServices = [](const std::vector<vx::Str>&) {};
};

// Reads the settings, logs the first start of a version, starts the services
// and reports each: where it listens, that it is off, or why it could not
// listen. Exits 1 when no service could listen. Otherwise serves until a stop
// request: every service stops listening, sessions waiting for their
// client's next command are closed and the others finish their transfer,
// for 30 s at most; a second stop request ends every session at once. A
// reload request reads the settings again and listens again at once; the
// sessions running go on under the settings they started with. Returns the
// exit code.
int RunHeadless(const HeadlessSetup& setup, StopRequests& requests);

}  // namespace app
