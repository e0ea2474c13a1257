#include "pop3/pop_server.h"

#include "settings/config.h"

std::atomic<int32_t> ActivePopSessions{0};

namespace {

const vxw::ListenerTexts kPopTexts = {
    "PopServer::DoWork",
    "PopServer::SessionWorker",
    "PopServer::DoWork::Accept - Error accepting connection.",
    "",
    "-ERR Too many sessions, try again later\r\n",
    "-ERR Shutting down, try again later\r\n",
    "POP3",
};

}  // namespace

PopServer::PopServer(AccountFactory makeAccount)
    : SessionListenerOf(kPopTexts, ActivePopSessions, std::move(makeAccount)) {}

int32_t PopServer::ListenPort() const {
    return Config::Instance().Port();
}
