// Challenges, redirects and proxies against scripted servers: what each
// re-issued request carries and which connection it takes.
#include <gtest/gtest.h>

#include <regex>

#include "http/md5.h"
#include "tests/http/error_text.h"
#include "tests/http/http_fixture.h"

namespace {

using namespace testing_support;
using vxw::Http;

class HttpFollow : public ::testing::Test, public HttpTest {
protected:
    static void GetAs(Http& http, const std::string& path, const char* user, const char* password,
                      int32_t redirects = 20) {
        http.SendRequest(path, "GET", nullptr, 0, user, password, redirects, true, true, "");
    }
    static std::string HeaderOf(const std::string& request, const std::string& name) {
        size_t at = request.find("\r\n" + name + ": ");
        if (at == std::string::npos) return "<none>";
        at += name.size() + 4;
        return request.substr(at, request.find("\r\n", at) - at);
    }
};

const std::string kBasicChallenge = "WWW-Authenticate: Basic realm=\"mail\"\r\n";
const std::string kDigestChallenge =
    "WWW-Authenticate: Digest realm=\"mail\", nonce=\"abc\", qop=\"auth\"\r\n";

TEST_F(HttpFollow, TheLastSupportedChallengeIsAnsweredOnceAndAnsweredAgainUnasked) {
    for (bool basicFirst : {true, false}) {
        SCOPED_TRACE(basicFirst ? "Basic first" : "Digest first");
        std::string challenges =
            basicFirst ? kBasicChallenge + kDigestChallenge : kDigestChallenge + kBasicChallenge;
        ScriptedServer server(
            {{{Sized("401 Unauthorized", "", "WWW-Authenticate: Negotiate\r\n" + challenges)}},
             {{Sized("200 OK", "in")}},
             {{Sized("200 OK", "again")}}});
        Http http;
        Aim(http, server);
        GetAs(http, "/inbox", "user", "secret");
        EXPECT_EQ(http.GetPage(), "in");
        GetAs(http, "/next", "user", "secret");  // answered before any challenge

        auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 3u);
        EXPECT_EQ(HeaderOf(requests[0], "Authorization"), "<none>");
        std::string answer = HeaderOf(requests[1], "Authorization");
        if (basicFirst) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(
                answer, m,
                std::regex("Digest username=\"user\", uri=\"/inbox\", realm=\"mail\", "
                           "nonce=\"abc\", qop=\"auth\", cnonce=\"([0-9]+)\", "
                           "nc=01, response=\"([0-9a-f]{32})\"")))
                << answer;
            std::string ha1 = vxw::Md5Hex("user:mail:secret"), ha2 = vxw::Md5Hex("GET:/inbox");
            EXPECT_EQ(m[2], vxw::Md5Hex(ha1 + ":abc:01:" + m[1].str() + ":auth:" + ha2));
            // The same nonce, counted once more, for this request's path.
            std::string next = HeaderOf(requests[2], "Authorization");
            std::smatch n;
            ASSERT_TRUE(std::regex_match(
                next, n,
                std::regex("Digest username=\"user\", uri=\"/next\", realm=\"mail\", "
                           "nonce=\"abc\", qop=\"auth\", cnonce=\"([0-9]+)\", "
                           "nc=02, response=\"([0-9a-f]{32})\"")))
                << next;
            EXPECT_NE(n[1], m[1]);
            EXPECT_EQ(n[2], vxw::Md5Hex(ha1 + ":abc:02:" + n[1].str() +
                                        ":auth:" + vxw::Md5Hex("GET:/next")));
        } else {
            EXPECT_EQ(answer, "Basic dXNlcjpzZWNyZXQ=");
            EXPECT_EQ(HeaderOf(requests[2], "Authorization"), answer);
        }
    }
}

