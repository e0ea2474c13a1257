// Answering 401 and 407 challenges (RFC 7235, RFC 2617) and reusing the last
// answer per host.
#include "core/exception.h"
#include "http/digest.h"
#include "http/http.h"

namespace vxw {

void Http::KeepCredentials(const char* user, const char* password) {
    if (user != nullptr && password != nullptr && authUser == user && authPassword == password)
        return;
    vx::Str newUser = user != nullptr ? user : "",
            newPassword = password != nullptr ? password : "";
    if (newUser != authUser || newPassword != authPassword) {
        // An answer we built for other credentials must not go out for these.
        auto header = requestHeaders.find("Authorization");
        for (const auto& cached : authCache) {
            if (header != requestHeaders.end() && header->second == cached.second) {
                requestHeaders.erase(header);
                break;
            }
        }
    }
    authUser = newUser, authPassword = newPassword;
    authCache.clear();
}

void Http::ApplyCachedAuthorization() {
    auto cached = authCache.find(host);
    if (cached != authCache.end()) requestHeaders["Authorization"] = cached->second;
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
    vx::Str credentials, scheme;
    for (auto it = challenges.first; it != challenges.second; ++it) {
        scheme = it->second.substr(0, it->second.find(' '));
        for (char& c : scheme) c = vx::Ascii::ToLower(c);
        if (scheme == "basic")
            credentials = HandleAuthBasic(user, password);
        else if (scheme == "digest")
            credentials = HandleAuthDigest(user, password, it->second, request.path, request.method,
                                           request.body, host);
    }
    if (credentials.empty())
        throw HttpError(
            "Http::AuthenticateRequest::UnsupportedType - Unsupported authentication type - " +
                scheme + " - " + host + request.path,
            0);
    if (forProxy) {
        requestHeaders["Proxy-Authorization"] = credentials;
        Issue(request, Budget{budget.redirectsLeft, budget.allowAuth, false}, "");
    } else {
        requestHeaders["Authorization"] = credentials;
        authCache[host] = credentials;
        Issue(request, Budget{budget.redirectsLeft, false, budget.allowProxyAuth}, "");
    }
}

}  // namespace vxw
