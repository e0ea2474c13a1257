#pragma once
// The local IMAP listener: accepts the mail client's connections on the
// configured Address and PortImap and serves each with an ImapSession on a
// thread of its own (the gateway leaves it off while PortImap is 0). The
// sessions share the state store, kept in the program's state folder.
#include <atomic>
#include <cstdint>

#include "imap/imap_context.h"
#include "imap/imap_session.h"
#include "session/session_listener.h"
#include "webmail/account.h"

// Live IMAP session threads; Stop waits until it is back to 0.
extern std::atomic<int32_t> ActiveImapSessions;

class ImapServer : public vxw::SessionListenerOf<ImapSession, ImapContext> {
public:
    struct Options {
        vx::Str stateFolder;  // "" for the program's state folder
        uint32_t idlePollMs = 30000;
        uint32_t autologoutMs = 30 * 60 * 1000;
    };

    explicit ImapServer(AccountFactory makeAccount);
    ImapServer(AccountFactory makeAccount, const Options& options);

protected:
    int32_t ListenPort() const override;
};
