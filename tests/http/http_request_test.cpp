// What Http writes and how it reads each kind of response, against scripted
// servers on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "core/file_util.h"
#include "tests/http/error_text.h"
#include "tests/http/http_fixture.h"
#include "tests/support/random.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testing_support;
using vxw::Http;

class HttpRequest : public ::testing::Test, public HttpTest {};

TEST_F(HttpRequest, HeadersGoInStricmpOrderAndContentLengthFollowsTheBody) {
    ScriptedServer server(
        {{{Sized("200 OK", "", "Set-Cookie: b=2\r\nSet-Cookie: A=1; path=/\r\n")}},
         {{Sized("200 OK", "one")}},
         {{Sized("200 OK", "two")}},
         {{Sized("200 OK", "three")}}});
    Http http;
    Aim(http, server);
    Get(http, "/first");
    http.SetHeader("User-agent", "Mirelink");  // replaces the value, keeps the first spelling
    http.SetHeader("Authorization", "Basic eDp5");
    http.SendRequest("/post", "POST", "body", 4, nullptr, nullptr, 20, true, true, "");
    EXPECT_EQ(http.GetPage(), "one");
    http.SendRequest("/empty", "POST", "", 0, nullptr, nullptr, 20, true, true, "");
    http.RemoveHeader("Authorization");
    Get(http, "/last");
    EXPECT_EQ(http.GetPage(), "three");

    std::string host = Local(server);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0], PlainGet("/first", host));
    EXPECT_EQ(requests[1],
              "POST /post HTTP/1.1\r\nAuthorization: Basic eDp5\r\nConnection: Keep-Alive\r\n"
              "Content-Length: 4\r\nCookie: A=1; b=2\r\nHost: " +
                  host + "\r\nUser-Agent: Mirelink\r\n\r\nbody");
    EXPECT_NE(requests[2].find("\r\nContent-Length: 0\r\n"), std::string::npos) << requests[2];
    EXPECT_EQ(requests[3],
              "GET /last HTTP/1.1\r\nConnection: Keep-Alive\r\nCookie: A=1; b=2\r\nHost: " + host +
                  "\r\nUser-Agent: Mirelink\r\n\r\n");
    EXPECT_EQ(server.Connections(), 1);
}

struct BodyCase {
    const char* name;
    std::vector<std::string> reply;
    After after;
    std::string method;
    int32_t status;
    std::string body;
    bool keepsConnection;
};

