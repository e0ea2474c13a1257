#include "http/digest.h"

#include <openssl/rand.h>

#include <cstdio>
#include <random>

#include "core/exception.h"
#include "http/http_text.h"
#include "http/md5.h"
#include "text/base64.h"
#include "text/str_util.h"

namespace vxw {
namespace {

vx::Str Lookup(const DigestOptions& options, const char* name) {
    auto it = options.find(name);
    return it == options.end() ? vx::Str() : it->second;
}

// Pieces between commas that are not inside double quotes.
std::vector<vx::Str> SplitOutsideQuotes(const vx::Str& text) {
    std::vector<vx::Str> pieces;
    vx::StrUtil::Tokenize(pieces, text, ",", "\"", false);
    return pieces;
}

// The first of "auth" and "auth-int" that the server offers, or empty.
vx::Str ChooseQop(const vx::Str& offered) {
    for (const auto& piece : SplitOutsideQuotes(offered)) {
        vx::Str qop = TrimBlanks(piece);
        if (EqualNoCase(qop, "auth") || EqualNoCase(qop, "auth-int")) return qop;
    }
    return vx::Str();
}

vx::Str Quoted(const char* name, const vx::Str& value) {
    return vx::Str(name) + "=\"" + value + "\"";
}

// A value of our own as a quoted string: '"' and '\\' escaped. Values from
// the challenge go back as the server quoted them.
vx::Str Escaped(const vx::Str& value) {
    vx::Str out;
    for (char c : value) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// MD5-sess keeps H(A1) of the first answer to a nonce for the later ones
// (RFC 2617, 3.2.2.2): made from the nonce and that answer's cnonce.
vx::Str SessionKey(const DigestInput& in) {
    if (!in.sessionKey.empty()) return in.sessionKey;
    return Md5Hex(Md5Hex(in.user + ":" + in.realm + ":" + in.password) + ":" + in.nonce + ":" +
                  in.cnonce);
}

vx::Str BodyDigest(BodySource* body) {
    MD5 md5;
    if (body != nullptr) {
        body->Rewind();
        char piece[16384];
        while (size_t got = body->Read(piece, sizeof piece)) md5.update(piece, got);
        body->Rewind();
    }
    md5.finalize();
    char text[33];
    md5.hex_digest(text);
    return text;
}

}  // namespace

vx::Str HandleAuthBasic(const vx::Str& user, const vx::Str& password) {
    return "Basic " + vx::EncodeBase64(user + ":" + password);
}

DigestOptions GetDigestOptions(const vx::Str& challenge, const vx::Str& host) {
    vx::Str text = TrimBlanks(challenge);
    size_t blank = text.find(' ');
    if (blank == vx::Str::npos)
        throw HttpError("Http::GetDigestOptions::DigestPrefix - Digest prefix not found - " + text +
                            " - " + host,
                        0);
    // The answer repeats the challenge's values in a request header, where a
    // line break would let the server write header lines of its own.
    if (text.find_first_of("\r\n") != vx::Str::npos)
        throw HttpError(
            "Http::GetDigestOptions::LineBreak - The challenge holds a line break - " + host, 0);
    DigestOptions options;
    for (const auto& piece : SplitOutsideQuotes(text.substr(blank + 1))) {
        size_t equals = piece.find('=');
        if (equals == vx::Str::npos) continue;
        vx::Str value = TrimBlanks(piece.substr(equals + 1));
        if (!value.empty() && value.front() == '"') value.erase(0, 1);
        if (!value.empty() && value.back() == '"') value.pop_back();
        options[TrimBlanks(piece.substr(0, equals))] = value;
    }
    return options;
}

bool HoldsControlCharacter(const vx::Str& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

void CheckDigestUserName(const vx::Str& user, const vx::Str& host) {
    if (HoldsControlCharacter(user))
        throw HttpError(
            "Http::HandleAuthDigest::Username - The user name holds a control character - " + host,
            0);
}

DigestChallenge ReadDigestChallenge(const vx::Str& challenge, const vx::Str& host) {
    DigestOptions options = GetDigestOptions(challenge, host);
    DigestChallenge read;
    read.algorithm = Lookup(options, "algorithm");
    if (!read.algorithm.empty() && !EqualNoCase(read.algorithm, "md5") &&
        !EqualNoCase(read.algorithm, "md5-sess"))
        throw HttpError("Http::HandleAuthDigest::Algorithm - Unsupported algorithm specified - " +
                            read.algorithm + " - " + host,
                        0);
    read.realm = Lookup(options, "realm");
    read.nonce = Lookup(options, "nonce");
    read.opaque = Lookup(options, "opaque");
    read.qop = ChooseQop(Lookup(options, "qop"));
    return read;
}

vx::Str FormatNonceCount(uint32_t count) {
    char text[9];
    std::snprintf(text, sizeof text, count <= 0xFF ? "%02x" : "%08x", count);
    return text;
}

vx::Str AnswerDigest(const DigestChallenge& challenge, const DigestRequest& request,
                     const vx::Str& host) {
    CheckDigestUserName(request.user, host);
    DigestInput in;
    in.algorithm = challenge.algorithm, in.realm = challenge.realm, in.nonce = challenge.nonce;
    in.user = request.user, in.password = request.password;
    in.method = request.method, in.uri = request.uri;
    in.qop = challenge.qop;
    in.body = request.body;
    if (!in.qop.empty()) in.cnonce = MakeCnonce(), in.nc = FormatNonceCount(request.nonceCount);
    if (request.sessionKey != nullptr) in.sessionKey = *request.sessionKey;

    vx::Str value = "Digest " + Quoted("username", Escaped(in.user)) + ", " +
                    Quoted("uri", Escaped(in.uri)) + ", " + Quoted("realm", in.realm) + ", " +
                    Quoted("nonce", in.nonce);
    if (!challenge.opaque.empty()) value += ", " + Quoted("opaque", challenge.opaque);
    if (!in.algorithm.empty()) value += ", " + Quoted("algorithm", in.algorithm);
    if (!in.qop.empty())
        value +=
            ", " + Quoted("qop", in.qop) + ", " + Quoted("cnonce", in.cnonce) + ", nc=" + in.nc;
    value += ", " + Quoted("response", GetResponseDigest(in, host));
    if (request.sessionKey != nullptr && request.sessionKey->empty() &&
        EqualNoCase(in.algorithm, "md5-sess"))
        *request.sessionKey = SessionKey(in);
    return value;
}

vx::Str HandleAuthDigest(const vx::Str& user, const vx::Str& password, const vx::Str& challenge,
                         const vx::Str& uri, const vx::Str& method, BodySource* body,
                         const vx::Str& host) {
    CheckDigestUserName(user, host);
    DigestRequest request;
    request.user = user, request.password = password, request.uri = uri, request.method = method;
    request.body = body;
    return AnswerDigest(ReadDigestChallenge(challenge, host), request, host);
}

vx::Str GetResponseDigest(const DigestInput& in, const vx::Str& host) {
    vx::Str ha1;
    if (in.algorithm.empty() || EqualNoCase(in.algorithm, "md5"))
        ha1 = Md5Hex(in.user + ":" + in.realm + ":" + in.password);
    else if (EqualNoCase(in.algorithm, "md5-sess"))
        ha1 = SessionKey(in);
    else
        throw HttpError("Http::GetResponseDigest::Algorithm - Unsupported algorithm - " +
                            in.algorithm + " - " + host + in.uri,
                        0);

    vx::Str a2 = in.method + ":" + in.uri;
    if (EqualNoCase(in.qop, "auth-int"))
        a2 += ":" + BodyDigest(in.body);
    else if (!in.qop.empty() && !EqualNoCase(in.qop, "auth"))
        throw HttpError(
            "Http::GetResponseDigest::Qop - Unsupported qop - " + in.qop + " - " + host + in.uri,
            0);

    vx::Str ha2 = Md5Hex(a2);
    if (in.qop.empty()) return Md5Hex(ha1 + ":" + in.nonce + ":" + ha2);
    return Md5Hex(ha1 + ":" + in.nonce + ":" + in.nc + ":" + in.cnonce + ":" + in.qop + ":" + ha2);
}

vx::Str MakeCnonce() {
    // Five numbers in decimal, as before, but unpredictable: a nonce derived
    // from the clock repeats within a second and can be guessed by the server.
    uint32_t numbers[5];
    if (RAND_bytes(reinterpret_cast<unsigned char*>(numbers), sizeof numbers) != 1) {
        std::random_device device;
        for (auto& n : numbers) n = device();
    }
    vx::Str cnonce;
    for (uint32_t n : numbers) cnonce += std::to_string(n & 0x7FFFFFFF);
    return cnonce;
}

}  // namespace vxw
