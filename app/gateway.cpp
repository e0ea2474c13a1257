#include "app/gateway.h"

namespace app {

Gateway::Gateway(AccountFactory makeAccount)
    : pop(makeAccount),
      smtp(makeAccount),
      services{{"POP3", &pop, &Config::Port, false}, {"SMTP", &smtp, &Config::PortSmtp, false}} {}

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
    for (const Service& service : services) {
        if (!IsOff(service)) service.listener->Start();
    }
}

void Gateway::Restart() {
    for (const Service& service : services) {
        if (IsOff(service)) {
            service.listener->Stop();
        } else {
            service.listener->Restart();
        }
    }
}

void Gateway::Stop() {
    for (const Service& service : services) service.listener->Stop();
}

void Gateway::Shutdown() {
    // Every service closes its idle sessions before any waits for its busy ones.
    for (const Service& service : services) service.listener->CloseSessions();
    Stop();
}

void Gateway::AbortSessions() {
    for (const Service& service : services) service.listener->AbortSessions();
}

}  // namespace app
