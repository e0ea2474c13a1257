#include "tools/httpmail/authenticator.h"

#include <ctime>

#include "tools/httpmail/crypto.h"
#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace {
// Enough for the challenges of a busy benchmark between two uses of a nonce.
const size_t kNoncesKept = 4096;

std::string Unquote(std::string_view value) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::string(value);
    std::string out;
    for (size_t i = 1; i + 1 < value.size(); ++i) {
        if (value[i] == '\\' && i + 2 < value.size()) ++i;
        out += value[i];
    }
    return out;
}

// The name=value pairs of a Digest credentials text (after the scheme word).
std::map<std::string, std::string> ParseParams(std::string_view text) {
    std::map<std::string, std::string> params;
    for (std::string_view piece : SplitOutsideQuotes(text, ',')) {
        const size_t eq = piece.find('=');
        if (eq == std::string_view::npos) continue;
        params[ToLower(Trim(piece.substr(0, eq)))] = Unquote(Trim(piece.substr(eq + 1)));
    }
    return params;
}

// The scheme word and the rest of an Authorization value.
std::pair<std::string, std::string_view> SplitScheme(const std::string* header) {
    if (!header) return {};
    const std::string_view value = Trim(*header);
    const size_t blank = value.find(' ');
    if (blank == std::string_view::npos) return {ToLower(value), {}};
    return {ToLower(value.substr(0, blank)), Trim(value.substr(blank + 1))};
}

// The request target in origin form: what a client signs when it talks to a proxy.
std::string OriginForm(const HttpRequest& request, const RequestTarget& target) {
    if (!target.absolute) return request.target;
    const size_t start = request.target.find('/', 7);
    return start == std::string::npos ? "/" : request.target.substr(start);
}
}  // namespace

Authenticator::Authenticator(std::string realmName, bool fresh)
    : realm(std::move(realmName)),
      secret(RandomHex(16)),
      opaque(RandomHex(8)),
      freshNonce(fresh),
      nonces(kNoncesKept) {}

std::vector<std::string> Authenticator::Challenges(unsigned schemes, bool stale) {
    std::vector<std::string> challenges;
    if (schemes & kBasic) challenges.push_back("Basic realm=\"" + realm + "\"");
    if (schemes & kDigest)
        challenges.push_back("Digest realm=\"" + realm + "\", qop=\"auth\", nonce=\"" + NewNonce() +
                             "\", opaque=\"" + opaque + "\", algorithm=MD5" +
                             (stale ? ", stale=true" : ""));
    return challenges;
}

std::string Authenticator::NewNonce() {
    const std::string stamp = std::to_string(std::time(nullptr)) + "-" + RandomHex(8);
    const std::string nonce = stamp + "-" + Md5Hex(secret + ":" + stamp);
    nonces.Issue(nonce);
    return nonce;
}

bool Authenticator::NonceIsOurs(const std::string& nonce) const {
    const size_t dash = nonce.rfind('-');
    return dash != std::string::npos &&
           Md5Hex(secret + ":" + nonce.substr(0, dash)) == nonce.substr(dash + 1);
}

Verdict Authenticator::Verify(const HttpRequest& request, const RequestTarget& target,
                              const Mailbox& mailbox) {
    const auto [scheme, credentials] = SplitScheme(request.Header("Authorization"));
    if (scheme == "basic") return {VerifyBasic(std::string(credentials), mailbox)};
    if (scheme == "digest") return VerifyDigest(std::string(credentials), request, target, mailbox);
    return {};
}

std::string Authenticator::VerifyBasic(const std::string& credentials,
                                       const Mailbox& mailbox) const {
    std::string decoded;
    if (!DecodeBase64(credentials, decoded)) return {};
    const size_t colon = decoded.find(':');
    if (colon == std::string::npos) return {};
    const std::string user = ToLower(decoded.substr(0, colon));
    const auto account = mailbox.Credentials(user);
    if (!account || !(account->second & kBasic) || account->first != decoded.substr(colon + 1))
        return {};
    return user;
}

bool Authenticator::DigestUsable(Params& p, const HttpRequest& request, const RequestTarget& target,
                                 uint32_t& count) const {
    if (p["realm"] != realm || !NonceIsOurs(p["nonce"])) return false;
    if (p.count("opaque") && p["opaque"] != opaque) return false;
    if (p["uri"] != request.target && p["uri"] != OriginForm(request, target)) return false;
    const std::string algorithm = ToLower(p["algorithm"]);
    const std::string qop = p["qop"];
    if (!(algorithm.empty() || algorithm == "md5" || algorithm == "md5-sess")) return false;
    if (!(qop.empty() || qop == "auth" || qop == "auth-int")) return false;
    // Without qop there is no count: such an answer is good once.
    count = 1;
    return qop.empty() ? !p.count("nc") : ParseNonceCount(p["nc"], count);
}

Verdict Authenticator::VerifyDigest(const std::string& credentials, const HttpRequest& request,
                                    const RequestTarget& target, const Mailbox& mailbox) {
    Params p = ParseParams(credentials);
    const std::string user = ToLower(p["username"]);
    const auto account = mailbox.Credentials(user);
    uint32_t count = 0;
    if (!account || !(account->second & kDigest) || !DigestUsable(p, request, target, count))
        return {};
    const std::string algorithm = ToLower(p["algorithm"]);
    const std::string qop = p["qop"];
    std::string ha1 = Md5Hex(p["username"] + ":" + realm + ":" + account->first);
    if (algorithm == "md5-sess") ha1 = Md5Hex(ha1 + ":" + p["nonce"] + ":" + p["cnonce"]);
    std::string a2 = request.method + ":" + p["uri"];
    if (qop == "auth-int") a2 += ":" + Md5Hex(request.body);
    const std::string expected = qop.empty() ? Md5Hex(ha1 + ":" + p["nonce"] + ":" + Md5Hex(a2))
                                             : Md5Hex(ha1 + ":" + p["nonce"] + ":" + p["nc"] + ":" +
                                                      p["cnonce"] + ":" + qop + ":" + Md5Hex(a2));
    if (!IEquals(expected, p["response"])) return {};
    switch (nonces.Take(p["nonce"], user, count, freshNonce)) {
        case NonceTable::Use::Accepted:
            return {user};
        case NonceTable::Use::Replayed:
            return {};
        case NonceTable::Use::Unknown:
        case NonceTable::Use::Reused:
            break;
    }
    return {"", true};
}

bool Authenticator::VerifyProxy(const HttpRequest& request, const std::string& userAndPassword) {
    const auto [scheme, credentials] = SplitScheme(request.Header("Proxy-Authorization"));
    std::string decoded;
    return scheme == "basic" && DecodeBase64(credentials, decoded) && decoded == userAndPassword;
}

}  // namespace httpmail
