#pragma once
// Basic and Digest authentication of the service's accounts (RFC 7617, RFC 2617
// with qop "auth"). Nonces carry their own signature; a nonce serves later
// requests too, each with a higher nonce count (RFC 7616 3.4), so a client
// need not pay a challenge per request, and an answer replayed is refused.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/httpmail/http_request.h"
#include "tools/httpmail/mailbox.h"
#include "tools/httpmail/nonce_table.h"
#include "tools/httpmail/request_target.h"

namespace httpmail {

// Who the request's Authorization proves, if anyone. `stale`: a Digest answer
// that was right but for a nonce the client should replace.
struct Verdict {
    std::string user;  // empty: nobody
    bool stale = false;
};

class Authenticator {
public:
    // `freshNonce`: every nonce serves one request only.
    Authenticator(std::string realm, bool freshNonce);

    // WWW-Authenticate values for the schemes, Basic before Digest.
    std::vector<std::string> Challenges(unsigned schemes, bool stale);
    Verdict Verify(const HttpRequest& request, const RequestTarget& target, const Mailbox& mailbox);
    // Whether Proxy-Authorization carries Basic credentials "user:password".
    static bool VerifyProxy(const HttpRequest& request, const std::string& userAndPassword);

private:
    using Params = std::map<std::string, std::string>;

    std::string NewNonce();
    bool NonceIsOurs(const std::string& nonce) const;
    std::string VerifyBasic(const std::string& credentials, const Mailbox& mailbox) const;
    Verdict VerifyDigest(const std::string& credentials, const HttpRequest& request,
                         const RequestTarget& target, const Mailbox& mailbox);
    // Whether the answer names this realm, one of our nonces and the request;
    // `count` receives its nonce count (1 for an answer without qop).
    bool DigestUsable(Params& p, const HttpRequest& request, const RequestTarget& target,
                      uint32_t& count) const;

    std::string realm;
    std::string secret;  // signs the nonces
    std::string opaque;
    bool freshNonce;
    NonceTable nonces;
};

}  // namespace httpmail
