#include "pop3/pop_server.h"

#include "core/config.h"
#include "pop3/pop_session.h"

std::atomic<int32_t> ActivePopSessions{0};

namespace {

const vxw::ListenerTexts kPopTexts = {
    "PopServer::DoWork",
    "PopServer::SessionWorker",
    "PopServer::DoWork::Accept - Error accepting connection.",
    "",
};

}  // namespace

PopServer::PopServer(AccountFactory makeAccount)
    : SessionListener(kPopTexts, ActivePopSessions), makeAccount(std::move(makeAccount)) {}

// Sessions call back into this object until they have drained.
PopServer::~PopServer() {
    try {
        Stop();
    } catch (...) {
    }
}

int32_t PopServer::ListenPort() const {
    return Config::Instance().Port();
}

void PopServer::RunSession(vxw::SocketHandle connection) {
    PopSession session(connection, makeAccount);
    session.Run();
}
