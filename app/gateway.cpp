#include "app/gateway.h"

namespace app {

Gateway::Gateway(AccountFactory makeAccount) : pop(makeAccount) {}

Gateway::~Gateway() {
    try {
        Stop();
    } catch (...) {
    }
}

void Gateway::Start() { pop.Start(); }

void Gateway::Restart() { pop.Restart(); }

void Gateway::Stop() { pop.Stop(); }

}  // namespace app
