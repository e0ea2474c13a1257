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

}  // namespace app
