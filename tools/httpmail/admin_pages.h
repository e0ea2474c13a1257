#pragma once
// Pages under /_admin/ that let a test or a person see what the service holds
// and received, and change its fault rules while it runs.
#include "tools/httpmail/fault_plan.h"
#include "tools/httpmail/http_request.h"
#include "tools/httpmail/http_response.h"
#include "tools/httpmail/journal.h"
#include "tools/httpmail/mailbox.h"
#include "tools/httpmail/request_target.h"
#include "tools/httpmail/sent_store.h"

namespace httpmail {

class AdminPages {
public:
    AdminPages(const Mailbox& mailbox, const SentStore& sent, const Journal& journal,
               FaultPlan& faults);
    HttpResponse Handle(const HttpRequest& request, const RequestTarget& target) const;

private:
    HttpResponse ReplaceFaults(const std::string& body) const;

    const Mailbox& mailbox;
    const SentStore& sent;
    const Journal& journal;
    FaultPlan& faults;
};

}  // namespace httpmail
