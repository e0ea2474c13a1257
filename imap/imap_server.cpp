#include "imap/imap_server.h"

#include "core/dir_util.h"
#include "settings/config.h"
#include "settings/registry_key.h"

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
    context.autologoutMs = options.autologoutMs;
    return context;
}

// The program's own options. "ImapAutologout" (seconds; read only, absent
// by default, never written) shortens the autologout, so that a test of the
// program need not wait half an hour.
ImapServer::Options ProgramOptions() {
    ImapServer::Options options;
    vxw::RegistryKey key;
    int32_t seconds = 0;
    auto root = Config::Instance().UsesLocalMachine() ? vxw::RegistryKey::Root::LocalMachine
                                                      : vxw::RegistryKey::Root::CurrentUser;
    if (key.Create(root, "Software\\Palisandre\\Mirelink") &&
        key.QueryNumber("ImapAutologout", seconds) && seconds > 0 && seconds < 24 * 3600)
        options.autologoutMs = static_cast<uint32_t>(seconds) * 1000;
    return options;
}

}  // namespace

ImapServer::ImapServer(AccountFactory makeAccount)
    : ImapServer(std::move(makeAccount), ProgramOptions()) {}

ImapServer::ImapServer(AccountFactory makeAccount, const Options& options)
    : SessionListenerOf(kImapTexts, ActiveImapSessions,
                        MakeContext(std::move(makeAccount), options)) {}

int32_t ImapServer::ListenPort() const {
    return Config::Instance().PortImap();
}
