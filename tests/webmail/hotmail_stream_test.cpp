// Messages on their way through Hotmail without being held whole: a download
// reaches its sink as it arrives, a submission is read from its source.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/webmail/hotmail_fixture.h"
#include "webmail/message_stream.h"

namespace {

using namespace testing_support;

class HotmailStream : public HotmailExchange {};

std::string Message(size_t size) {
    std::string text = "From: a@example.com\r\nSubject: big\r\n\r\n";
    while (text.size() < size) text += "line " + std::to_string(text.size()) + "\r\n";
    return text;
}

// The sink learns that the answer is the message (Begin) before its first
// byte, and only then: a refresh page never reaches it. A page of markup may be a refresh page, so
// it comes whole at its end.
TEST_F(HotmailStream, OnlyTheMessageReachesTheSinkPieceByPieceAsItArrives) {
    const std::string message = Message(300000);
    const std::string markup = "<html><body>a mail that is only markup</body></html>";
    struct Case {
        const char* name;
        std::vector<ScriptedServer::Step> answers;
        std::string text;
        bool inPieces;
    } cases[] = {
        {"sized", {{Cut(Sized("200 OK", message), {1000, 150000})}}, message, true},
        {"chunked", {{{Chunked(message, 1000)}}}, message, true},
        {"until close", {{{"HTTP/1.0 200 OK\r\n\r\n", message}, After::Close}}, message, true},
        {"empty", {{{Sized("200 OK", "")}}}, "", false},
        {"no content", {{{"HTTP/1.1 204 No Content\r\n\r\n"}}}, "", false},
        {"blank lines first", {{{Sized("200 OK", "\r\n\r\nbody")}}}, "\r\n\r\nbody", false},
        {"markup", {{Cut(Sized("200 OK", markup), {50})}}, markup, false},
        {"refresh page, then the message",
         {{{RefreshPage("http://h/inbox/real")}}, {{Chunked(message, 70000)}}},
         message,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ScriptedServer::Step> steps{{{LoginAnswer()}}};
        steps.insert(steps.end(), c.answers.begin(), c.answers.end());
        ScriptedServer server(steps);
        Hotmail hotmail;
        LogIn(hotmail, server);
        RecordingSink sink;
        hotmail.GetMessage("http://h/inbox/1", sink);
        ASSERT_TRUE(sink.Began());
        EXPECT_EQ(std::count(sink.events.begin(), sink.events.end(), "<begin>"), 1);
        EXPECT_EQ(sink.text, c.text);
        if (c.inPieces) {
            EXPECT_GT(sink.events.size(), 2u);
        } else {
            EXPECT_LE(sink.events.size(), 2u);
        }
    }
}

// TOP has its lines long before the end of a large message: the rest is not
// waited for (the service here sends only the start), no error follows, and
// the next request gets its own answer.
TEST_F(HotmailStream, ASinkThatHasEnoughEndsTheDownload) {
    const std::string message = Message(2000000);
    ScriptedServer server({{{LoginAnswer()}},
                           {{Sized("200 OK", message).substr(0, 5000)}},
                           {{Chunked(message, 4096).substr(0, 10000)}},
                           {{Sized("200 OK", "From: next\r\n\r\nsmall")}}});
    Hotmail hotmail;
    LogIn(hotmail, server);
    for (int i = 0; i < 2; ++i) {
        RecordingSink top(100);
        hotmail.GetMessage("http://h/inbox/1", top);
        EXPECT_LT(top.text.size(), 200000u);
        EXPECT_EQ(message.compare(0, top.text.size(), top.text), 0);
    }
    EXPECT_EQ(hotmail.GetMessage("http://h/inbox/2"), "From: next\r\n\r\nsmall");
}

// Markup is held to judge whether it is a refresh page, but not without end.
TEST_F(HotmailStream, HeldMarkupHasACeiling) {
    std::string endless = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n6\r\n<html>\r\n";
    const std::string chunk = "100000\r\n" + std::string(0x100000, ' ') + "\r\n";
    for (size_t sent = 0; sent <= MessageStream::kMaxHeld; sent += 0x100000) endless += chunk;
    ScriptedServer server({{{LoginAnswer()}}, {{endless}}});
    Hotmail hotmail;
    LogIn(hotmail, server);
    RecordingSink sink;
    try {
        hotmail.GetMessage("http://h/inbox/1", sink);
        FAIL();
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Message(),
                  "Hotmail::GetMessage::Size - The answer exceeds 67108864 bytes - "
                  "http://h/inbox/1");
    }
    EXPECT_FALSE(sink.Began());
}

// The envelope goes in front of the text as it is read; after a challenge
// the whole body goes out again from the start.
TEST_F(HotmailStream, ASubmissionIsPostedFromItsSource) {
    const std::string message = Message(700000);
    ScriptedServer server({{{LoginAnswer()}},
                           {{Sized("401 Unauthorized", "", kBasicChallenge)}},
                           {{Sized("200 OK", "sent")}}});
    Hotmail hotmail;
    LogIn(hotmail, server);
    const std::string_view whole = message;
    vxw::PartsSource text({whole.substr(0, 1000), whole.substr(1000)});
    hotmail.SendMail("a@example.com", {"b@example.com"}, text);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    const std::string body =
        "MAIL FROM:<a@example.com>\r\nRCPT TO:<b@example.com>\r\n\r\n" + message;
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(HeaderOf(requests[i], "Content-Length"), std::to_string(body.size()));
        EXPECT_EQ(BodyOf(requests[i]), body);
    }
}

}  // namespace
