// What a server cannot make the client do: wait without end for an answer
// that trickles in, or hold a body in memory without end.
#include <gtest/gtest.h>

#include "tests/http/error_text.h"
#include "tests/http/http_fixture.h"

namespace {

using namespace testing_support;
using vxw::Http;

class HttpLimits : public ::testing::Test, public HttpTest {};

std::vector<std::string> Repeated(const std::string& first, const std::string& piece, int count) {
    std::vector<std::string> pieces{first};
    pieces.insert(pieces.end(), count, piece);
    return pieces;
}

// A tight time-out, and servers that send something every 100 ms, so that no
// single wait ever runs out.
TEST_F(HttpLimits, AServerThatTricklesCannotHoldARequest) {
    const int32_t timeout = 500;
    struct Case {
        const char* name;
        ScriptedServer::Step step;
        std::string text;
    } cases[] = {
        {"head",
         {Repeated("HTTP/1.1 200 OK\r\n", "X: y\r\n", 60), After::Keep, 100},
         "Http::ReadResponseHeaders::Time - The response head took longer than 500 ms - "
         "127.0.0.1"},
        {"sized body",
         {Repeated("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n", "0123456789", 60),
          After::Keep, 100},
         "Http::ReadBody::Slow - The body moved less than 1024 bytes in 500 ms - 127.0.0.1"},
        {"endless chunked body",
         {Repeated("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "1\r\nx\r\n", 60),
          After::Keep, 100},
         "Http::ReadBody::Slow - The body moved less than 1024 bytes in 500 ms - 127.0.0.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server({c.step, {{Sized("200 OK", "next")}}});
        Http http;
        http.SetServer(server.Port(), false, "127.0.0.1", "", 0, "", "", timeout);
        EXPECT_EQ(ErrorText([&] { Get(http, "/"); }), c.text);
        Get(http, "/");  // on a new connection
        EXPECT_EQ(http.GetPage(), "next");
    }
}

// A body that keeps moving may take far longer than the time-out; a pause
// without a byte fails as a single wait always did.
TEST_F(HttpLimits, ABodyThatMovesMayTakeLongerThanTheTimeOut) {
    const std::string piece(4096, 'x');
    ScriptedServer server({{Repeated("HTTP/1.1 200 OK\r\nContent-Length: " +
                                         std::to_string(8 * piece.size()) + "\r\n\r\n",
                                     piece, 8),
                            After::Keep, 150},
                           {{"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"}}});
    Http http;
    http.SetServer(server.Port(), false, "127.0.0.1", "", 0, "", "", 1000);
    Get(http, "/");
    EXPECT_EQ(http.GetPage().size(), 8 * piece.size());
    EXPECT_NE(ErrorText([&] { Get(http, "/"); })
                  .find("vxw::Socket::Receive::WaitUntilReadable - There was an error receiving "
                        "data through the socket"),
              std::string::npos);
}

// A body held whole in memory (a listing, a login answer) must arrive within
// four time-outs in all, however steadily it moves; one that goes to a sink
// (a message on its way to the mail client) may take as long as it moves.
TEST_F(HttpLimits, AnAnswerHeldWholeHasADeadline) {
    const int32_t timeout = 500;
    const std::string piece(2048, 'x');
    const Step trickle{Repeated("HTTP/1.1 200 OK\r\nContent-Length: " +
                                    std::to_string(30 * piece.size()) + "\r\n\r\n",
                                piece, 30),
                       After::Keep, 100};
    {
        ScriptedServer server({trickle, {{Sized("200 OK", "next")}}});
        Http http;
        http.SetServer(server.Port(), false, "127.0.0.1", "", 0, "", "", timeout);
        EXPECT_EQ(ErrorText([&] { Get(http, "/"); }),
                  "Http::ReadBody::Time - The answer took longer than 2000 ms - 127.0.0.1");
        Get(http, "/");  // on a new connection
        EXPECT_EQ(http.GetPage(), "next");
    }
    ScriptedServer server({trickle});
    Http http;
    http.SetServer(server.Port(), false, "127.0.0.1", "", 0, "", "", timeout);
    Collector sink;
    http.SendRequest("/", "GET", nullptr, nullptr, nullptr, 20, true, true,
                     [&](const Http&) { return &sink; });
    EXPECT_EQ(sink.body.size(), 30 * piece.size());
}

// A body kept in memory has a ceiling; one that goes to a sink has none.
TEST_F(HttpLimits, ABodyInMemoryFailsPastItsCeiling) {
    const size_t ceiling = Http::kMaxBodyInMemory;
    std::string endless = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::string chunk = "100000\r\n" + std::string(0x100000, 'x') + "\r\n";
    for (size_t sent = 0; sent <= ceiling; sent += 0x100000) endless += chunk;
    ScriptedServer server({{{endless}}, {{Sized("200 OK", "next")}}});
    Http http;
    Aim(http, server);
    EXPECT_EQ(ErrorText([&] { Get(http, "/"); }),
              "Http::ReadBody::Size - The body exceeds 67108864 bytes - 127.0.0.1");
    Get(http, "/");
    EXPECT_EQ(http.GetPage(), "next");
}

}  // namespace