TEST_F(HttpFollow, OtherCredentialsDropTheCachedAnswer) {
    ScriptedServer server({{{Sized("401 Unauthorized", "", kBasicChallenge)}},
                           {{Sized("200 OK", "")}},
                           {{Sized("200 OK", "")}}});
    Http http;
    Aim(http, server);
    GetAs(http, "/", "user", "secret");
    GetAs(http, "/", "other", "pass");
    EXPECT_EQ(HeaderOf(server.Requests()[2], "Authorization"), "<none>");
}

TEST_F(HttpFollow, RefusedAndUnanswerableChallengesFailWithTheirTexts) {
    const std::string refused = Sized("401 Unauthorized", "", kBasicChallenge);
    const std::string proxyRefused =
        Sized("407 Proxy Authentication Required", "", "Proxy-Authenticate: Basic realm=\"p\"\r\n");
    struct Case {
        std::vector<Step> steps;
        const char* user;
        std::string text;
        const char* proxyUser = "";
    } cases[] = {
        {{{{refused}}, {{refused}}},
         "user",
         "Http::SendRequest::Unauthorized - Unauthorized to access resource - 127.0.0.1/box (401)"},
        {{{{refused}}},
         nullptr,
         "Http::SendRequest::Unauthorized - Unauthorized to access resource - 127.0.0.1/box "
         "(401)"},
        {{{{Sized("401 Unauthorized", "")}}},
         "user",
         "Http::AuthenticateRequest::MissingHeader - The Authenticate header was not sent by the "
         "server when it "
         "requested authorization - 127.0.0.1/box"},
        {{{{Sized("401 Unauthorized", "",
                  "WWW-Authenticate: NTLM\r\nWWW-Authenticate: Negotiate x\r\n")}}},
         "user",
         "Http::AuthenticateRequest::UnsupportedType - Unsupported authentication type - negotiate "
         "- 127.0.0.1/box"},
        {{{{Sized("401 Unauthorized", "", "WWW-Authenticate: Digest\r\n")}}},
         "user",
         "Http::GetDigestOptions::DigestPrefix - Digest prefix not found - Digest - 127.0.0.1"},
        {{{{proxyRefused}}},
         "user",
         "Http::SendRequest::ProxyUnauthorized - Unauthorized to access proxy server - "
         "127.0.0.1/box (407)"},
        {{{{proxyRefused}}, {{proxyRefused}}},
         "user",
         "Http::SendRequest::ProxyUnauthorized - Unauthorized to access proxy server - "
         "127.0.0.1/box (407)",
         "pu"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ScriptedServer server(c.steps);
        Http http;
        http.SetServer(server.Port(), false, "127.0.0.1", "", 0, c.proxyUser, "pp", kTimeout);
        EXPECT_EQ(ErrorText([&] { GetAs(http, "/box", c.user, "secret"); }), c.text);
    }
}

TEST_F(HttpFollow, AuthIntHashesTheBodyOfTheRequest) {
    ScriptedServer server(
        {{{Sized("401 Unauthorized", "",
                 "WWW-Authenticate: Digest realm=\"r\", nonce=\"n\", qop=\"auth-int\", "
                 "opaque=\"op\", algorithm=MD5-sess\r\n")}},
         {{Sized("200 OK", "")}}});
    Http http;
    Aim(http, server);
    http.SendRequest("/submit", "POST", "mail text", 9, "u", "p", 20, true, true, "");
    std::string answer = HeaderOf(server.Requests()[1], "Authorization");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(
        answer, m,
        std::regex("Digest username=\"u\", uri=\"/submit\", realm=\"r\", nonce=\"n\", "
                   "opaque=\"op\", algorithm=\"MD5-sess\", qop=\"auth-int\", "
                   "cnonce=\"([0-9]+)\", nc=01, response=\"([0-9a-f]{32})\"")))
        << answer;
    std::string ha1 = vxw::Md5Hex(vxw::Md5Hex("u:r:p") + ":n:" + m[1].str());
    std::string ha2 = vxw::Md5Hex("POST:/submit:" + vxw::Md5Hex("mail text"));
    EXPECT_EQ(m[2], vxw::Md5Hex(ha1 + ":n:01:" + m[1].str() + ":auth-int:" + ha2));
    EXPECT_TRUE(server.Requests()[1].size() > 9 &&
                server.Requests()[1].substr(server.Requests()[1].size() - 9) == "mail text");
}

