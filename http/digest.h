#pragma once
// Answers to HTTP authentication challenges: Basic and Digest of RFC 2617
// (MD5 and MD5-sess; qop auth and auth-int). host only names the server in
// error texts.
#include <cstddef>
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

struct DigestInput {
    vx::Str algorithm, realm, nonce, user, password, method, uri, qop, cnonce, nc;
    BodySource* body = nullptr;  // nullptr: an empty body
};

// Whether text holds a byte below 0x20 or DEL: never fit for a header line.
bool HoldsControlCharacter(const vx::Str& text);

// The 32-digit request digest. Throws HttpError for an algorithm or qop it
// does not know.
vx::Str GetResponseDigest(const DigestInput& in, const vx::Str& host);

// A fresh client nonce: decimal digits from the system's random source.
vx::Str MakeCnonce();

}  // namespace vxw
