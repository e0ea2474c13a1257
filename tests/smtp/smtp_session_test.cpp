#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "session/spool_file.h"
#include "tests/smtp/smtp_fixture.h"
#include "tests/support/log_watch.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::LineClient;
using testing_support::LogWatch;
using testing_support::MemoryService;
using Operation = MemoryService::Operation;

const std::string kOk = "250 OK\r\n";
const std::string kNotYet = "500 Not yet authenticated\r\n";
const std::string kWrongStage = "500 Invalid command for this stage\r\n";
const std::string kNotFound = "500 Address argument not found\r\n";
const std::string kIncomplete = "500 Address argument not complete\r\n";
const std::string kAccepted = "235 Authentication successful\r\n";
const std::string kRefused = "501 Authentication failed\r\n";
const std::string kGoOn = "354 Start mail input; end with <CRLF>.<CRLF>\r\n";
const std::string kBye = "221 That's all she wrote\r\n";
const std::string kEhlo = "250-127.0.0.1\r\n250-AUTH PLAIN LOGIN\r\n250 SIZE 50000000\r\n";
const std::string kTooMany = "500 Too many commands\r\n";
const std::string kSessionCatch = "SmtpServer::SmtpWorker::catch::vx - ";

struct Exchange {
    std::string send;    // sent with CR LF added
    std::string expect;  // the exact answer, one or more lines
};

class SmtpSessionTest : public testing_support::SmtpFixture {
protected:
    void Play(LineClient& client, const std::vector<Exchange>& script) {
        for (const Exchange& step : script) {
            client.Send(step.send + "\r\n");
            std::string answer;
            for (size_t at = step.expect.find("\r\n"); at != std::string::npos;
                 at = step.expect.find("\r\n", at + 2)) {
                answer += client.ReadLine();
            }
            EXPECT_EQ(answer, step.expect) << "after " << step.send;
        }
    }

    // A whole good submission from a fresh connection: proves the service
    // still serves.
    void ExpectServed() {
        auto client = Connect(true);
        Play(*client, {{"MAIL FROM:<a@b.example>", kOk},
                       {"RCPT TO:<c@d.example>", kOk},
                       {"DATA", kGoOn},
                       {"hello\r\n.", kOk},
                       {"QUIT", kBye}});
    }
};

TEST_F(SmtpSessionTest, AConversationRelaysEachMessageAsSent) {
    auto client = Connect(false);
    Play(*client, {
                      {"EHLO client.example", kEhlo},
                      {std::string("AUTH PLAIN ") + kPlainAlice, kAccepted},
                      {"mail from: <Alice@Example.com> SIZE=120 BODY=8BITMIME", kOk},
                      {"RCPT TO:<bob@example.com>", kOk},
                      {"rcpt to: <bob@example.com> NOTIFY=NEVER", kOk},
                      {"DATA", kGoOn},
                  });
    // Transparency dots go; every other byte stays, blanks and empty lines too.
    client->Send("Subject: dots\r\n\r\n..two dots\r\n.one dot\r\n\r\n. \r\n \r\nlast\r\n");
    EXPECT_TRUE(service.Sent().empty()) << "nothing goes before the final dot";
    Play(*client, {
                      {".", kOk},
                      {"DATA", kWrongStage},
                      {"MAIL FROM:<second@example.com>", kOk},
                      {"RCPT TO:<carol@example.com>", kOk},
                      {"DATA", kGoOn},
                      {"x\r\n.", kOk},
                      {"QUIT", kBye},
                  });
    EXPECT_TRUE(client->ClosedByServer());
    WaitForNoSessions();
    auto sent = service.Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].user, "alice");
    EXPECT_EQ(sent[0].sender, "Alice@Example.com");
    EXPECT_EQ(sent[0].recipients, (std::vector<std::string>{"bob@example.com", "bob@example.com"}));
    EXPECT_EQ(sent[0].text, "Subject: dots\r\n\r\n.two dots\r\none dot\r\n\r\n \r\n \r\nlast\r\n");
    EXPECT_EQ(sent[1].sender, "second@example.com");
    EXPECT_EQ(sent[1].recipients, std::vector<std::string>{"carol@example.com"});
    EXPECT_EQ(sent[1].text, "x\r\n");
    EXPECT_GE(service.Disconnects(), 1);
}

