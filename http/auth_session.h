#pragma once
// What a server or a proxy asked for last, so that later requests to it carry
// credentials before it asks again (RFC 7235, 4.2): Basic as it is, Digest
// with the same nonce and the next nonce count (RFC 7616, 3.4). A server that
// wants a new nonce answers 401 (or 407) again, and that challenge starts
// over. One object per server or proxy; whoever holds it forgets it when the
// server, the proxy or the credentials change.
#include <cstdint>

#include "core/body_stream.h"
#include "core/str.h"
#include "http/digest.h"

namespace vxw {

class AuthSession {
public:
    // Takes up a challenge for user and password. False for a scheme it does
    // not answer (nothing changes then). Throws HttpError for a Digest
    // challenge it cannot answer, or a user name no Digest answer can carry.
    bool Start(const vx::Str& challenge, const vx::Str& user, const vx::Str& password,
               const vx::Str& host);
    void Forget() { *this = AuthSession(); }
    bool Known() const { return scheme != Scheme::None; }

    // The credentials for one request of method on uri (body: for Digest
    // auth-int). Each Digest answer takes the next nonce count, so an answer
    // is made for every request that goes out, also one sent again. Empty
    // when nothing is known (also once the nonce count has run out).
    vx::Str Answer(const vx::Str& uri, const vx::Str& method, BodySource* body,
                   const vx::Str& host);

private:
    enum class Scheme { None, Basic, Digest };
    Scheme scheme = Scheme::None;
    vx::Str user, password;
    DigestChallenge digest;
    uint32_t nonceCount = 0;  // of the last answer with this nonce
    vx::Str sessionKey;       // MD5-sess: H(A1) of the first answer
};

}  // namespace vxw
