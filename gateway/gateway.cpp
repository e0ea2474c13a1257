#include "gateway/gateway.h"

#include <string>

#include "core/exception.h"
#include "core/log.h"
#include "session/spool_file.h"

namespace app {
namespace {

// The system removes a session's spool files when they close, also in a
// crash; only a run that ended with the machine can leave some.
void RemoveLeftoverSpoolFiles() {
    try {
        int removed = vxw::RemoveSpoolLeftovers(vxw::SpoolFolder());
        if (removed > 0) {
            Log("Gateway::Start - Removed spool files an earlier run left - " +
                std::to_string(removed));
        }
    } catch (const vx::Exception& e) {
        Log("Gateway::Start::RemoveSpoolLeftovers - " + e.Message());
    }
}

}  // namespace

Gateway::Gateway(AccountFactory makeAccount)
    : pop(makeAccount),
      smtp(makeAccount),
      imap(makeAccount),
      services{{"POP3", &pop, &Config::Port, false},
               {"SMTP", &smtp, &Config::PortSmtp, false},
               {"IMAP", &imap, &Config::PortImap, true}} {}

Gateway::~Gateway() {
    try {
        Stop();
    } catch (...) {
    }
}

bool Gateway::IsOff(const Service& service) {
    return service.offAtZero && (Config::Instance().*service.port)() == 0;
}

void Gateway::Start() {
    RemoveLeftoverSpoolFiles();
    for (const Service& service : services) {
        if (!IsOff(service)) service.listener->Start();
    }
}

void Gateway::LeaveFailuresToCaller() {
    for (const Service& service : services) service.listener->LogFailures(false);
}

void Gateway::Restart() {
    for (const Service& service : services) {
        if (IsOff(service)) {
            service.listener->StopListening();
        } else {
            service.listener->Restart();
        }
    }
}

void Gateway::Stop() {
    for (const Service& service : services) service.listener->Stop();
}

void Gateway::Shutdown() {
    // Every service closes its idle sessions and stops listening before any
    // waits for its busy ones.
    for (const Service& service : services) service.listener->CloseSessions();
    for (const Service& service : services) service.listener->StopListening();
    Stop();
}

void Gateway::AbortSessions() {
    for (const Service& service : services) service.listener->AbortSessions();
}

}  // namespace app