TEST_F(SmtpSessionTest, ProtocolEdgeCasesAreAnsweredAndTheSessionGoesOn) {
    struct Case {
        const char* name;
        bool logIn;
        std::vector<Exchange> script;
        bool noLoginAttempt = false;  // a Login call would end the session
    } cases[] = {
        {"before AUTH",
         false,
         {{"MAIL FROM:<a@b.example>", kNotYet},
          {"RCPT TO:<a@b.example>", kNotYet},
          {"DATA", kNotYet},
          {"VRFY alice", kNotYet},
          {"", kNotYet},
          {"HELO client.example", "250 127.0.0.1\r\n"},
          {"noop", kOk},
          {"RSET", kOk}}},
        {"after AUTH",
         true,
         {{"EHLO client.example", kWrongStage},
          {"HELO client.example", kWrongStage},
          {std::string("AUTH PLAIN ") + kPlainAlice, kWrongStage},
          {"RCPT TO:<c@d.example>", kWrongStage},
          {"DATA", kWrongStage},
          {"VRFY alice", "550 No local users\r\n"},
          {"NOOP", kOk}}},
        {"addresses",
         true,
         {{"MAIL FROM:<>", kIncomplete},
          {"MAIL FROM:<a>", kIncomplete},
          {"MAIL FROM:a@b.example", kNotFound},
          {"MAIL", kNotFound},
          {"MAIL FROM:<a@b.example> SIZE=10", kOk},
          {"MAIL FROM:<x@y.example>", kWrongStage},
          {"DATA", "500 Invalid command order\r\n"},
          {"RCPT TO:<>", kIncomplete},
          {"RCPT c@d.example", kNotFound},
          {"VRFY alice", "550 No local users\r\n"},
          {"RSET", kOk},
          {"RCPT TO:<c@d.example>", kWrongStage}}},
        {"mechanisms",
         false,
         {{"AUTH CRAM-MD5", "504 Unrecognized authentication type.\r\n"},
          {"AUTH", "504 Unrecognized authentication type.\r\n"},
          // "alice\0open sesame": one NUL, so no login is tried.
          {"AUTH PLAIN YWxpY2UAb3BlbiBzZXNhbWU=", kRefused},
          {"AUTH PLAIN", "334 \r\n"},
          {"YWxpY2U=", kRefused}},
         true},
        {"PLAIN continuation with an authorisation identity",
         false,
         {{"auth plain", "334 \r\n"}, {"Ym9zcwBhbGljZQBvcGVuIHNlc2FtZQ==", kAccepted}}},
        {"LOGIN",
         false,
         {{"AUTH LOGIN", "334 VXNlcm5hbWU6\r\n"},
          {"YWxpY2U=", "334 UGFzc3dvcmQ6\r\n"},
          {"b3BlbiBzZXNhbWU=", kAccepted}}},
        {"LOGIN with the user name at once",
         false,
         {{"AUTH LOGIN YWxpY2U=", "334 UGFzc3dvcmQ6\r\n"}, {"b3BlbiBzZXNhbWU=", kAccepted}}},
        {"refused login",
         false,
         {{"AUTH PLAIN AGFsaWNlAHdyb25n", kRefused},
          {"MAIL FROM:<a@b.example>", kNotYet},
          {std::string("AUTH PLAIN ") + kPlainAlice, kAccepted}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto client = Connect(c.logIn);
        if (c.noLoginAttempt) service.FailNext(Operation::Login, "login attempted", 100);
        Play(*client, c.script);
        service.FailNext(Operation::Login, "", 0);
        EXPECT_EQ(client->Command("quit"), kBye);
        EXPECT_TRUE(client->ClosedByServer());
    }
    EXPECT_TRUE(service.Sent().empty());
}

// Each stage reads at most 1000 commands per run; a MAIL starts a new run of
// the transaction stage and counts toward the authenticated stage's run.
TEST_F(SmtpSessionTest, EachStageRunEndsAfterAThousandCommands) {
    auto repeat = [](const std::string& line, int times) {
        std::string lines;
        for (int i = 0; i < times; ++i) lines += line + "\r\n";
        return lines;
    };
    {
        auto client = Connect(false);
        client->Send(repeat("NOOP", 1001));
        for (int i = 0; i < 1000; ++i) ASSERT_EQ(client->ReadLine(), kOk) << i;
        EXPECT_EQ(client->ReadLine(), kTooMany);
        EXPECT_TRUE(client->ClosedByServer());
    }
    // Two transactions of 1000 commands each (the MAIL not counted), then
    // the authenticated stage's run, which counted both MAILs, ends.
    auto client = Connect(true);
    std::string transaction = "MAIL FROM:<a@b.example>\r\n" + repeat("NOOP", 999) + "RSET\r\n";
    client->Send(transaction + transaction + repeat("NOOP", 999));
    for (int i = 0; i < 2 * 1001 + 998; ++i) ASSERT_EQ(client->ReadLine(), kOk) << i;
    EXPECT_EQ(client->ReadLine(), kTooMany) << "the last NOOP is the authenticated stage's 1001st";
    EXPECT_TRUE(client->ClosedByServer());
}

// An over-long line ends the session, in a command as in the message text,
// but the client hears why first, so it does not send the same again for ever.
TEST_F(SmtpSessionTest, AnOverlongLineIsAnsweredBeforeTheSessionEnds) {
    const std::string overlong = std::string(10001, 'x') + "\r\n";
    struct Case {
        const char* name;
        bool authenticated;
        std::vector<Exchange> script;
    } cases[] = {
        {"before AUTH", false, {}},
        {"in the message text",
         true,
         {{"MAIL FROM:<a@b.example>", kOk}, {"RCPT TO:<c@d.example>", kOk}, {"DATA", kGoOn}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto client = Connect(c.authenticated);
        Play(*client, c.script);
        client->Send(overlong + ".\r\n");
        EXPECT_EQ(client->ReadLine(), "500 Line too long\r\n");
        EXPECT_TRUE(client->ClosedByServer());
    }
    EXPECT_TRUE(service.Sent().empty());
}

// Recipients past the hundredth are refused one by one and count apart from
// the stage's commands, so the message still goes out to the first hundred.
TEST_F(SmtpSessionTest, RecipientsBeyondAHundredAreRefusedAndTheMessageStillGoes) {
    auto client = Connect(true);
    std::string rcpts;
    for (int i = 0; i < 1000; ++i) rcpts += "RCPT TO:<r" + std::to_string(i) + "@example.com>\r\n";
    client->Send("MAIL FROM:<a@b.example>\r\n" + rcpts + "DATA\r\n");
    EXPECT_EQ(client->ReadLine(), kOk);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(client->ReadLine(), kOk) << i;
    for (int i = 100; i < 1000; ++i) ASSERT_EQ(client->ReadLine(), "452 Too many recipients\r\n") << i;
    EXPECT_EQ(client->ReadLine(), kGoOn);
    Play(*client, {{"hello\r\n.", kOk}, {"QUIT", kBye}});
    ASSERT_EQ(service.Sent().size(), 1u);
    ASSERT_EQ(service.Sent()[0].recipients.size(), 100u);
    EXPECT_EQ(service.Sent()[0].recipients[99], "r99@example.com");
}

TEST_F(SmtpSessionTest, ExtraLoggingNeverShowsCredentials) {
    ChangeSettings([](Config::Values& v) { v.extraLogging = true; });
    LogWatch log;
    auto client = Connect(false);
    Play(*client, {
                      {"EHLO me", kEhlo},
                      {"AUTH CRAM-MD5 c2VjcmV0", "504 Unrecognized authentication type.\r\n"},
                      {"AUTH c2VjcmV0", "504 Unrecognized authentication type.\r\n"},
                      {"AUTH\tPLAIN AGFsaWNlAHdyb25n", kNotYet},
                      {" AUTH PLAIN AGFsaWNlAHdyb25n", kNotYet},
                      {"auth plain AGFsaWNlAHdyb25n", kRefused},
                      {"AUTH LOGIN YWxpY2U=", "334 UGFzc3dvcmQ6\r\n"},
                      {"d3Jvbmc=", kRefused},
                      {"AUTH PLAIN", "334 \r\n"},
                      {kPlainAlice, kAccepted},
                      {"QUIT", kBye},
                  });
    EXPECT_TRUE(client->ClosedByServer());
    WaitForNoSessions();
    const std::string c = "SmtpSession::Client - ", s = "SmtpSession::Server - ";
    std::vector<std::string> lines = log.NewLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("SMTP alice - 0 messages sent, 0 recipients - ", 0), 0u);
    lines.pop_back();
    EXPECT_EQ(lines, (std::vector<std::string>{
                                  s + "220 127.0.0.1 SMTP ready to roll",
                                  c + "EHLO me",
                                  s + "250-127.0.0.1",
                                  s + "250-AUTH PLAIN LOGIN",
                                  s + "250 SIZE 50000000",
                                  c + "AUTH CRAM-MD5 ****",
                                  s + "504 Unrecognized authentication type.",
                                  c + "AUTH ****",
                                  s + "504 Unrecognized authentication type.",
                                  c + "AUTH PLAIN ****",
                                  s + "500 Not yet authenticated",
                                  c + "AUTH PLAIN ****",
                                  s + "500 Not yet authenticated",
                                  c + "AUTH PLAIN ****",
                                  s + "501 Authentication failed",
                                  c + "AUTH LOGIN ****",
                                  s + "334 UGFzc3dvcmQ6",
                                  c + "****",
                                  s + "501 Authentication failed",
                                  c + "AUTH PLAIN",
                                  s + "334 ",
                                  c + "****",
                                  s + "235 Authentication successful",
                                  c + "QUIT",
                                  s + "221 That's all she wrote",
                              }));
}

// Before AUTH, a line that is no command with the arguments it takes may be
// a password sent astray; after an AUTH, each line of its exchange may be
// one. Whether the password was right or wrong, none reaches the log.
TEST_F(SmtpSessionTest, ExtraLoggingMasksCredentialsSentAstray) {
    ChangeSettings([](Config::Values& v) { v.extraLogging = true; });
    for (const std::string& plain : {std::string(kPlainAlice), std::string("AGFsaWNlAHdyb25n")}) {
        SCOPED_TRACE(plain);
        const struct {
            std::string line;
            std::string logged;
        } cases[] = {
            {"HELO me", "HELO me"},
            {"AUTH=" + plain, "AUTH=****"},
            {plain, "****"},
            {"AUTH PLAIN", "AUTH PLAIN"},
            {"", "****"},      // an empty answer to the challenge
            {plain, "****"},   // the credentials after all, as a command
            {"NOOP", "NOOP"},
        };
        LogWatch log;
        auto client = Connect(false);
        for (const auto& c : cases) client->Command(c.line);
        client->Command("QUIT");
        std::vector<std::string> logged;
        for (const std::string& line : log.NewLines()) {
            if (line.rfind("SmtpSession::Client - ", 0) == 0) logged.push_back(line.substr(22));
        }
        ASSERT_EQ(logged.size(), std::size(cases) + 1) << log.NewText();
        for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(logged[i], cases[i].logged) << i;
        EXPECT_EQ(log.NewText().find(plain), std::string::npos);
    }
}

// A message's text is logged by its first 4 KB and its size.
TEST_F(SmtpSessionTest, ExtraLoggingKeepsTheStartOfALargeMessage) {
    ChangeSettings([](Config::Values& v) { v.extraLogging = true; });
    const std::string line = std::string(98, 'x') + "\r\n";
    std::string text;
    for (int i = 0; i < 3000; ++i) text += line;
    LogWatch log;
    auto client = Connect(true);
    Play(*client, {{"MAIL FROM:<a@b.example>", kOk}, {"RCPT TO:<c@d.example>", kOk},
                   {"DATA", kGoOn}, {text + ".", kOk}, {"QUIT", kBye}});
    std::vector<std::string> shown;
    for (const std::string& logged : log.NewLines()) {
        if (logged == "SmtpSession::Client - " + line.substr(0, 98)) shown.push_back(logged);
    }
    EXPECT_EQ(shown.size(), 4096u / 100);
    EXPECT_TRUE(log.WaitFor("SmtpSession::Client - \xE2\x80\xA6 (300000 bytes)"));
    EXPECT_TRUE(log.WaitFor("SmtpSession::Client - QUIT"));
    EXPECT_LT(log.NewText().size(), 20000u);
}

// The client keeps a message the service did not take: no 250 ever comes,
// and a failed submission is answered before the connection closes.
TEST_F(SmtpSessionTest, ServiceFailuresEndTheSessionAndNeverAcknowledge) {
    const std::vector<Exchange> toData = {{std::string("AUTH PLAIN ") + kPlainAlice, kAccepted},
                                          {"MAIL FROM:<a@b.example>", kOk},
                                          {"RCPT TO:<c@d.example>", kOk},
                                          {"DATA", kGoOn}};
    struct Case {
        const char* name;
        Operation failing;
        int status;  // of the service's refusal, 0 for a failure to reach it
        std::vector<Exchange> script;
        std::string last;   // sent last
        std::string reply;  // the answer to it before the connection closes
    } cases[] = {
        {"refused submission", Operation::SendMail, 550, toData,
         "Subject: kept\r\n\r\nbody\r\n.\r\n",
         "554 Transaction failed: the service refused the message\r\n"},
        {"unreachable service", Operation::SendMail, 0, toData,
         "Subject: kept\r\n\r\nbody\r\n.\r\n",
         "451 Requested action aborted: the service could not be reached\r\n"},
        // Not a wrong password: the client must keep it (RFC 4954 454).
        {"login error", Operation::Login, 0, {}, std::string("AUTH PLAIN ") + kPlainAlice + "\r\n",
         "454 4.7.0 Temporary authentication failure\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        service.FailNext(c.failing, "Hotmail::Failure - service said no", 1, c.status);
        LogWatch log;
        {
            auto client = Connect(false);
            Play(*client, c.script);
            client->Send(c.last);
            if (!c.reply.empty()) {
                EXPECT_EQ(client->ReadLine(), c.reply);
            }
            EXPECT_TRUE(client->ClosedByServer());
        }
        ASSERT_TRUE(log.WaitFor(" after "));
        std::vector<std::string> lines = log.NewLines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], "SMTP alice - " + kSessionCatch + "Hotmail::Failure - service said no");
        EXPECT_EQ(lines[1].rfind("SMTP alice - ", 0), 0u);
        EXPECT_TRUE(service.Sent().empty());
    }
    ExpectServed();
    EXPECT_EQ(service.Sent().size(), 1u);
}

// Lines of 1000 bytes: a message of exactly 50,000,000 bytes is taken; one
// line more is read to its end, refused with 552, and ends the session.
TEST_F(SmtpSessionTest, MessageTextIsLimitedToFiftyMillionBytes) {
    const std::string line = std::string(998, 'x') + "\r\n";
    for (size_t lines : {50000u, 50001u}) {
        SCOPED_TRACE(lines);
        std::string body;
        body.reserve(lines * line.size() + 3);
        for (size_t i = 0; i < lines; ++i) body += line;
        body += ".\r\n";
        LogWatch log;
        auto client = Connect(true);
        Play(*client,
             {{"MAIL FROM:<a@b.example>", kOk}, {"RCPT TO:<c@d.example>", kOk}, {"DATA", kGoOn}});
        client->Send(body);
        if (lines == 50000u) {
            EXPECT_EQ(client->ReadLine(), kOk);
            ASSERT_EQ(service.Sent().size(), 1u);
            EXPECT_EQ(service.Sent()[0].text.size(), 50000000u);
        } else {
            EXPECT_EQ(client->ReadLine(),
                      "552 Message size exceeds fixed maximum message size\r\n");
            EXPECT_TRUE(client->ClosedByServer());
            ASSERT_TRUE(log.WaitFor(" - ended on an error after "));
            EXPECT_EQ(log.NewLines().front(),
                      "SMTP alice - " + kSessionCatch +
                          "SmtpSession::ProcessCommandData::GetLength - Message size exceeded "
                          "limit - 50001000");
            EXPECT_EQ(service.Sent().size(), 1u);
        }
    }
}

// A client that declares its message's size (RFC 1870) learns at MAIL that
// it is too large, and may go on.
TEST_F(SmtpSessionTest, AMailThatDeclaresTooLargeASizeIsRefusedAtOnce) {
    auto client = Connect(true);
    Play(*client, {{"MAIL FROM:<a@b.example> SIZE=50000001",
                    "552 Message size exceeds fixed maximum message size\r\n"},
                   {"MAIL FROM:<a@b.example> BODY=8BITMIME size=99999999999999999999999",
                    "552 Message size exceeds fixed maximum message size\r\n"},
                   {"RCPT TO:<c@d.example>", kWrongStage},
                   {"MAIL FROM:<a@b.example> SIZE=50000000", kOk},
                   {"QUIT", kBye}});
}

// A spool that cannot take the message (no folder for its file) is a local
// failure: the client hears so once it has sent the whole text.
TEST_F(SmtpSessionTest, AMessageTheSpoolCannotTakeIsAnswered451) {
    const std::string folder = vxw::SpoolFolder();
    testing_support::RemoveTree(folder);
    std::ofstream(folder.substr(0, folder.size() - 1)) << "a file where the folder should be";
    auto client = Connect(true);
    Play(*client,
         {{"MAIL FROM:<a@b.example>", kOk}, {"RCPT TO:<c@d.example>", kOk}, {"DATA", kGoOn}});
    std::string text;
    for (int i = 0; i < 2000; ++i) text += std::string(998, 'x') + "\r\n";
    client->Send(text);
    EXPECT_EQ(client->Command("."), "451 Requested action aborted: local error in processing\r\n");
    EXPECT_TRUE(client->ClosedByServer());
    testing_support::RemoveTree(folder.substr(0, folder.size() - 1));
    EXPECT_TRUE(service.Sent().empty());
}

}  // namespace
