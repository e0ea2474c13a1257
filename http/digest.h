#pragma once
// Answers to HTTP authentication challenges: Basic and Digest of RFC 2617
// (MD5 and MD5-sess; qop auth and auth-int). host only names the server in
// error texts.
#include <cstddef>
#include <cstdint>
#include <map>

#include "core/body_stream.h"
#include "core/str.h"
#include "http/no_case.h"

namespace vxw {

// Option name to value; a name missing from the map reads as empty.
using DigestOptions = NoCaseMap;

// "Basic " + Base64 of user ":" password.
vx::Str HandleAuthBasic(const vx::Str& user, const vx::Str& password);

// The options of a challenge such as `Digest realm="r", nonce="n"`.
// Throws HttpError when nothing follows the scheme word (DigestPrefix) and
// when the challenge holds a CR or LF within it (LineBreak).
DigestOptions GetDigestOptions(const vx::Str& challenge, const vx::Str& host);

// The Authorization value answering one Digest challenge for a request of
// method on uri (the path as requested, without any proxy prefix); the body
// (nullptr: none) is read, and rewound, only for qop auth-int. The user name
// and uri are written as quoted strings (RFC 7616, 3.4); a user name holding
// a control character throws HttpError (Username), as no quoting can carry it.
vx::Str HandleAuthDigest(const vx::Str& user, const vx::Str& password, const vx::Str& challenge,
                         const vx::Str& uri, const vx::Str& method, BodySource* body,
                         const vx::Str& host);

// A Digest challenge read once, to answer any number of requests with its
// nonce (RFC 7616, 3.4).
struct DigestChallenge {
    vx::Str realm, nonce, opaque, algorithm;  // as the server wrote them
    vx::Str qop;                              // the one chosen: "auth", "auth-int" or empty
};

// Throws HttpError as GetDigestOptions does, and for an algorithm other than
// MD5 and MD5-sess (Algorithm).
DigestChallenge ReadDigestChallenge(const vx::Str& challenge, const vx::Str& host);

// One request's part of a Digest answer.
struct DigestRequest {
    vx::Str user, password, uri, method;
    BodySource* body = nullptr;  // nullptr: an empty body; read only for auth-int
    uint32_t nonceCount = 1;     // 1 for the first request with this nonce
    // MD5-sess: H(A1), made once with the first request's cnonce and kept for
    // the later ones; empty on the first, when it is made and stored here.
    vx::Str* sessionKey = nullptr;
};

// The Authorization value for one request, with a fresh cnonce. Throws
// HttpError (Username) for a user name with a control character.
vx::Str AnswerDigest(const DigestChallenge& challenge, const DigestRequest& request,
                     const vx::Str& host);

// nc as written: two hexadecimal digits up to ff, as this client always
// wrote them, eight beyond.
vx::Str FormatNonceCount(uint32_t count);

struct DigestInput {
    vx::Str algorithm, realm, nonce, user, password, method, uri, qop, cnonce, nc;
    BodySource* body = nullptr;  // nullptr: an empty body
    vx::Str sessionKey;          // MD5-sess: the kept H(A1), or empty to make it
};

// Whether text holds a byte below 0x20 or DEL: never fit for a header line.
bool HoldsControlCharacter(const vx::Str& text);
// Throws HttpError (Username) for a user name no quoted string can carry.
void CheckDigestUserName(const vx::Str& user, const vx::Str& host);

// The 32-digit request digest. Throws HttpError for an algorithm or qop it
// does not know.
vx::Str GetResponseDigest(const DigestInput& in, const vx::Str& host);

// A fresh client nonce: decimal digits from the system's random source.
vx::Str MakeCnonce();

}  // namespace vxw
