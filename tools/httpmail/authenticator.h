#pragma once
// Basic and Digest authentication of the service's accounts (RFC 7617, RFC 2617
// with qop "auth"). Nonces carry their own signature, so any nonce this process
// issued stays valid: a client may keep sending the Authorization it built once.
#include <string>
#include <vector>

#include "tools/httpmail/http_request.h"
#include "tools/httpmail/mailbox.h"
#include "tools/httpmail/request_target.h"

namespace httpmail {

class Authenticator {
public:
    explicit Authenticator(std::string realm);

    // WWW-Authenticate values for the schemes, Basic before Digest.
    std::vector<std::string> Challenges(unsigned schemes) const;
    // The account that the request's Authorization proves, or empty.
    std::string Verify(const HttpRequest& request, const RequestTarget& target,
                       const Mailbox& mailbox) const;
    // Whether Proxy-Authorization carries Basic credentials "user:password".
    static bool VerifyProxy(const HttpRequest& request, const std::string& userAndPassword);

private:
    std::string NewNonce() const;
    bool NonceIsOurs(const std::string& nonce) const;
    std::string VerifyBasic(const std::string& credentials, const Mailbox& mailbox) const;
    std::string VerifyDigest(const std::string& credentials, const HttpRequest& request,
                             const RequestTarget& target, const Mailbox& mailbox) const;

    std::string realm;
    std::string secret;  // signs the nonces
    std::string opaque;
};

}  // namespace httpmail
