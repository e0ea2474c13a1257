#include "http/auth_session.h"

#include "http/no_case.h"

namespace vxw {

bool AuthSession::Start(const vx::Str& challenge, const vx::Str& newUser,
                        const vx::Str& newPassword, const vx::Str& host) {
    vx::Str word = challenge.substr(0, challenge.find(' '));
    AuthSession started;
    if (EqualNoCase(word, "basic")) {
        started.scheme = Scheme::Basic;
    } else if (EqualNoCase(word, "digest")) {
        // Refused now, at the challenge, rather than at the next request.
        CheckDigestUserName(newUser, host);
        started.scheme = Scheme::Digest;
        started.digest = ReadDigestChallenge(challenge, host);
    } else {
        return false;
    }
    started.user = newUser, started.password = newPassword;
    *this = std::move(started);
    return true;
}

vx::Str AuthSession::Answer(const vx::Str& uri, const vx::Str& method, BodySource* body,
                            const vx::Str& host) {
    switch (scheme) {
        case Scheme::None:
            return vx::Str();
        case Scheme::Basic:
            return HandleAuthBasic(user, password);
        case Scheme::Digest:
            break;
    }
    // 2^32 - 1 answers to one nonce: the server has to hand out a new one.
    if (nonceCount == UINT32_MAX) {
        Forget();
        return vx::Str();
    }
    DigestRequest request;
    request.user = user, request.password = password, request.uri = uri, request.method = method;
    request.body = body;
    request.nonceCount = ++nonceCount;
    request.sessionKey = &sessionKey;
    return AnswerDigest(digest, request, host);
}

}  // namespace vxw
