#include "app/gateway.h"

#include <string>

#include "core/exception.h"
#include "core/log.h"
#include "net/spool_file.h"

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

Gateway::Gateway(AccountFactory makeAccount) : pop(makeAccount), smtp(makeAccount) {}

Gateway::~Gateway() {
    try {
        Stop();
    } catch (...) {
    }
}

void Gateway::Start() {
    RemoveLeftoverSpoolFiles();
    pop.Start();
    smtp.Start();
}

void Gateway::Restart() {
    pop.Restart();
    smtp.Restart();
}

void Gateway::Stop() {
    pop.Stop();
    smtp.Stop();
}

void Gateway::Shutdown() {
    // Every service closes its idle sessions before any waits for its busy ones.
    pop.CloseSessions();
    smtp.CloseSessions();
    pop.Stop();
    smtp.Stop();
}

void Gateway::AbortSessions() {
    pop.AbortSessions();
    smtp.AbortSessions();
}

}  // namespace app
