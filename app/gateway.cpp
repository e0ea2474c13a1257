#include "app/gateway.h"

namespace app {

Gateway::Gateway(AccountFactory makeAccount)
    : pop(makeAccount), smtp(makeAccount), imap(makeAccount) {}

Gateway::~Gateway() {
    try {
        Stop();
    } catch (...) {
    }
}

void Gateway::Start() {
    pop.Start();
    smtp.Start();
    imap.Start();
}

void Gateway::Restart() {
    pop.Restart();
    smtp.Restart();
    imap.Restart();
}

void Gateway::Stop() {
    pop.Stop();
    smtp.Stop();
    imap.Stop();
}

}  // namespace app
