// Bodies that are never held whole: a response body into a sink as it
// arrives, a request body from a source, against scripted servers.
#include <gtest/gtest.h>

#include <algorithm>

#include "http/digest.h"
#include "tests/http/error_text.h"
#include "tests/http/http_fixture.h"

namespace {

using namespace testing_support;
using vxw::Http;

class HttpStream : public ::testing::Test, public HttpTest {};

// Counts how often the body was started over.
struct CountingSource : vxw::PartsSource {
    using PartsSource::PartsSource;
    void Rewind() override {
        ++rewinds;
        PartsSource::Rewind();
    }
    int rewinds = 0;
};

std::string Pattern(size_t size) {
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i * 7 % 26);
    return text;
}

TEST_F(HttpStream, OnlyTheFinalAnswerReachesTheSinkThatWasChosenForIt) {
    ScriptedServer server(
        {{{Sized("401 Unauthorized", "denied", "WWW-Authenticate: Basic realm=\"r\"\r\n")}},
         {{Sized("302 Found", "moved", "Location: /there\r\n")}},
         {{Sized("200 OK", "the message")}},
         {{Sized("404 Not Found", "gone")}}});
    Http http;
    Aim(http, server);
    Collector sink;
    std::vector<int32_t> chosenFor;
    auto choose = [&](const Http& answer) -> vxw::BodySink* {
        chosenFor.push_back(answer.GetStatusCode());
        return answer.GetStatusCode() == 200 ? &sink : nullptr;
    };
    http.SendRequest("/here", "GET", nullptr, "u", "p", 20, true, true, choose);
    EXPECT_EQ(sink.body, "the message");
    EXPECT_EQ(http.GetPage(), "");
    // An answer the chooser leaves in memory stays there, as without a sink.
    http.SendRequest("/gone", "GET", nullptr, "u", "p", 20, true, true, choose);
    EXPECT_EQ(http.GetPage(), "gone");
    EXPECT_EQ(sink.body, "the message");
    EXPECT_EQ(chosenFor, (std::vector<int32_t>{200, 404}));
}

// TOP needs only the start of a message: the rest is not read, and the
// connection is closed, or a small rest read away, so that the next request
// gets its own answer. The server sends no more than the start of a large
// body: the client must not wait for the rest.
TEST_F(HttpStream, ASinkThatHasEnoughEndsTheReadAndTheNextRequestStartsClean) {
    const std::string large = Pattern(1000000), small = Pattern(30000);
    auto start = [](const std::string& reply) {
        return std::vector<std::string>{reply.substr(0, 300)};
    };
    struct Case {
        const char* name;
        std::vector<std::string> reply;
        const std::string& body;
        int connections;
    } cases[] = {
        {"large sized rest", start(Sized("200 OK", large)), large, 2},
        {"small sized rest, read away", Cut(Sized("200 OK", small), {200}), small, 1},
        {"chunked", start(Chunked(large, 100)), large, 2},
        {"until close", start("HTTP/1.0 200 OK\r\n\r\n" + large), large, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server({{c.reply}, {{Sized("200 OK", "next")}}});
        Http http;
        Aim(http, server);
        Collector sink(1);
        http.SendRequest("/", "GET", nullptr, nullptr, nullptr, 20, true, true,
                         [&](const Http&) { return &sink; });
        // What arrived with the head, at most one piece of the body.
        EXPECT_FALSE(sink.body.empty());
        EXPECT_LE(sink.body.size(), 100000u);
        EXPECT_EQ(c.body.compare(0, sink.body.size(), sink.body), 0);
        EXPECT_TRUE(http.BodyStopped());
        Get(http, "/next");
        EXPECT_EQ(http.GetPage(), "next");
        EXPECT_FALSE(http.BodyStopped());
        EXPECT_EQ(server.Connections(), c.connections);
    }
}

// A body from a source goes out whole each time the request does: after a
// challenge (whose auth-int answer hashes the body) and after a redirect.
TEST_F(HttpStream, ARequestBodyComesFromItsSourceForEveryAttempt) {
    const std::string text = Pattern(600000);  // more than one piece on its way out
    ScriptedServer server(
        {{{Sized("401 Unauthorized", "",
                 "WWW-Authenticate: Digest realm=\"r\", nonce=\"n\", qop=\"auth-int\"\r\n")}},
         {{Sized("307 Temporary Redirect", "", "Location: /again\r\n")}},
         {{Sized("200 OK", "posted")}}});
    Http http;
    Aim(http, server);
    CountingSource source({"MAIL FROM:<a@b>\r\n\r\n", text});
    http.SendRequest("/send", "POST", &source, "u", "p", 20, true, true, nullptr);
    EXPECT_EQ(http.GetPage(), "posted");
    EXPECT_GE(source.rewinds, 3);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const std::string& request : requests) {
        EXPECT_NE(request.find("\r\nContent-Length: " + std::to_string(text.size() + 19) + "\r\n"),
                  std::string::npos);
        EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), "MAIL FROM:<a@b>\r\n\r\n" + text);
    }
    EXPECT_NE(requests[1].find("qop=\"auth-int\""), std::string::npos);
}

TEST_F(HttpStream, ASourceThatEndsBeforeItsLengthFailsTheRequest) {
    struct Short : vxw::BodySource {
        uint64_t Size() const override { return 10; }
        void Rewind() override {}
        size_t Read(char* buffer, size_t size) override {
            if (given) return 0;
            given = true;
            std::fill(buffer, buffer + std::min<size_t>(size, 4), 'x');
            return std::min<size_t>(size, 4);
        }
        bool given = false;
    } source;
    ScriptedServer server({{{Sized("200 OK", "next")}}});
    Http http;
    Aim(http, server);
    EXPECT_EQ(ErrorText([&] {
                  http.SendRequest("/send", "POST", &source, nullptr, nullptr, 20, true, true,
                                   nullptr);
              }),
              "Http::SendRequest::Body - The request body ended before its length - 127.0.0.1");
    Get(http, "/");  // on a new connection: the server still waits for the body on the old one
    EXPECT_EQ(http.GetPage(), "next");
}

}  // namespace
