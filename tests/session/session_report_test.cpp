// The end line of a session and how each ending reads in it.
#include "session/session_report.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using vxw::SessionReport;
using Ending = SessionReport::Ending;

TEST(SessionReport, DurationsReadAsAPersonWouldSayThem) {
    const struct {
        int64_t ms;
        const char* text;
    } cases[] = {
        {0, "0.0 s"},        {1249, "1.2 s"},     {9949, "9.9 s"},  {10000, "10 s"},
        {59999, "59 s"},     {60000, "1 min"},    {3599999, "59 min"}, {3600000, "1 h"},
        {7500000, "2 h 5 min"}, {7200000 + 59999, "2 h"},
    };
    for (const auto& c : cases) EXPECT_EQ(SessionReport::Duration(c.ms), c.text) << c.ms;
}

// The session's own word stands for an ordinary end; the client's leaving
// stays what it was unless the program stopped the session.
TEST(SessionReport, TheEndLineNamesHowTheSessionEnded) {
    const struct {
        void (*act)(SessionReport& report);
        const char* line;
    } cases[] = {
        {[](SessionReport&) {}, "POP3 alice - did things - "},
        {[](SessionReport& r) { r.EndAs("logged out"); }, "POP3 alice - did things - logged out after "},
        {[](SessionReport& r) { r.NoteEnding(Ending::Failed); },
         "POP3 alice - did things - ended on an error after "},
        {[](SessionReport& r) {
             r.FailAs("service not available");
             r.NoteEnding(Ending::Failed);
         },
         "POP3 alice - did things - service not available after "},
        {[](SessionReport& r) {
             r.NoteClient(Ending::ClientTimedOut);
             r.NoteEnding(Ending::Failed);
         },
         "POP3 alice - did things - timed out waiting for the client after "},
        {[](SessionReport& r) {
             r.NoteClient(Ending::ClientClosed);
             r.NoteEnding(Ending::ShutDown);
         },
         "POP3 alice - did things - closed by a shut-down after "},
        {[](SessionReport& r) {
             r.EndAs("autologout");
             r.NoteEnding(Ending::Failed);
         },
         "POP3 alice - did things - autologout after "},
    };
    for (const auto& c : cases) {
        SessionReport report("POP3");
        report.SetAccount("alice");
        report.SetActivity("did things");
        c.act(report);
        std::string line = report.EndLine();
        EXPECT_EQ(line.rfind(c.line, 0), 0u) << line;
        EXPECT_EQ(line.substr(line.size() - 2), " s") << line;
    }
}

// A client may name any account: the log shows it on one line, cut short.
TEST(SessionReport, AnAccountNameIsShownOnOneShortLine) {
    SessionReport report("SMTP");
    EXPECT_EQ(report.Context(), "SMTP");
    report.SetAccount("bob\r\nX: y");
    EXPECT_EQ(report.Context(), "SMTP bob  X: y");
    report.SetAccount(std::string(500, 'n'));
    EXPECT_EQ(report.Context(), "SMTP " + std::string(100, 'n') + "\xE2\x80\xA6");
}

}  // namespace
