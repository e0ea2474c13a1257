#pragma once
// The three local services of the program, started and stopped in its fixed
// order: POP3 first, then SMTP, then IMAP, on the way up and on the way down.
// Stop returns only after every session of every service has ended. The Windows
// main window owns one; the Linux program's entry owns one.
#include "imap/imap_server.h"
#include "pop3/pop_server.h"
#include "smtp/smtp_server.h"
#include "webmail/account.h"

namespace app {

class Gateway {
public:
    // Every session gets its web mail client from makeAccount.
    explicit Gateway(AccountFactory makeAccount);
    ~Gateway();
    Gateway(const Gateway&) = delete;
    Gateway& operator=(const Gateway&) = delete;

    void Start();
    // After the settings changed: listens again on the new address and ports.
    void Restart();
    void Stop();

    PopServer& Pop() { return pop; }
    SmtpServer& Smtp() { return smtp; }
    ImapServer& Imap() { return imap; }

private:
    PopServer pop;
    SmtpServer smtp;
    ImapServer imap;
};

}  // namespace app
