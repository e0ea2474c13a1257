#pragma once
// The local POP3 listener: accepts the mail client's connections on the
// configured Address and Port and serves each with a PopSession on a thread
// of its own.
#include <atomic>
#include <cstdint>

#include "pop3/pop_session.h"
#include "session/session_listener.h"
#include "webmail/account.h"

// Live POP3 session threads; Stop waits until it is back to 0.
extern std::atomic<int32_t> ActivePopSessions;

class PopServer : public vxw::SessionListenerOf<PopSession, AccountFactory> {
public:
    // Each session gets its web mail client from makeAccount.
    explicit PopServer(AccountFactory makeAccount);

protected:
    int32_t ListenPort() const override;
};
