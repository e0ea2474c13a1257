#include "http/digest.h"

#include <gtest/gtest.h>

#include <regex>

#include "http/md5.h"
#include "tests/http/error_text.h"

namespace {

using testing_support::ErrorText;
using namespace vxw;

TEST(Digest, OptionsAreSplitAtCommasOutsideQuotesAndTrimmed) {
    DigestOptions options = GetDigestOptions(
        "  Digest realm=\"a, b\" , nonce=\"n=1\",qop=\"auth,auth-int\", opaque=xyz, flag, "
        "REALM=\"late\"\r\n",
        "h");
    EXPECT_EQ(options["realm"], "late");  // a later duplicate replaces, names compare without case
    EXPECT_EQ(options["nonce"], "n=1");
    EXPECT_EQ(options["qop"], "auth,auth-int");
    EXPECT_EQ(options["opaque"], "xyz");
    EXPECT_EQ(options.count("flag"), 0u);
    EXPECT_EQ(options.size(), 4u);

    EXPECT_EQ(
        ErrorText([] { GetDigestOptions("Digest", "host.example"); }),
        "Http::GetDigestOptions::DigestPrefix - Digest prefix not found - Digest - host.example");
}

TEST(Digest, AChallengeWithALineBreakIsRefusedNotRepeatedIntoTheRequest) {
    const char kLineBreak[] =
        "Http::GetDigestOptions::LineBreak - The challenge holds a line break - h";
    // The second was found by the fuzzer.
    for (const std::string& challenge :
         {std::string("Digest realm=\"r\nX-Injected: 1\", nonce=\"n\""),
          std::string("Digest realm=\"r\", nonce=\"n\rX: 1\""),
          std::string("est realm=Diges\0\0\0\0\0\n\0\0t r%alm=\"r\", nornae=\"n\"", 46)}) {
        EXPECT_EQ(ErrorText([&] { HandleAuthDigest("u", "p", challenge, "/", "GET", {}, "h"); }),
                  kLineBreak);
    }
}

DigestInput Rfc2617Example() {
    DigestInput in;
    in.realm = "testrealm@host.com", in.nonce = "dcd98b7102dd2f0e8b11d0f600bfb0c093";
    in.user = "Mufasa", in.password = "Circle Of Life", in.method = "GET",
    in.uri = "/dir/index.html";
    in.cnonce = "0a4f113b";
    return in;
}

TEST(Digest, ResponseDigestMatchesIndependentComputations) {
    DigestInput in = Rfc2617Example();
    in.qop = "auth", in.nc = "00000001";
    EXPECT_EQ(GetResponseDigest(in, "h"), "6629fae49393a05397450978507c4ef1");  // RFC 2617, 3.5

    in = Rfc2617Example();
    EXPECT_EQ(GetResponseDigest(in, "h"),
              "670fd8c2df070c60b045671b8b24ff02");  // no qop: HA1:nonce:HA2

    in = Rfc2617Example();
    in.algorithm = "MD5-sess", in.qop = "auth-int", in.nc = "01", in.method = "POST";
    vxw::PartsSource body({"hello ", "body"});  // parts hash as the one body they make
    in.body = &body;
    EXPECT_EQ(GetResponseDigest(in, "h"), "fb89ea5cc70ac574f75a1a0e2d116cba");
    EXPECT_EQ(GetResponseDigest(in, "h"), "fb89ea5cc70ac574f75a1a0e2d116cba");  // read again

    in.algorithm = "SHA-256";
    EXPECT_EQ(
        ErrorText([&] { GetResponseDigest(in, "h"); }),
        "Http::GetResponseDigest::Algorithm - Unsupported algorithm - SHA-256 - h/dir/index.html");
    in.algorithm = "", in.qop = "auth-conf";
    EXPECT_EQ(ErrorText([&] { GetResponseDigest(in, "h"); }),
              "Http::GetResponseDigest::Qop - Unsupported qop - auth-conf - h/dir/index.html");
}

// A nonce used again: the count goes into the digest as written (two digits
// up to ff, eight beyond), and MD5-sess keeps the H(A1) of its first answer.
// Expected values from an MD5 of the RFC 2617 example values made elsewhere.
TEST(Digest, LaterAnswersToOneNonceCountItsUses) {
    EXPECT_EQ(vxw::FormatNonceCount(1), "01");
    EXPECT_EQ(vxw::FormatNonceCount(2), "02");
    EXPECT_EQ(vxw::FormatNonceCount(255), "ff");
    EXPECT_EQ(vxw::FormatNonceCount(256), "00000100");
    EXPECT_EQ(vxw::FormatNonceCount(0xFFFFFFFF), "ffffffff");

    struct Case {
        const char* algorithm;
        const char* nc;
        const char* sessionKey;
        const char* response;
    } cases[] = {
        {"", "02", "", "6b5c85e475e5721e222f762a7940b4da"},
        {"MD5", "00000100", "", "2677711c806e0487dbcc982bbdea098e"},
        // H(H(Mufasa:testrealm@host.com:Circle Of Life):nonce:first)
        {"MD5-sess", "02", "f1226eba1ce16bdc3ce3e70605879cf2", "7d1489b8e78fc9cff2022e18d04b2639"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nc);
        DigestInput in = Rfc2617Example();
        in.qop = "auth", in.algorithm = c.algorithm, in.nc = c.nc, in.sessionKey = c.sessionKey;
        EXPECT_EQ(GetResponseDigest(in, "h"), c.response);
    }
    // The first answer of MD5-sess makes that key from its own cnonce.
    DigestInput in = Rfc2617Example();
    in.qop = "auth", in.algorithm = "MD5-sess", in.nc = "01", in.cnonce = "first";
    EXPECT_EQ(GetResponseDigest(in, "h"),
              Md5Hex("f1226eba1ce16bdc3ce3e70605879cf2:" + in.nonce +
                     ":01:first:auth:" + Md5Hex("GET:/dir/index.html")));
}

TEST(Digest, HeaderLayoutWithQopOpaqueAndAlgorithm) {
    vx::Str value = HandleAuthDigest(
        "Mufasa", "Circle Of Life",
        "Digest realm=\"testrealm@host.com\", qop=\"auth,auth-int\", "
        "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", opaque=\"5ccc\", algorithm=MD5",
        "/dir/index.html", "GET", {}, "h");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(
        value, m,
        std::regex(
            "Digest username=\"Mufasa\", uri=\"/dir/index.html\", realm=\"testrealm@host.com\", "
            "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", opaque=\"5ccc\", algorithm=\"MD5\", "
            "qop=\"auth\", cnonce=\"([0-9]+)\", nc=01, response=\"([0-9a-f]{32})\"")))
        << value;
    DigestInput in = Rfc2617Example();
    in.algorithm = "MD5", in.qop = "auth", in.nc = "01", in.cnonce = m[1];
    EXPECT_EQ(m[2], GetResponseDigest(in, "h"));
}

