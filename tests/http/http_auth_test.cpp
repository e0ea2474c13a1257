// Credentials for later requests without a new challenge, and bodies that go
// out once: what each request of a session carries against scripted servers.
#include <gtest/gtest.h>

#include <regex>

#include "http/md5.h"
#include "tests/http/http_fixture.h"

namespace {

using namespace testing_support;
using vxw::Http;
using vxw::Md5Hex;
using OnExpect = ScriptedServer::OnExpect;

std::string HeaderOf(const std::string& request, const std::string& name) {
    size_t at = request.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "<none>";
    at += name.size() + 4;
    return request.substr(at, request.find("\r\n", at) - at);
}

std::string BodyOf(const std::string& request) {
    return request.substr(request.find("\r\n\r\n") + 4);
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::string Challenge(const std::string& nonce, const std::string& extra = "",
                      const std::string& header = "WWW-Authenticate") {
    return header + ": Digest realm=\"mail\", nonce=\"" + nonce + "\", qop=\"auth\"" + extra +
           "\r\n";
}

// A Digest answer of user:secret, checked against an MD5 of its own making.
struct DigestSeen {
    std::string uri, nonce, nc, cnonce;
    bool ok = false;
};

DigestSeen ReadAnswer(const std::string& answer, const std::string& method,
                      const std::string& sessionCnonce = "") {
    static const std::regex layout(
        "Digest username=\"user\", uri=\"([^\"]*)\", realm=\"mail\", nonce=\"([^\"]*)\", "
        "(?:algorithm=\"MD5-sess\", )?qop=\"auth\", cnonce=\"([0-9]+)\", nc=([0-9a-f]+), "
        "response=\"([0-9a-f]{32})\"");
    std::smatch m;
    DigestSeen seen;
    if (!std::regex_match(answer, m, layout)) return seen;
    seen.uri = m[1], seen.nonce = m[2], seen.cnonce = m[3], seen.nc = m[4];
    std::string ha1 = Md5Hex("user:mail:secret");
    bool sess = answer.find("MD5-sess") != std::string::npos;
    if (sess) ha1 = Md5Hex(ha1 + ":" + seen.nonce + ":" + sessionCnonce);
    seen.ok = m[5] == Md5Hex(ha1 + ":" + seen.nonce + ":" + seen.nc + ":" + seen.cnonce +
                             ":auth:" + Md5Hex(method + ":" + seen.uri));
    return seen;
}

class HttpAuth : public ::testing::Test, public HttpTest {
protected:
    static void Send(Http& http, const std::string& method, const std::string& path,
                     const std::string& body = "") {
        http.SendRequest(path, method, body.empty() ? nullptr : body.c_str(), body.size(), "user",
                         "secret", 20, true, true, "");
    }
};

// After one challenge every later request is answered with its nonce and the
// next count; when the server wants a new nonce (stale or not) it asks, that
// challenge is answered once, and the new nonce serves on.
TEST_F(HttpAuth, ANonceServesLaterRequestsUntilTheServerAsksAgain) {
    struct Case {
        const char* name;
        std::string extra;  // of the challenges
        bool sess;
    } cases[] = {
        {"stale", ", stale=true", false},
        {"not stale", "", false},
        {"MD5-sess", ", algorithm=MD5-sess, stale=true", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string again = Sized("401 Unauthorized", "", Challenge("def", c.extra));
        ScriptedServer server({{{Sized("401 Unauthorized", "", Challenge("abc", c.extra))}},
                               {{Sized("200 OK", "a")}},
                               {{Sized("200 OK", "b")}},
                               {{again}},
                               {{Sized("200 OK", "c")}},
                               {{Sized("200 OK", "d")}}});
        Http http;
        Aim(http, server);
        for (const char* path : {"/a", "/b", "/c", "/d"}) Send(http, "GET", path);
        EXPECT_EQ(http.GetPage(), "d");

        auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 6u);
        EXPECT_EQ(HeaderOf(requests[0], "Authorization"), "<none>");
        struct Expected {
            const char *uri, *nonce, *nc;
        } expected[] = {{"/a", "abc", "01"},
                        {"/b", "abc", "02"},
                        {"/c", "abc", "03"},
                        {"/c", "def", "01"},
                        {"/d", "def", "02"}};
        std::string sessionCnonce[2];
        for (size_t i = 0; i < 5; ++i) {
            SCOPED_TRACE(i + 1);
            std::string answer = HeaderOf(requests[i + 1], "Authorization");
            bool first = std::string(expected[i].nc) == "01";
            size_t key = expected[i].nonce[0] == 'a' ? 0 : 1;
            // MD5-sess: the key of a nonce is made with its first cnonce, and kept.
            if (c.sess && first) sessionCnonce[key] = ReadAnswer(answer, "GET").cnonce;
            DigestSeen seen = ReadAnswer(answer, "GET", sessionCnonce[key]);
            EXPECT_TRUE(seen.ok) << answer;
            EXPECT_EQ(seen.uri, expected[i].uri);
            EXPECT_EQ(seen.nonce, expected[i].nonce);
            EXPECT_EQ(seen.nc, expected[i].nc);
            EXPECT_EQ(c.sess, answer.find("algorithm=\"MD5-sess\"") != std::string::npos);
        }
        EXPECT_EQ(server.Connections(), 1);
    }
}

// A 401 is an answer: a POST refused for its reused nonce did not reach the
// service, so it goes once more with the new nonce, and only once.
TEST_F(HttpAuth, APostRefusedForItsReusedNonceGoesOnceMore) {
    ScriptedServer server({{{Sized("401 Unauthorized", "", Challenge("abc"))}},
                           {{Sized("200 OK", "in")}},
                           {{Sized("401 Unauthorized", "", Challenge("def", ", stale=true"))}},
                           {{Sized("200 OK", "sent")}}});
    Http http;
    Aim(http, server);
    Send(http, "GET", "/login");
    Send(http, "POST", "/send", "the message");
    EXPECT_EQ(http.GetStatusCode(), 200);
    EXPECT_EQ(http.GetPage(), "sent");

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    for (size_t i : {2, 3}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(requests[i].substr(0, 11), "POST /send ");
        EXPECT_EQ(BodyOf(requests[i]), "the message");
        // Credentials that the service may take: no need to ask first.
        EXPECT_EQ(HeaderOf(requests[i], "Expect"), "<none>");
    }
    EXPECT_EQ(ReadAnswer(HeaderOf(requests[2], "Authorization"), "POST").nc, "02");
    DigestSeen fresh = ReadAnswer(HeaderOf(requests[3], "Authorization"), "POST");
    EXPECT_TRUE(fresh.ok);
    EXPECT_EQ(fresh.nonce + "/" + fresh.nc, "def/01");
}

// The proxy's answer goes on the next requests to that proxy unasked, and to
// no other proxy.
TEST_F(HttpAuth, TheProxyIsAnsweredUnaskedUntilItChanges) {
    struct Case {
        const char* name;
        std::string challenge;
    } cases[] = {
        {"Basic", "Proxy-Authenticate: Basic realm=\"p\"\r\n"},
        {"Digest", "Proxy-Authenticate: Digest realm=\"p\", nonce=\"pn\", qop=\"auth\"\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer proxy({{{Sized("407 Proxy Authentication Required", "", c.challenge)}},
                              {{Sized("200 OK", "one")}},
                              {{Sized("200 OK", "two")}}});
        ScriptedServer other({{{Sized("200 OK", "three")}}});
        Http http;
        http.SetServer(80, false, "mail.example", "127.0.0.1", proxy.Port(), "pu", "pp", kTimeout);
        Get(http, "/one");
        Get(http, "/two");
        EXPECT_EQ(http.GetPage(), "two");
        http.SetServer(80, false, "mail.example", "127.0.0.1", other.Port(), "pu", "pp", kTimeout);
        Get(http, "/three");

        auto requests = proxy.Requests();
        ASSERT_EQ(requests.size(), 3u);
        std::string first = HeaderOf(requests[1], "Proxy-Authorization");
        std::string second = HeaderOf(requests[2], "Proxy-Authorization");
        if (c.name == std::string("Basic")) {
            EXPECT_EQ(first, "Basic cHU6cHA=");
            EXPECT_EQ(second, first);
        } else {
            std::string ha1 = Md5Hex("pu:p:pp"), ha2 = Md5Hex("GET:/two");
            std::smatch m;
            ASSERT_TRUE(std::regex_match(
                second, m,
                std::regex("Digest username=\"pu\", uri=\"/two\", realm=\"p\", nonce=\"pn\", "
                           "qop=\"auth\", cnonce=\"([0-9]+)\", nc=02, "
                           "response=\"([0-9a-f]{32})\"")))
                << second;
            EXPECT_EQ(m[2], Md5Hex(ha1 + ":pn:02:" + m[1].str() + ":auth:" + ha2));
        }
        EXPECT_EQ(HeaderOf(other.Requests()[0], "Proxy-Authorization"), "<none>");
    }
}

// Where the credentials that will be asked for cannot be given yet, the
// request asks with Expect: 100-continue and a challenge costs no body.
TEST_F(HttpAuth, ABodyGoesOutOnceWhateverTheServerMakesOfTheExpectation) {
    const std::string body(300000, 'm');
    const std::string challenge = Sized("401 Unauthorized", "", Challenge("abc"));
    auto step = [](const std::string& reply, OnExpect onExpect, int continueAfterMs = 0) {
        Step made{{reply}};
        made.onExpect = onExpect, made.continueAfterMs = continueAfterMs;
        return made;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        bool tls;
        int connections;
    } cases[] = {
        {"401 at once, then the answered request",
         {step(challenge, OnExpect::AnswerFirst), {{Sized("200 OK", "done")}}},
         false,
         2},
        {"401 at once over TLS",
         {step(challenge, OnExpect::AnswerFirst), {{Sized("200 OK", "done")}}},
         true,
         2},
        {"417 at once: sent again without the expectation",
         {step(Sized("417 Expectation Failed", ""), OnExpect::AnswerFirst),
          {{Sized("200 OK", "done")}}},
         false,
         2},
        {"100 at once", {step(Sized("200 OK", "done"), OnExpect::Continue)}, false, 1},
        {"no 100: the body goes after a while",
         {step(Sized("200 OK", "done"), OnExpect::Ignore)},
         false,
         1},
        {"no 100 over TLS", {step(Sized("200 OK", "done"), OnExpect::Ignore)}, true, 1},
        {"100 after the body went",
         {step(Sized("200 OK", "done"), OnExpect::Continue, 1500)},
         false,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(c.steps, c.tls);
        Http http;
        Aim(http, server, c.tls);
        Send(http, "POST", "/send", body);
        EXPECT_EQ(http.GetStatusCode(), 200);
        EXPECT_EQ(http.GetPage(), "done");
        // Whatever the client sent, up to its close, is in the record then.
        http.Close();
        server.WaitUntilDone();

        auto requests = server.Requests();
        ASSERT_EQ(requests.size(), c.steps.size());
        size_t bodies = 0;
        for (const auto& request : requests) bodies += Count(request, body);
        EXPECT_EQ(bodies, 1u);
        EXPECT_EQ(HeaderOf(requests[0], "Expect"), "100-continue");
        EXPECT_TRUE(BodyOf(requests.back()) == body);  // not printed: 300,000 bytes
        if (requests.size() > 1) {
            EXPECT_EQ(HeaderOf(requests[1], "Expect"), "<none>");
        }
        EXPECT_EQ(server.Connections(), c.connections);
    }
}

// A proxy that may ask for its credentials is asked first too; once it has
// asked, its answer goes with the body at once.
TEST_F(HttpAuth, ABodyWaitsForAProxyThatMayStillAsk) {
    const std::string body(100000, 'p');
    Step challenge{{Sized("407 Proxy Authentication Required", "",
                          "Proxy-Authenticate: Basic realm=\"p\"\r\n")}};
    challenge.onExpect = OnExpect::AnswerFirst;
    ScriptedServer proxy({challenge, {{Sized("200 OK", "one")}}, {{Sized("200 OK", "two")}}});
    Http http;
    http.SetServer(80, false, "mail.example", "127.0.0.1", proxy.Port(), "pu", "pp", kTimeout);
    for (const char* path : {"/one", "/two"})
        http.SendRequest(path, "POST", body.c_str(), body.size(), nullptr, nullptr, 20, true, true,
                         "");
    EXPECT_EQ(http.GetPage(), "two");
    http.Close();
    proxy.WaitUntilDone();

    auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(HeaderOf(requests[0], "Expect"), "100-continue");
    EXPECT_EQ(BodyOf(requests[0]).size(), 0u);
    for (size_t i : {1, 2}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(HeaderOf(requests[i], "Expect"), "<none>");
        EXPECT_EQ(HeaderOf(requests[i], "Proxy-Authorization"), "Basic cHU6cHA=");
        EXPECT_TRUE(BodyOf(requests[i]) == body);  // not printed: 100,000 bytes
    }
}

// Nothing to ask about: no body, no credentials, or credentials the server
// already asked for.
TEST_F(HttpAuth, OnlyABodyThatAChallengeMayStillMeetAsksFirst) {
    ScriptedServer server({{{Sized("200 OK", "")}},
                           {{Sized("200 OK", "")}},
                           {{Sized("401 Unauthorized", "", Challenge("abc"))}},
                           {{Sized("200 OK", "")}},
                           {{Sized("200 OK", "")}}});
    Http http;
    Aim(http, server);
    http.SendRequest("/move", "MOVE", "", 0, "user", "secret", 20, true, true, "");
    http.SendRequest("/open", "POST", "x", 1, nullptr, nullptr, 20, true, true, "");
    Send(http, "POST", "/send", "y");  // asks, hears 100, then 401
    Send(http, "POST", "/send", "z");

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 5u);
    const char* expect[] = {"<none>", "<none>", "100-continue", "<none>", "<none>"};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(HeaderOf(requests[i], "Expect"), expect[i]) << i;
}

}  // namespace
