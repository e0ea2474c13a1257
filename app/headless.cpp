#include "app/headless.h"

#include <atomic>
#include <thread>

#include "core/boundary.h"
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

// One line per service; true when at least one listens.
bool ReportServices(const Gateway& gateway, const HeadlessSetup& setup) {
    WaitUntilSettled(gateway);
    Config& config = Config::Instance();
    bool any = false;
    for (const Gateway::Service& service : gateway.Services()) {
        vx::Str name = service.name;
        vx::Str where = config.Address() + ":" + std::to_string((config.*service.port)());
        if (Gateway::IsOff(service)) {
            setup.report(name + " off");
        } else if (Listening(service)) {
            any = true;
            setup.report(name + " on " + config.Address() + ":" + std::to_string(service.listener->ListeningPort()));
        } else if (service.listener->Ended()) {
            setup.report(name + " could not listen on " + where + " - " + service.listener->Failure());
        } else {
            setup.report(name + " does not listen on " + where + " yet");
        }
    }
    return any;
}

// Stops the services the way a stop request asks: listening ends, idle
// sessions are closed and transfers finish. Returns how many stop requests
// came meanwhile; from the abortAt-th on, every session is ended at once.
int ShutDown(Gateway& gateway, StopRequests& requests, int abortAt) {
    std::atomic<bool> done{false};
    std::thread stopper([&] {
        gateway.Shutdown();
        done = true;
    });
    int stops = 0;
    while (!done) {
        if (requests.Wait(kStopPollMs) != StopRequests::Request::Stop) continue;
        if (++stops >= abortAt) gateway.AbortSessions();
    }
    stopper.join();
    return stops;
}

// Settings that cannot be read keep the services as they are; the next
// reload may find them mended. A reload does not wait for idle sessions,
// which could take the whole time-out: they are closed, as at a stop. True
// when a stop request came meanwhile: the services then stay down.
bool Reload(Gateway& gateway, const HeadlessSetup& setup, StopRequests& requests) {
    setup.report("Reloading the settings - " + setup.settingsFile);
    bool loaded = vx::CatchAtBoundary("app::RunHeadless::Reload", vx::kUnexpected,
                                      [] { Config::Instance().LoadConfig(); }, setup.report);
    if (!loaded) return false;
    if (ShutDown(gateway, requests, 2) > 0) return true;
    gateway.Start();
    if (!ReportServices(gateway, setup)) setup.report("No service listens now");
    return false;
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
    gateway.Start();
    if (!ReportServices(gateway, setup)) {
        setup.report("No service could listen - stopped");
        return 1;
    }
    setup.onRunning();
    for (;;) {
        StopRequests::Request request = requests.Wait(-1);
        if (request == StopRequests::Request::Stop) break;
        if (request == StopRequests::Request::Reload && Reload(gateway, setup, requests)) break;
    }
    ShutDown(gateway, requests, 1);
    setup.report("Stopped");
    return 0;
}

}  // namespace app
