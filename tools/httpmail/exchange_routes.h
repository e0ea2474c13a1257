#pragma once
// Which exchange answers a method at a place, and which of them a switch
// turns off, so that the service answers as one without them would.
#include <string>

#include "tools/httpmail/fault_plan.h"
#include "tools/httpmail/http_response.h"
#include "tools/httpmail/mail_exchanges.h"
#include "tools/httpmail/route.h"
#include "tools/httpmail/service_settings.h"

namespace httpmail {

using Handler = HttpResponse (MailExchanges::*)(const Call&) const;

struct ExchangeRoute {
    Place place;
    const char* method;
    Exchange exchange;
    Handler handler;
    bool ServiceSettings::*offeredWhen = nullptr;  // null: always offered
};

// The route for the method at the place, or null when there is none.
const ExchangeRoute* FindExchangeRoute(Place place, const std::string& method);
bool Offered(const ExchangeRoute& route, const ServiceSettings& settings);
// The answer to a method that has no route there, or none that is offered:
// 405 with the methods that are, or 404 for a place that names nothing.
HttpResponse Unrouted(Place place, const ExchangeRoute* route, const ServiceSettings& settings);

}  // namespace httpmail