TEST_F(HttpFollow, RedirectsKeepMethodAndBodyAndReuseTheConnectionOnTheSameServer) {
    ScriptedServer server({{{Sized("302 Found", "", "Location: folder/next\r\n")}},
                           {{Sized("301 Moved", "", "Location: http://127.0.0.1:1/unused\r\n")}},
                           {{Sized("304 Not Modified", "")}},
                           {{Sized("200 OK", "posted")}}});
    Http http;
    Aim(http, server);
    // The 301 points at another port: with no redirects left it comes back to the caller.
    http.SendRequest("/send", "POST", "data", 4, nullptr, nullptr, 1, true, true, "");
    EXPECT_EQ(http.GetStatusCode(), 301);
    http.SendRequest("/send", "POST", "data", 4, nullptr, nullptr, 1, true, true,
                     "");  // 304, re-issued
    EXPECT_EQ(http.GetPage(), "posted");

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    std::string post = "Connection: Keep-Alive\r\nContent-Length: 4\r\nHost: " + Local(server) +
                       "\r\nUser-Agent: VX\r\n\r\ndata";
    EXPECT_EQ(requests[0], "POST /send HTTP/1.1\r\n" + post);
    EXPECT_EQ(requests[1], "POST /folder/next HTTP/1.1\r\n" + post);
    EXPECT_EQ(requests[3], "POST /send HTTP/1.1\r\n" + post);
    EXPECT_EQ(server.Connections(), 1);
}

// Credentials go only to the server (host and port) that asked for them.
TEST_F(HttpFollow, RedirectToAnotherPortOrSchemeReconnectsThereAndCarriesNoCredentialsThere) {
    ScriptedServer tls({{{Sized("200 OK", "secure")}}}, true);
    ScriptedServer other(
        {{{Sized("302 Found", "",
                 "Location: https://127.0.0.1:" + std::to_string(tls.Port()) + "/secure\r\n")}}});
    ScriptedServer first(
        {{{Sized("401 Unauthorized", "", kBasicChallenge)}},
         {{Sized("302 Found", "",
                 "Location: http://localhost:" + std::to_string(other.Port()) + "\r\n")}}});
    Http http;
    Aim(http, first);
    GetAs(http, "/start", "user", "secret");
    EXPECT_EQ(http.GetPage(), "secure");

    EXPECT_EQ(other.Requests()[0], PlainGet("/", "localhost:" + std::to_string(other.Port())));
    EXPECT_EQ(tls.Requests()[0], PlainGet("/secure", Local(tls)));
}

TEST_F(HttpFollow, RedirectWithoutUsableLocationFails) {
    struct Case {
        std::string headers;
        std::string text;
    } cases[] = {
        {"",
         "Http::RedirectRequest::Location - A redirect was requested but no location was given - "
         "127.0.0.1/a"},
        {"Location: http://:80/x\r\n",
         "Http::RedirectRequest::Target - A redirect named no usable server - http://:80/x - "
         "127.0.0.1/a"},
        {"Location: http://h:70000/x\r\n",
         "Http::RedirectRequest::Target - A redirect named no usable server - http://h:70000/x - "
         "127.0.0.1/a"},
    };
    for (const auto& c : cases) {
        ScriptedServer server({{{Sized("303 See Other", "", c.headers)}}});
        Http http;
        Aim(http, server);
        EXPECT_EQ(ErrorText([&] { Get(http, "/a"); }), c.text);
    }
}

