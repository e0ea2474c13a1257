// Answering 401 and 407 challenges (RFC 7235, RFC 2617, RFC 7616) and
// answering later requests to the same server or proxy before it asks.
#include "core/exception.h"
#include "http/http.h"

namespace vxw {

void Http::KeepCredentials(const char* user, const char* password) {
    vx::Str newUser = user != nullptr ? user : "",
            newPassword = password != nullptr ? password : "";
    if (newUser == authUser && newPassword == authPassword) return;
    // What the server accepted for other credentials must not go out for these.
    serverAuth.Forget();
    authUser = newUser, authPassword = newPassword;
}

void Http::AddCredentials(NoCaseMap& headers, const Request& request) {
    // A header the caller set goes out as it is. The tunnel request is the
    // proxy's business, read by it in clear text: never the server's credentials.
    if (!tunnelling && headers.count("Authorization") == 0) {
        vx::Str answer = serverAuth.Answer(request.path, request.method, request.body, host);
        if (!answer.empty()) headers["Authorization"] = answer;
    }
    if (TalkingToProxy() && headers.count("Proxy-Authorization") == 0) {
        vx::Str answer = proxyAuth.Answer(request.path, request.method, request.body, host);
        if (!answer.empty()) headers["Proxy-Authorization"] = answer;
    }
}

bool Http::CanAnswerAtOnce(const Request& request, const Budget& budget) const {
    bool serverMayAsk = !tunnelling && request.user != nullptr && request.password != nullptr &&
                        budget.allowAuth && !serverAuth.Known() && !HasHeader("Authorization");
    bool proxyMayAsk = TalkingToProxy() && !proxyUser.empty() && budget.allowProxyAuth &&
                       !proxyAuth.Known() && !HasHeader("Proxy-Authorization");
    return !serverMayAsk && !proxyMayAsk;
}

void Http::AuthenticateRequest(const Request& request, const Budget& budget, bool forProxy) {
    auto challenges =
        responseHeaders.equal_range(forProxy ? "proxy-authenticate" : "www-authenticate");
    if (challenges.first == challenges.second)
        throw HttpError(
            "Http::AuthenticateRequest::MissingHeader - The Authenticate header was not sent by "
            "the "
            "server when it requested authorization - " +
                host + request.path,
            0);
    // A proxy is answered with the proxy's credentials; the request itself
    // keeps the account's, for a server challenge that may follow.
    vx::Str user = proxyUser, password = proxyPassword;
    if (!forProxy)
        user = request.user, password = request.password;  // both present, or no 401 answer
    // Where a server offers several schemes, the last one this client speaks wins.
    AuthSession chosen;
    vx::Str scheme;
    for (auto it = challenges.first; it != challenges.second; ++it) {
        scheme = it->second.substr(0, it->second.find(' '));
        for (char& c : scheme) c = vx::Ascii::ToLower(c);
        chosen.Start(it->second, user, password, host);
    }
    if (!chosen.Known())
        throw HttpError(
            "Http::AuthenticateRequest::UnsupportedType - Unsupported authentication type - " +
                scheme + " - " + host + request.path,
            0);
    // The answer replaces whatever the caller set; the request goes out once
    // more (with its body, if that did not wait for the challenge).
    if (forProxy) {
        RemoveHeader("Proxy-Authorization");
        proxyAuth = std::move(chosen);
        Issue(request, Budget{budget.redirectsLeft, budget.allowAuth, false}, "");
    } else {
        RemoveHeader("Authorization");
        serverAuth = std::move(chosen);
        Issue(request, Budget{budget.redirectsLeft, false, budget.allowProxyAuth}, "");
    }
}

}  // namespace vxw
