#include "imap/imap_server.h"

#include "core/dir_util.h"
#include "settings/config.h"

std::atomic<int32_t> ActiveImapSessions{0};

namespace {

const vxw::ListenerTexts kImapTexts = {
    "ImapServer::DoWork",
    "ImapServer::SessionWorker",
    "ImapServer::DoWork::Accept - Error accepting connection.",
    "ImapServer::LogError - ",
    "* BYE Too many sessions, try again later\r\n",
    "* BYE Shutting down, try again later\r\n",
    "IMAP",
};

ImapContext MakeContext(AccountFactory makeAccount, const ImapServer::Options& options) {
    ImapContext context;
    context.makeAccount = std::move(makeAccount);
    context.store = std::make_shared<ImapStateStore>(options.stateFolder);
    context.idlePollMs = options.idlePollMs;
    return context;
}

}  // namespace

ImapServer::ImapServer(AccountFactory makeAccount)
    : ImapServer(std::move(makeAccount), Options()) {}

ImapServer::ImapServer(AccountFactory makeAccount, const Options& options)
    : SessionListenerOf(kImapTexts, ActiveImapSessions,
                        MakeContext(std::move(makeAccount), options)) {}

int32_t ImapServer::ListenPort() const {
    return Config::Instance().PortImap();
}
