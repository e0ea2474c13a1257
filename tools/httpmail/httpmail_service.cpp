#include "tools/httpmail/httpmail_service.h"

#include <cstdio>

#include "tools/httpmail/exchange_routes.h"
#include "tools/httpmail/fault_answer.h"
#include "tools/httpmail/text_util.h"
#include "webmail/endpoints.h"

namespace httpmail {

namespace {
const char kRealm[] = "hotmail.com";

// MSN accounts log in at their own endpoint.
bool IsMsnAccount(const std::string& name) {
    return name.find("@msn") != std::string::npos;
}

bool IsHostText(const std::string& host) {
    if (host.empty() || host.size() > 255) return false;
    for (char c : host)
        if (!(isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' ||
              c == '[' || c == ']' || c == '_'))
            return false;
    return true;
}
}  // namespace

HttpMailService::HttpMailService(const ServiceSettings& s, Mailbox& box, SentStore& sent,
                                 Journal& log, FaultPlan& plan)
    : settings(s),
      mailbox(box),
      journal(log),
      faults(plan),
      authenticator(kRealm, s.freshNonce),
      exchanges(box, sent, s.copyToSent, s.headerProperties),
      admin(box, sent, log, plan) {}

Answer HttpMailService::Handle(const HttpRequest& request) {
    JournalEntry entry{"", request.method, request.target, 0, "", "", request.head};
    Answer answer;
    RequestTarget target;
    const bool proxied = IStartsWith(request.target, "http://");
    if (!ParseRequestTarget(request.target, target)) {
        answer.response = HttpResponse::Page(400, "The request target is not usable.");
    } else if (proxied && !settings.proxyAuth.empty() &&
               !Authenticator::VerifyProxy(request, settings.proxyAuth)) {
        answer.response = HttpResponse::Page(407);
        answer.response.AddHeader("Proxy-Authenticate", "Basic realm=\"mirelink-httpmail proxy\"");
    } else {
        const Route route = ResolveRoute(target, mailbox);
        if (route.place == Place::Admin) {
            answer.response = admin.Handle(request, target);
            entry.status = answer.response.status;
            Record(std::move(entry), false);
            return answer;
        }
        answer = Authorized(request, target, route, entry);
    }
    answer.latencyMs = settings.latencyMs;
    entry.status = answer.response.status;
    entry.faults = answer.faults.names;
    Record(std::move(entry), true);
    return answer;
}

Answer HttpMailService::Authorized(const HttpRequest& request, const RequestTarget& target,
                                   const Route& route, JournalEntry& entry) {
    Answer answer;
    if (route.place == Place::Unknown) {
        answer.response = HttpResponse::Page(404);
        return answer;
    }
    const Verdict verdict = authenticator.Verify(request, target, mailbox);
    const std::string& user = verdict.user;
    if (user.empty()) {
        answer.response = HttpResponse::Page(401, "The account name or password is wrong.");
        for (std::string& challenge :
             authenticator.Challenges(ChallengeSchemes(route), verdict.stale))
            answer.response.AddHeader("WWW-Authenticate", std::move(challenge));
        return answer;
    }
    entry.account = user;
    if (!route.account.empty() && route.account != user) {
        answer.response = HttpResponse::Page(403, "These pages belong to another account.");
        return answer;
    }
    const ExchangeRoute* it = FindExchangeRoute(route.place, request.method);
    if (!it || !Offered(*it, settings)) {
        answer.response = Unrouted(route.place, it, settings);
        return answer;
    }
    entry.exchange = ExchangeName(it->exchange);
    const std::string base = BaseUrl(request, target);
    answer.faults = faults.Take(it->exchange);
    if (answer.faults.replaced)
        answer.response = FaultAnswer(answer.faults, base + target.path);
    else
        answer.response = (exchanges.*(it->handler))(Call{request, target, route, user, base});
    return answer;
}

unsigned HttpMailService::ChallengeSchemes(const Route& route) const {
    if (!route.account.empty()) {
        const auto account = mailbox.Credentials(route.account);
        return account ? account->second : kAnyScheme;
    }
    unsigned schemes = 0;
    for (const std::string& name : mailbox.AccountNames())
        if (IsMsnAccount(name) == (route.place == Place::MsnLogin))
            schemes |= mailbox.Credentials(name)->second;
    return schemes ? schemes : kAnyScheme;
}

std::string HttpMailService::BaseUrl(const HttpRequest& request,
                                     const RequestTarget& target) const {
    std::string host = settings.publicHost;
    if (host.empty()) host = target.absolute ? target.authority : "";
    if (host.empty() && request.Header("Host")) host = *request.Header("Host");
    if (!IsHostText(host)) host = webmail_endpoints::kGatewayHost;
    return "http://" + WithoutDefaultPort(host);
}

// One line per request, "METHOD TARGET -> STATUS" first, so that a benchmark
// can count requests and challenges from the log.
void HttpMailService::Record(JournalEntry entry, bool keep) {
    if (settings.verbose)
        std::fprintf(stderr, "mirelink-httpmail: %s %s -> %d%s%s%s%s\n", entry.method.c_str(),
                     entry.target.c_str(), entry.status, entry.account.empty() ? "" : " as ",
                     entry.account.c_str(), entry.faults.empty() ? "" : " fault ",
                     entry.faults.c_str());
    if (keep) journal.Add(std::move(entry));
}

Answer HttpMailService::Refusal(const std::string& client, const HttpRequest& request, int status,
                                const std::string& why) const {
    // A head that could not be read has no method or target to show.
    const bool known = !request.method.empty() && !request.target.empty();
    if (settings.verbose)
        std::fprintf(stderr, "mirelink-httpmail: %s %s -> %d refused from %s: %s\n",
                     known ? request.method.c_str() : "-", known ? request.target.c_str() : "-",
                     status, client.c_str(), why.c_str());
    Answer answer{HttpResponse::Page(status, "The request was refused: " + why + "."), {}};
    answer.latencyMs = settings.latencyMs;
    return answer;
}

}  // namespace httpmail