TEST_F(HttpFollow, PlainProxyGetsAbsoluteUrisAndAnsweredChallengesFromBothSides) {
    ScriptedServer proxy({{{Sized("407 Proxy Authentication Required", "",
                                  "Proxy-Authenticate: Basic realm=\"proxy\"\r\n")},
                           After::Close},
                          {{Sized("401 Unauthorized", "", kBasicChallenge)}},
                          {{Sized("200 OK", "through")}}});
    Http http;
    http.SetServer(-1, false, "mail.example", "127.0.0.1", proxy.Port(), "pu", "pp", kTimeout);
    GetAs(http, "/inbox", "user", "secret");
    EXPECT_EQ(http.GetPage(), "through");

    auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], PlainGet("http://mail.example:80/inbox", "mail.example"));
    EXPECT_EQ(
        requests[1],
        "GET http://mail.example:80/inbox HTTP/1.1\r\nConnection: Keep-Alive\r\n"
        "Host: mail.example\r\nProxy-Authorization: Basic cHU6cHA=\r\nUser-Agent: VX\r\n\r\n");
    EXPECT_EQ(HeaderOf(requests[2], "Proxy-Authorization"), "Basic cHU6cHA=");
    EXPECT_EQ(HeaderOf(requests[2], "Authorization"), "Basic dXNlcjpzZWNyZXQ=");
    EXPECT_EQ(proxy.Connections(), 2);
}

TEST_F(HttpFollow, TlsTargetBehindAProxyIsReachedThroughATunnel) {
    // The proxy asks for credentials and closes, then opens the tunnel. What
    // is meant for the server behind it never goes into a tunnel request, and
    // the proxy's credentials never go through the tunnel to the server.
    const std::string established = "HTTP/1.1 200 Connection established\r\n\r\n";
    ScriptedServer proxy(
        {{{Sized("407 Proxy Authentication Required", "",
                 "Proxy-Authenticate: Basic realm=\"proxy\"\r\n")},
          After::Close},
         {{established}, After::StartTls},
         {{Sized("200 OK", "", "Set-Cookie: s=1\r\nConnection: close\r\n")}, After::Close},
         {{established}, After::StartTls},
         {{Sized("200 OK", "secret page")}}});
    Http http;
    http.SetHeader("Authorization", "Basic dXNlcjpzZWNyZXQ=");
    http.SetServer(-1, true, "secure.example", "127.0.0.1", proxy.Port(), "pu", "pp", kTimeout);
    Get(http, "/one");
    Get(http, "/two");
    EXPECT_EQ(http.GetPage(), "secret page");

    auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(
        requests[0],
        "CONNECT secure.example:443 HTTP/1.1\r\nConnection: Keep-Alive\r\nUser-Agent: VX\r\n\r\n");
    EXPECT_EQ(requests[1],
              "CONNECT secure.example:443 HTTP/1.1\r\nConnection: Keep-Alive\r\n"
              "Proxy-Authorization: Basic cHU6cHA=\r\nUser-Agent: VX\r\n\r\n");
    EXPECT_EQ(requests[3],
              "CONNECT secure.example:443 HTTP/1.1\r\nConnection: Keep-Alive\r\n"
              "Host: secure.example:443\r\nProxy-Authorization: Basic cHU6cHA=\r\nUser-Agent: "
              "VX\r\n\r\n");
    EXPECT_EQ(HeaderOf(requests[2], "Proxy-Authorization"), "<none>");
    EXPECT_EQ(
        requests[4],
        "GET /two HTTP/1.1\r\nAuthorization: Basic dXNlcjpzZWNyZXQ=\r\nConnection: Keep-Alive\r\n"
        "Cookie: s=1\r\nHost: secure.example:443\r\nUser-Agent: VX\r\n\r\n");
    EXPECT_EQ(proxy.Connections(), 3);
}

TEST_F(HttpFollow, RefusedTunnelFailsWithTheStatusAsCode) {
    ScriptedServer proxy({{{Sized("403 Forbidden", "no")}}});
    Http http;
    EXPECT_EQ(ErrorText([&] {
                  http.SetServer(8443, true, "secure.example", "127.0.0.1", proxy.Port(), "", "",
                                 kTimeout);
              }),
              "Http::Connect::ConnectSSl - There was an error opening the SSL tunnel to "
              "secure.example through "
              "127.0.0.1 (403)");
}

}  // namespace
