#pragma once
// The local services of the program, started and stopped in their fixed
// order: POP3, then SMTP, then IMAP, on the way up and on the way down. Stop
// and Shutdown return only after every session of every service has ended.
// The Windows main window owns one; the Linux program's entry owns one.
#include <cstdint>
#include <vector>

#include "imap/imap_server.h"
#include "pop3/pop_server.h"
#include "settings/config.h"
#include "smtp/smtp_server.h"
#include "webmail/account.h"

namespace app {

class Gateway {
public:
    // One local service as the program reports it.
    struct Service {
        const char* name;                   // "POP3"
        vxw::SessionListener* listener;
        int32_t (Config::*port)() const;    // the configured port
        bool offAtZero;                     // port 0 switches the service off (else: any free port)
    };

    // Every session gets its web mail client from makeAccount.
    explicit Gateway(AccountFactory makeAccount);
    ~Gateway();
    Gateway(const Gateway&) = delete;
    Gateway& operator=(const Gateway&) = delete;

    void Start();
    // A service that cannot listen is not logged by the service itself: the
    // caller reports it (Service::listener->Failure()).
    void LeaveFailuresToCaller();
    // After the settings changed: listens again at once on the new address
    // and ports; the sessions already running finish under the settings they
    // started with.
    void Restart();
    // Stops listening and returns when every session has ended; an idle
    // session ends when its client's read times out.
    void Stop();
    // Stops listening, closes every session that waits for its client's next
    // command at once and the others as soon as their transfer is done;
    // returns when every session has ended.
    void Shutdown();
    // Ends every session at once, wherever it is. Callable from another
    // thread, also while Shutdown or Stop waits.
    void AbortSessions();

    // In the order of start.
    const std::vector<Service>& Services() const { return services; }
    // Whether the settings switch the service off.
    static bool IsOff(const Service& service);

    PopServer& Pop() { return pop; }
    SmtpServer& Smtp() { return smtp; }
    ImapServer& Imap() { return imap; }

private:
    PopServer pop;
    SmtpServer smtp;
    ImapServer imap;
    std::vector<Service> services;
};

}  // namespace app
