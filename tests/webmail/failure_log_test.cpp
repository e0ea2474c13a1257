// The failure lines of the web mail client's operations.
#include "webmail/failure_log.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "settings/config.h"
#include "tests/support/log_watch.h"

namespace {

using Caught = FailureLog::Caught;

TEST(FailureLog, OneLinePerHandlerWithTheLastAnswerOnlyWithExtraLogging) {
    struct Case {
        Caught caught;
        bool extra;
        const char* line;
    } cases[] = {
        {Caught::HttpError, false, "Hotmail::GetMessage::catch::vx::HttpError - what"},
        {Caught::HttpError, true,
         "Hotmail::GetMessage::catch::vx::HttpError - what - HTTP/1.1 404 Not Found - gone"},
        {Caught::Vx, false, "Hotmail::GetMessage::catch::vx - what"},
        {Caught::Vx, true, "Hotmail::GetMessage::catch::vx - what - HTTP/1.1 404 Not Found - gone"},
        {Caught::Std, false, "Hotmail::GetMessage::catch::std - what"},
        {Caught::Std, true,
         "Hotmail::GetMessage::catch::std - what - HTTP/1.1 404 Not Found - gone"},
        {Caught::Other, false, "Hotmail::GetMessage::catch::all - Unexpected"},
        {Caught::Other, true,
         "Hotmail::GetMessage::catch::all - Unexpected - HTTP/1.1 404 Not Found - gone"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FailureLog::Text("Hotmail::GetMessage", c.caught, "what", c.extra,
                                   "HTTP/1.1 404 Not Found\r\n", "<p>gone"),
                  c.line);
    }
}

// Run logs what it caught, as it stands at that moment, and lets the very
// same exception go on.
TEST(FailureLog, RunLogsAndRethrowsUnchanged) {
    for (bool extra : {false, true}) {
        Config::Values values;
        values.extraLogging = extra;
        Config::Instance().SetValues(values);
        vx::Str headers = "HTTP/1.1 200 OK\r\n", body = "old";
        FailureLog log("Hotmail::AppendList", headers, body);
        testing_support::LogWatch watch;

        EXPECT_EQ(log.Run([] { return 7; }), 7);
        try {
            log.Run([&] {
                body = "new";
                throw vxw::HttpError("Http::SendRequest::Unauthorized - no", 401);
            });
            FAIL();
        } catch (const vxw::HttpError& e) {
            EXPECT_EQ(e.Code(), 401);
        }
        EXPECT_THROW(log.Run([] { throw std::runtime_error("bad"); }), std::runtime_error);
        EXPECT_THROW(log.Run([] { throw 5; }), int);

        vx::Str tail = extra ? " - HTTP/1.1 200 OK - new" : "";
        std::string logged = watch.NewText();
        for (vx::Str line : {"Hotmail::AppendList::catch::vx::HttpError - "
                             "Http::SendRequest::Unauthorized - no (401)" +
                                 tail + kLogLineEnd,
                             "Hotmail::AppendList::catch::std - bad" + tail + kLogLineEnd,
                             "Hotmail::AppendList::catch::all - Unexpected" + tail + kLogLineEnd})
            EXPECT_NE(logged.find("\t-\t" + line), std::string::npos) << line;
        EXPECT_EQ(watch.NewLines().size(), 3u);
    }
}

// A service's answer in a log line or an error text: its status line and at
// most 200 characters of its body's words, on one line.
TEST(FailureLog, AnAnswerShowsAsOneShortLine) {
    const std::string head = "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/html\r\n";
    const std::string words200 = std::string(195, 'w') + " tail";
    struct Case {
        std::string head, body, text;
    } cases[] = {
        {head, "", "HTTP/1.1 503 Service Unavailable"},
        {head, "<html>\r\n <body><h1>Busy</h1>\r\n\t<p>Try\r\n later</p></body></html>",
         "HTTP/1.1 503 Service Unavailable - Busy Try later"},
        {head, "plain < text > stays\r\n", "HTTP/1.1 503 Service Unavailable - plain < text > stays"},
        {head, words200, "HTTP/1.1 503 Service Unavailable - " + words200},
        {head, words200 + "!", "HTTP/1.1 503 Service Unavailable - " + words200 + "\xE2\x80\xA6"},
        // Cut before a character of several bytes, never inside it.
        {head, std::string(199, 'a') + "\xC3\xA9" "b",
         "HTTP/1.1 503 Service Unavailable - " + std::string(199, 'a') + "\xE2\x80\xA6"},
        {"", "\x01only\x7f words", "only words"},
    };
    for (const Case& c : cases) EXPECT_EQ(FailureLog::AnswerText(c.head, c.body), c.text) << c.body;
    std::string huge = "<p>" + std::string(10000, 'x') + "\n" + std::string(10000, 'y');
    EXPECT_LT(FailureLog::AnswerText(head, huge).size(), 250u);
}

}  // namespace
