#pragma once
// The local SMTP listener: accepts the mail client's connections on the
// configured Address and PortSmtp and serves each with an SmtpSession on a
// thread of its own.
#include <atomic>
#include <cstdint>

#include "session/session_listener.h"
#include "smtp/smtp_session.h"
#include "webmail/account.h"

// Live SMTP session threads; Stop waits until it is back to 0.
extern std::atomic<int32_t> ActiveSmtpSessions;

class SmtpServer : public vxw::SessionListenerOf<SmtpSession, AccountFactory> {
public:
    // Each session gets its web mail client from makeAccount.
    explicit SmtpServer(AccountFactory makeAccount);

protected:
    int32_t ListenPort() const override;
};
