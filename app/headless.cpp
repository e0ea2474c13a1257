#include "app/headless.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "core/exception.h"
#include "core/log.h"
#include "core/thread.h"
#include "gateway/gateway.h"
#include "settings/config.h"

namespace app {
namespace {

// A listener that neither listens nor failed after this long is reported so.
constexpr int32_t kStartWaitMs = 10000;
constexpr int32_t kStartPollMs = 5;
constexpr int32_t kStopPollMs = 50;
// How long a stop lets transfers in progress finish before it ends them: a
// client that reads slowly, or a service that trickles, must not hold the
// program for minutes.
constexpr std::chrono::seconds kStopGrace{30};

bool Listening(const Gateway::Service& service) { return service.listener->ListeningPort() != 0; }

void WaitUntilSettled(const Gateway& gateway) {
    for (int32_t waited = 0; waited < kStartWaitMs; waited += kStartPollMs) {
        bool settled = true;
        for (const Gateway::Service& service : gateway.Services()) {
            settled = settled && (Gateway::IsOff(service) || Listening(service) || service.listener->Ended());
        }
        if (settled) return;
        vxw::Sleep(kStartPollMs);
    }
}

// One line per service: where it listens, that it is off, or why it could not listen.
vx::Str ServiceLine(const Gateway::Service& service) {
    Config& config = Config::Instance();
    vx::Str name = service.name;
    vx::Str where = config.Address() + ":" + std::to_string((config.*service.port)());
    if (Gateway::IsOff(service)) return name + " off";
    if (Listening(service))
        return name + " on " + config.Address() + ":" + std::to_string(service.listener->ListeningPort());
    if (service.listener->Ended()) return name + " could not listen on " + where + " - " + service.listener->Failure();
    return name + " does not listen on " + where + " yet";
}

// Reports every service; true when at least one listens.
bool ReportServices(const Gateway& gateway, const HeadlessSetup& setup) {
    WaitUntilSettled(gateway);
    bool any = false;
    std::vector<vx::Str> lines;
    for (const Gateway::Service& service : gateway.Services()) {
        lines.push_back(ServiceLine(service));
        setup.report(lines.back());
        any = any || Listening(service);
    }
    setup.onServices(lines);
    return any;
}

// Stops the services the way a stop request asks: listening ends, idle
// sessions are closed and transfers finish. A further stop request, or the
// end of the grace time, ends every session at once.
void ShutDown(Gateway& gateway, StopRequests& requests) {
    std::atomic<bool> done{false};
    std::thread stopper([&] {
        gateway.Shutdown();
        done = true;
    });
    auto deadline = std::chrono::steady_clock::now() + kStopGrace;
    bool aborted = false;
    while (!done) {
        bool asked = requests.Wait(kStopPollMs) == StopRequests::Request::Stop;
        if (aborted) continue;
        bool late = std::chrono::steady_clock::now() >= deadline;
        if (!asked && !late) continue;
        if (!asked) {
            Log("app::RunHeadless::Stop - Sessions still running after the grace time are ended - " +
                std::to_string(kStopGrace.count()) + " s");
        }
        gateway.AbortSessions();
        aborted = true;
    }
    stopper.join();
}

// A reload listens again at once on what the settings say now; sessions
// already running go on under the settings they started with. Settings that
// cannot be read keep the ones in use: the file stays as it is, for the user
// to mend, and the next reload may find it mended.
void Reload(Gateway& gateway, const HeadlessSetup& setup) {
    setup.report("Reloading the settings - " + setup.settingsFile);
    setup.notify(ServiceState::Reloading);
    try {
        Config::Instance().ReloadConfig();
    } catch (const vx::Exception& e) {
        setup.report("The settings could not be read again, the ones in use are kept - " + e.Message());
        setup.notify(ServiceState::Ready);
        return;
    }
    gateway.Restart();
    if (!ReportServices(gateway, setup)) setup.report("No service listens now");
    setup.notify(ServiceState::Ready);
}

}  // namespace

int RunHeadless(const HeadlessSetup& setup, StopRequests& requests) {
    setup.report("Settings - " + setup.settingsFile);
    setup.report("Log - " + setup.logFile);
    Config& config = Config::Instance();
    if (setup.localMachine) config.UseLocalMachine();
    if (config.TakeNewVersionFlag()) Log("Starting - " + Config::GetVersion());
    config.TakeFirstRunFlag();
    Gateway gateway(setup.makeAccount);
    // A service that cannot listen is in the report, which the log keeps too.
    gateway.LeaveFailuresToCaller();
    gateway.Start();
    if (!ReportServices(gateway, setup)) {
        setup.report("No service could listen - stopped");
        return 1;
    }
    setup.onRunning();
    setup.notify(ServiceState::Ready);
    for (;;) {
        StopRequests::Request request = requests.Wait(-1);
        if (request == StopRequests::Request::Stop) break;
        if (request == StopRequests::Request::Reload) Reload(gateway, setup);
    }
    setup.notify(ServiceState::Stopping);
    ShutDown(gateway, requests);
    setup.report("Stopped");
    return 0;
}

}  // namespace app