std::vector<BodyCase> BodyCases() {
    const std::string text = "The quick brown fox jumps over the lazy dog, again and again.";
    std::string chunkedWithExtension =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n"
        "4;name=value\r\nWiki\r\n5\r\npedia\r\n0\r\n\r\n";
    std::string trailer =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\nX-Sum: 1\r\n\r\n";
    std::string large(2621441, '\0');  // spans three in-memory pieces
    for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 31 % 251);
    return {
        {"large chunked", {Chunked(large, 300001)}, After::Keep, "GET", 200, large, true},
        {"large sized", Cut(Sized("200 OK", large), {10, 1000, 1048600}), After::Keep, "GET", 200,
         large, true},
        {"sized in pieces", Cut(Sized("200 OK", text), {5, 20, 40, 70}), After::Keep, "GET", 200,
         text, true},
        {"chunked", Cut(Chunked(text, 7), {30, 55, 56, 57, 100}), After::Keep, "GET", 200, text,
         true},
        {"chunk extension", {chunkedWithExtension}, After::Keep, "GET", 200, "Wikipedia", true},
        {"final CR LF apart", Cut(Chunked("abcd", 4), {56}), After::Keep, "GET", 200, "abcd", true},
        {"trailer", {trailer}, After::Keep, "GET", 200, "abc", true},
        {"chunk sizes as %x reads them",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n 3\r\nabc\r\n0x2\r\nde\r\n"
          "\t0X1;x\r\nf\r\n0\r\n\r\n"},
         After::Keep,
         "GET",
         200,
         "abcdef",
         true},
        // The body is complete with its last chunk; waiting for the rest of
        // the trailer must not fail it, only cost the connection.
        {"last chunk without the end of its trailer",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n"},
         After::Keep,
         "GET",
         200,
         "abc",
         false},
        // RFC 9112 6.3: a Transfer-Encoding overrides a Content-Length (a
        // proxy may pass both on); such a connection is not trusted further.
        {"chunked with a length",
         {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n"
          "3\r\nabc\r\n4\r\ndefg\r\n0\r\n\r\n"},
         After::Keep,
         "GET",
         200,
         "abcdefg",
         false},
        {"chunked with a length after it",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 100\r\n\r\n"
          "3\r\nabc\r\n0\r\n\r\n"},
         After::Keep,
         "GET",
         200,
         "abc",
         false},
        {"chunked as the last coding",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: x-zip , Chunked \r\n\r\n3\r\nabc\r\n0\r\n\r\n"},
         After::Keep,
         "GET",
         200,
         "abc",
         true},
        {"a coding without chunked ends with the close",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: x-zip\r\nContent-Length: 2\r\n\r\n", text},
         After::Close,
         "GET",
         200,
         text,
         false},
        {"until close", {"HTTP/1.0 200 OK\r\n\r\n", text}, After::Close, "GET", 200, text, false},
        {"1.1 until close",
         {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + text},
         After::Close,
         "GET",
         200,
         text,
         false},
        {"100 continue",
         {"HTTP/1.1 100 Continue\r\n\r\n", Sized("200 OK", "done")},
         After::Keep,
         "POST",
         200,
         "done",
         true},
        {"head",
         {"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n"},
         After::Keep,
         "HEAD",
         200,
         "",
         true},
        {"no content", {"HTTP/1.1 204 No Content\r\n\r\n"}, After::Keep, "GET", 204, "", true},
        {"short body",
         {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"},
         After::Close,
         "GET",
         200,
         "abc",
         false},
        {"head cut short",
         {"HTTP/1.1 200 OK\r\nServer: x"},
         After::Close,
         "GET",
         -1,
         "HTTP/1.1 200 OK\r\nServer: x",
         false},
        {"negative length",
         {"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabc"},
         After::Keep,
         "GET",
         200,
         "abc",
         false},
        {"absurd length",
         {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nabc"},
         After::Close,
         "GET",
         200,
         "abc",
         false},
    };
}

// Each kind of body, into memory, into a file and into a sink; a second
// request shows whether the connection was kept and that nothing of the
// first was left over.
TEST_F(HttpRequest, EachKindOfBodyIsReadWholeIntoMemoryAFileAndASink) {
    TempDir dir;
    enum class Into { Memory, File, Sink };
    for (const auto& c : BodyCases()) {
        for (Into into : {Into::Memory, Into::File, Into::Sink}) {
            SCOPED_TRACE(std::string(c.name) + (into == Into::File   ? " (file)"
                                                : into == Into::Sink ? " (sink)"
                                                                     : " (memory)"));
            ScriptedServer server({{c.reply, c.after}, {{Sized("200 OK", "next")}}});
            Http http;
            Aim(http, server);
            std::string file = into == Into::File ? dir.File("body") : "";
            const char* body = c.method == "POST" ? "x" : nullptr;
            Collector sink;
            if (into == Into::Sink) {
                vxw::PartsSource source({"x"});
                http.SendRequest("/", c.method, body ? &source : nullptr, nullptr, nullptr, 20,
                                 true, true, [&](const Http&) { return &sink; });
                EXPECT_EQ(sink.body, c.body);
                EXPECT_LE(sink.largest, 100000u);  // as it arrives, not gathered
                EXPECT_EQ(http.GetPage(), "");
                EXPECT_EQ(http.GetBodyBytes(), static_cast<int64_t>(c.body.size()));
            } else {
                http.SendRequest("/", c.method, body, body ? 1 : 0, nullptr, nullptr, 20, true,
                                 true, file);
                EXPECT_EQ(http.GetPage(), c.body);
                std::string page = "old";
                http.GetPage(page);
                EXPECT_EQ(page, c.body);
                std::string taken = "old";
                http.TakePage(taken);
                EXPECT_EQ(taken, c.body);
                EXPECT_EQ(http.GetPage(), into == Into::File ? c.body : "");
            }
            EXPECT_EQ(http.GetStatusCode(), c.status);
            Get(http, "/again");
            EXPECT_EQ(http.GetPage(), "next");
            EXPECT_EQ(server.Connections(), c.keepsConnection ? 1 : 2);
        }
    }
}

