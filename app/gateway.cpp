#include "app/gateway.h"

namespace app {

Gateway::Gateway(AccountFactory makeAccount) : pop(makeAccount), smtp(makeAccount) {}

Gateway::~Gateway() {
    try {
        Stop();
    } catch (...) {
    }
}

void Gateway::Start() {
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