TEST(Digest, QopChoiceAndItsAbsence) {
    // Only auth-int offered: the body is hashed into A2.
    vxw::PartsSource body({"bo", "dy"});
    vx::Str value = HandleAuthDigest("u", "p", "Digest realm=\"r\", nonce=\"n\", qop=\"auth-int\"",
                                     "/x", "POST", &body, "h");
    std::smatch m;
    ASSERT_TRUE(
        std::regex_search(value, m, std::regex("qop=\"auth-int\", cnonce=\"([0-9]+)\", nc=01, ")));
    vx::Str ha1 = Md5Hex("u:r:p"), ha2 = Md5Hex("POST:/x:" + Md5Hex("body"));
    EXPECT_NE(
        value.find("response=\"" + Md5Hex(ha1 + ":n:01:" + m[1].str() + ":auth-int:" + ha2) + "\""),
        vx::Str::npos)
        << value;

    // No qop: no qop, cnonce or nc, and the response is MD5(HA1:nonce:HA2).
    value = HandleAuthDigest("u", "p", "Digest realm=\"r\", nonce=\"n\"", "/x", "GET", {}, "h");
    EXPECT_EQ(value, "Digest username=\"u\", uri=\"/x\", realm=\"r\", nonce=\"n\", response=\"" +
                         Md5Hex(ha1 + ":n:" + Md5Hex("GET:/x")) + "\"");

    EXPECT_EQ(ErrorText([] {
                  HandleAuthDigest("u", "p", "Digest nonce=\"n\", algorithm=SHA", "/", "GET", {},
                                   "host");
              }),
              "Http::HandleAuthDigest::Algorithm - Unsupported algorithm specified - SHA - host");
}

// The user name comes from the mail client: it must stay one quoted value
// of one header line, whatever it holds.
TEST(Digest, OwnValuesAreQuotedStringsAndControlCharactersAreRefused) {
    struct Case {
        vx::Str user, uri, written;
    } cases[] = {
        {"a\"b", "/x", "username=\"a\\\"b\", uri=\"/x\""},
        {"a\\b", "/x", "username=\"a\\\\b\", uri=\"/x\""},
        {"u", "/x\"y", "username=\"u\", uri=\"/x\\\"y\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        vx::Str value = HandleAuthDigest(c.user, "p", "Digest realm=\"r\", nonce=\"n\"", c.uri,
                                         "GET", nullptr, "h");
        // The digest is of the values themselves, not of their quoting.
        vx::Str response = Md5Hex(Md5Hex(c.user + ":r:p") + ":n:" + Md5Hex("GET:" + c.uri));
        EXPECT_EQ(value, "Digest " + c.written + ", realm=\"r\", nonce=\"n\", response=\"" +
                             response + "\"");
    }
    for (const vx::Str& user :
         std::vector<vx::Str>{"a\r\nX-Injected: 1", "a\nb", "a\tb", vx::Str("a\0b", 3), "a\x7f"}) {
        EXPECT_EQ(ErrorText([&] {
                      HandleAuthDigest(user, "p", "Digest realm=\"r\", nonce=\"n\"", "/", "GET",
                                       nullptr, "h");
                  }),
                  "Http::HandleAuthDigest::Username - The user name holds a control character - h");
    }
}

TEST(Digest, BasicAndClientNonce) {
    EXPECT_EQ(HandleAuthBasic("Aladdin", "open sesame"), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
    vx::Str one = MakeCnonce(), two = MakeCnonce();
    EXPECT_TRUE(std::regex_match(one, std::regex("[0-9]{5,}")));
    EXPECT_NE(one, two);  // unpredictable, even within one second
}

}  // namespace
