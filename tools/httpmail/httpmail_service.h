#pragma once
// Turns one request into the service's answer: proxy credentials, the control
// pages, account authentication, routing to an exchange, faults and the journal.
#include <string>

#include "tools/httpmail/admin_pages.h"
#include "tools/httpmail/authenticator.h"
#include "tools/httpmail/fault_plan.h"
#include "tools/httpmail/http_request.h"
#include "tools/httpmail/http_response.h"
#include "tools/httpmail/journal.h"
#include "tools/httpmail/mail_exchanges.h"
#include "tools/httpmail/mailbox.h"
#include "tools/httpmail/sent_store.h"
#include "tools/httpmail/service_settings.h"

namespace httpmail {

// The answer and the faults that change how it is sent.
struct Answer {
    HttpResponse response;
    AppliedFaults faults;
    unsigned latencyMs = 0;  // held that long before it is sent, besides any fault's delay
};

class HttpMailService {
public:
    HttpMailService(const ServiceSettings& settings, Mailbox& mailbox, SentStore& sent,
                    Journal& journal, FaultPlan& faults);
    Answer Handle(const HttpRequest& request);
    // The answer to a request the connection could not read whole (a bad or
    // too large request); logged with --verbose.
    Answer Refusal(const std::string& client, const HttpRequest& request, int status,
                   const std::string& why) const;

private:
    Answer Authorized(const HttpRequest& request, const RequestTarget& target, const Route& route,
                      JournalEntry& entry);
    unsigned ChallengeSchemes(const Route& route) const;
    std::string BaseUrl(const HttpRequest& request, const RequestTarget& target) const;
    void Record(JournalEntry entry, bool journal);

    ServiceSettings settings;
    Mailbox& mailbox;
    Journal& journal;
    FaultPlan& faults;
    Authenticator authenticator;
    MailExchanges exchanges;
    AdminPages admin;
};

}  // namespace httpmail