TEST_F(HttpRequest, ChunkedBodyReCutAtRandomPointsReadsTheSame) {
    std::string body;
    for (int i = 0; i < 300; ++i) body += static_cast<char>('a' + i % 26);
    std::string reply = Chunked(body, 37);
    std::mt19937 random(7);
    for (int round = 0; round < 4; ++round) {
        std::vector<size_t> cuts;
        for (int i = 0; i < 6; ++i) cuts.push_back(testing_support::RandomBelow(reply.size()));
        std::sort(cuts.begin(), cuts.end());
        ScriptedServer server({{Cut(reply, cuts)}, {{Sized("200 OK", "next")}}});
        Http http;
        Aim(http, server);
        Get(http, "/");
        EXPECT_EQ(http.GetPage(), body);
        Get(http, "/");
        EXPECT_EQ(http.GetPage(), "next");
    }
}

TEST_F(HttpRequest, ConnectionIsKeptOnlyWhereTheServerAllowsIt) {
    struct Case {
        const char* head;
        bool kept;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\n", true},
        {"HTTP/1.1 200 OK\r\nConnection: Keep-Alive\r\n", true},
        {"HTTP/1.1 200 OK\r\nConnection: close\r\n", false},
        {"HTTP/1.1 200 OK\r\nConnection: TE\r\n", false},
        {"HTTP/1.0 200 OK\r\n", false},
        {"HTTP/1.0 200 OK\r\nconnection: keep-alive\r\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.head);
        ScriptedServer server(
            {{{std::string(c.head) + "Content-Length: 0\r\n\r\n"}}, {{Sized("200 OK", "")}}});
        Http http;
        Aim(http, server);
        Get(http, "/");
        Get(http, "/");
        EXPECT_EQ(server.Connections(), c.kept ? 1 : 2);
    }
}

TEST_F(HttpRequest, OnlyOneInterimResponseIsSkipped) {
    ScriptedServer server(
        {{{"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\n\r\n", Sized("200 OK", "x")}}});
    Http http;
    Aim(http, server);
    Get(http, "/");
    EXPECT_EQ(http.GetStatusCode(), 100);
    EXPECT_EQ(http.GetReasonPhrase(), "Continue");
    EXPECT_EQ(http.GetHttpVersion(), 1.1);
    EXPECT_EQ(http.GetResponseHeaders(), "HTTP/1.1 100 Continue\r\n");
}

TEST_F(HttpRequest, SetServerReconnectsOnlyWhenSomethingChanged) {
    ScriptedServer server(
        {{{Sized("200 OK", "")}}, {{Sized("200 OK", "")}}, {{Sized("200 OK", "")}}});
    Http http;
    Aim(http, server);
    Get(http, "/");
    http.SetServer(server.Port(), false, "127.0.0.1", "", 0, "", "", kTimeout);
    Get(http, "/");
    EXPECT_EQ(server.Connections(), 1);
    http.SetServer(server.Port(), false, "127.0.0.1", "", 0, "", "", kTimeout + 1);
    Get(http, "/");
    EXPECT_EQ(server.Connections(), 2);
}

TEST_F(HttpRequest, AKeptConnectionTheServerDroppedIsReplaced) {
    // The first reply allows keep-alive but the server closes anyway; the
    // second connection is dropped without an answer after the request.
    ScriptedServer server({{{Sized("200 OK", "a")}, After::Close},
                           {{Sized("200 OK", "b")}},
                           {{}, After::Close},
                           {{Sized("200 OK", "c")}}});
    Http http;
    Aim(http, server);
    Get(http, "/a");
    Get(http, "/b");
    EXPECT_EQ(http.GetPage(), "b");
    Get(http, "/c");
    EXPECT_EQ(http.GetPage(), "c");
    EXPECT_EQ(server.Connections(), 3);
    EXPECT_EQ(server.Requests().back(), PlainGet("/c", Local(server)));
}

// A server that read a request and then closed without an answer may have
// acted on it: only a request that is safe to repeat goes out again. A POST
// or MOVE still gets a new connection when the kept one is found closed
// before any byte of it was written.
TEST_F(HttpRequest, ARequestThatMayHaveReachedTheServerGoesOutAgainOnlyWhenIdempotent) {
    struct Case {
        const char* method;
        bool repeated;
    } cases[] = {{"GET", true}, {"PROPFIND", true}, {"POST", false}, {"MOVE", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        auto send = [&c](Http& http) {
            http.SendRequest("/b", c.method, "body", 4, nullptr, nullptr, 20, true, true, "");
        };
        {
            ScriptedServer server(
                {{{Sized("200 OK", "a")}}, {{}, After::Close}, {{Sized("200 OK", "b")}}});
            Http http;
            Aim(http, server);
            Get(http, "/a");
            if (c.repeated) {
                send(http);
                EXPECT_EQ(http.GetPage(), "b");
            } else {
                // No answer: a closed connection before the head, or a reset.
                ErrorText([&] {
                    send(http);
                    EXPECT_EQ(http.GetStatusCode(), -1);
                });
            }
            auto requests = server.Requests();
            EXPECT_EQ(requests.size(), c.repeated ? 3u : 2u);
            EXPECT_EQ(requests[1].substr(0, requests[1].find(' ')), c.method);
        }
        // Closed by the server while idle: found before the request goes out.
        ScriptedServer server({{{Sized("200 OK", "a")}, After::Close}, {{Sized("200 OK", "b")}}});
        Http http;
        Aim(http, server);
        Get(http, "/a");
        server.WaitUntilClosed(1);
        send(http);
        EXPECT_EQ(http.GetPage(), "b");
        EXPECT_EQ(server.Requests().size(), 2u);
    }
}

TEST_F(HttpRequest, BrokenChunksAndHeadsFailWithTheirTexts) {
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    struct Case {
        std::string reply;
        std::string text;
    } cases[] = {
        {chunked + "a\r\n12345",
         "Http::ReadChunk::ChunkSize - Expected a larger chunk than we found - 127.0.0.1 10 5"},
        {chunked + "4\r\nabcd",
         "Http::ReadChunk::ChunkSize - Expected a larger chunk than we found - 127.0.0.1 4 4"},
        {chunked + "FFFFFFFFFFFFFFFFFFFFFFFF\r\nab",
         "Http::ReadChunk::ChunkSize - Expected a larger chunk than we found - 127.0.0.1 "
         "18446744073709551615 2"},
        {chunked + "80000000\r\n",
         "Http::ReadChunk::ChunkSize - Expected a larger chunk than we found - 127.0.0.1 "
         "2147483648 0"},
        {chunked + "4",
         "Http::ReadChunk::LengthDel - Couldn't find chunk length delimiter - 127.0.0.1"},
        // Taken as 0, these would end the body at once and look complete.
        {chunked + "zz\r\n" + std::string(65, 'z') + "\r\n0\r\n\r\n",
         "Http::ReadChunk::Size - The chunk size cannot be read - 127.0.0.1"},
        {chunked + "\r\nabc\r\n0\r\n\r\n",
         "Http::ReadChunk::Size - The chunk size cannot be read - 127.0.0.1"},
        {chunked + "3\r\nabc\r\n-1\r\nx\r\n0\r\n\r\n",
         "Http::ReadChunk::Size - The chunk size cannot be read - 127.0.0.1"},
        {chunked + std::string(70000, '1'),
         "Http::ReadChunk::LengthDel - Couldn't find chunk length delimiter - "
         "127.0.0.1"},
        {"HTTP/1.1 200 OK\r\nX: " + std::string(1100000, 'x'),
         "Http::ReadResponseHeaders::Size - The response head exceeds 1048576 bytes - 127.0.0.1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ScriptedServer server({{{c.reply}, After::Close}, {{Sized("200 OK", "next")}}});
        Http http;
        Aim(http, server);
        EXPECT_EQ(ErrorText([&] { Get(http, "/"); }), c.text);
        Get(http, "/");  // still usable
        EXPECT_EQ(http.GetPage(), "next");
    }
}

// Waits (at most 10 s) until file holds a byte, then puts a folder in its
// place: appending to it fails from then on. The writer may still hold the
// file open for a moment, which on Windows keeps it from being removed.
void MakeUnwritableOnceWritten(const std::string& file) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::error_code error;
    while (std::chrono::steady_clock::now() < until) {
        uintmax_t size = std::filesystem::file_size(file, error);
        if (!error && size > 0 && std::filesystem::remove(file, error)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::filesystem::create_directory(file, error);
}

TEST_F(HttpRequest, FileErrorsNameTheFile) {
    TempDir dir;
    const std::string missing = dir.File("no/such/folder");
    struct Case {
        std::vector<std::string> reply;
        std::string text;
    } cases[] = {
        {{Sized("200 OK", "abc")},
         "Http::ReadBody::AppendToFile(1) - Error appending to file - 3 - " + missing},
        {{"HTTP/1.0 200 OK\r\n\r\nab"},
         "Http::ReadBody::AppendToFile(3) - Error appending to file - 2 - " + missing},
        {{Chunked("abcd", 4)},
         "Http::ReadChunk::AppendToFile - Error appending to file - 4 - " + missing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ScriptedServer server({{c.reply, After::Close}});
        Http http;
        Aim(http, server);
        EXPECT_EQ(ErrorText([&] { Get(http, "/", missing); }), c.text);
    }
    {
        // Bytes of a later receive than the head's: they go out only once the
        // byte that came with the head is in the file, whatever the timing.
        const std::string later = dir.File("later");
        ScriptedServer::Step step{{"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\na", "bc"},
                                  After::Close};
        step.beforeRest = [&later] { MakeUnwritableOnceWritten(later); };
        ScriptedServer server({step});
        Http http;
        Aim(http, server);
        EXPECT_EQ(ErrorText([&] { Get(http, "/", later); }),
                  "Http::ReadBody::AppendToFile(2) - Error appending to file - 2 - " + later);
    }

    ScriptedServer server({{{Sized("200 OK", "abc")}}});
    Http http;
    Aim(http, server);
    Get(http, "/", dir.File("body"));
    ASSERT_EQ(std::remove(dir.File("body").c_str()), 0);
    std::string page;
    EXPECT_EQ(ErrorText([&] { http.GetPage(page); }),
              "Http::GetPage(1)::LoadFile - Error loading file - " + dir.File("body"));
    EXPECT_EQ(ErrorText([&] { http.GetPage(); }),
              "Http::GetPage(2)::LoadFile - Error loading file - " + dir.File("body"));
}

TEST_F(HttpRequest, AnOutputFileIsReplacedAndReissuedRequestsStayInMemory) {
    TempDir dir;
    ASSERT_TRUE(SaveToFile(dir.File("body"), "stale content that must go"));
    ScriptedServer server({{{Sized("200 OK", "fresh")}},
                           {{Sized("302 Found", "", "Location: /moved\r\n")}},
                           {{Sized("200 OK", "moved")}}});
    Http http;
    Aim(http, server);
    Get(http, "/", dir.File("body"));
    EXPECT_EQ(http.GetPage(), "fresh");
    Get(http, "/", dir.File("body"));
    EXPECT_EQ(http.GetPage(), "moved");
    std::string onDisk;
    EXPECT_FALSE(
        LoadFile(dir.File("body"), onDisk));  // deleted, and the redirected body went to memory
}

}  // namespace
