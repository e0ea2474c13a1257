#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/pop3/pop3_fixture.h"
#include "tests/support/line_client.h"
#include "tests/support/log_watch.h"

namespace {

using testing_support::LineClient;
using testing_support::LogWatch;
using testing_support::MemoryService;
using Operation = MemoryService::Operation;

const std::string kUnknown = "-ERR Don't understand that command\r\n";
const std::string kInvalid = "-ERR Invalid message number\r\n";
const std::string kSessionCatch = "PopServer::SessionWorker::catch::vx - ";

struct Exchange {
    std::string send;
    std::string expect;  // the exact answer, CR LF included
    bool multiLine = false;
};

class PopSessionTest : public testing_support::Pop3Fixture {
protected:
    void SetUp() override {
        Pop3Fixture::SetUp();
        service.AddAccount("alice", "open sesame");
        hrefs.push_back(service.AddMessage("alice", "inbox", "Subject: one\r\n\r\nfirst\r\n"));
        hrefs.push_back(service.AddMessage("alice", "junk", "Subject: two\r\n\r\nsecond body\r\n"));
        hrefs.push_back(service.AddMessage("alice", "inbox", "Subject: three\r\n\r\nthird\r\n", 500,
                                           "http://mail.example/" + std::string(100, 'u')));
        StartServer();
    }

    // Connects, reads the greeting and logs alice in.
    std::unique_ptr<LineClient> LoggedIn() {
        auto client = std::make_unique<LineClient>(Port());
        client->ReadLine();
        EXPECT_EQ(client->Command("USER alice"), "+OK Present\r\n");
        EXPECT_EQ(client->Command("PASS open sesame"), "+OK You may enter\r\n");
        return client;
    }

    void Play(LineClient& client, const std::vector<Exchange>& script) {
        for (const Exchange& step : script) {
            std::string answer =
                step.multiLine ? client.MultiLine(step.send) : client.Command(step.send);
            EXPECT_EQ(answer, step.expect) << "after " << step.send;
        }
    }

    std::vector<std::string> hrefs;
};

// "+OK Ready when you are " + UTC date and time digits + "." + count + "@mirelink".
// Returns the count, or -1 when the greeting has another form.
long GreetingCount(const std::string& greeting) {
    const std::string start = "+OK Ready when you are ", end = "@mirelink\r\n";
    if (greeting.rfind(start, 0) != 0 || greeting.size() < start.size() + end.size() ||
        greeting.compare(greeting.size() - end.size(), end.size(), end) != 0) {
        return -1;
    }
    std::string stamp = greeting.substr(start.size(), greeting.size() - start.size() - end.size());
    size_t dot = stamp.find('.');
    bool digits = stamp.find_first_not_of("0123456789.") == std::string::npos;
    if (!digits || dot < 9 || dot > 14 || dot + 1 >= stamp.size()) return -1;
    return std::stol(stamp.substr(dot + 1));
}

TEST_F(PopSessionTest, GreetingCarriesAUtcTimeStampAndACountingNumber) {
    LineClient first(Port());
    std::string a = first.ReadLine();
    LineClient second(Port());
    std::string b = second.ReadLine();
    ASSERT_GT(GreetingCount(a), 0) << a;
    EXPECT_EQ(GreetingCount(b), GreetingCount(a) + 1) << b;
}

TEST_F(PopSessionTest, AuthorizationAnswersAndKeepsCase) {
    LineClient client(Port());
    client.ReadLine();
    Play(client, {
                     {"CAPA", kUnknown},
                     {"STAT", kUnknown},
                     {"APOP alice 0123", "-ERR APOP not supported.\r\n"},
                     {"user Alice", "+OK Present\r\n"},
                     {"pass open sesame", "-ERR Invalid username or password specified\r\n"},
                     {"user alice", "+OK Present\r\n"},
                     {"PASS open  sesame", "-ERR Invalid username or password specified\r\n"},
                     {"pass open sesame", "+OK You may enter\r\n"},
                     {"USER alice", kUnknown},
                     {"PASS x", kUnknown},
                     {"APOP x", kUnknown},
                     {"QUIT", "+OK Bye bye...\r\n"},
                 });
    EXPECT_TRUE(client.ClosedByServer());
}

TEST_F(PopSessionTest, PasswordBlanksReachTheLoginUnchanged) {
    service.AddAccount("bob", " two  blanks ");
    LineClient client(Port());
    client.ReadLine();
    Play(client,
         {{"USER bob", "+OK Present\r\n"}, {"PASS  two  blanks ", "+OK You may enter\r\n"}});
}

TEST_F(PopSessionTest, TransactionListsMarksAndResets) {
    auto client = LoggedIn();
    const std::string uid3 = std::string(70, 'u');
    // Listed sizes include the folder header line (26 bytes for inbox, 25 for
    // junk); STAT adds up the sizes the service reported.
    Play(*client, {
                      {"STAT", "+OK 3 552\r\n"},
                      {"LIST", "+OK Messages:\r\n1 49\r\n2 54\r\n3 526\r\n.\r\n", true},
                      {"LIST 2", "+OK 2 54\r\n"},
                      {"list 0", kInvalid},
                      {"LIST 99", kInvalid},
                      {"LIST x", kInvalid},
                      {"UIDL",
                       "+OK Messages:\r\n1 " + hrefs[0] + "\r\n2 " + hrefs[1] + "\r\n3 " + uid3 +
                           "\r\n.\r\n",
                       true},
                      {"UIDL 3", "+OK 3 " + uid3 + "\r\n"},
                      {"DELE 2", "+OK Message marked for deletion\r\n"},
                      {"DELE 2", kInvalid},
                      {"RETR 2", kInvalid},
                      {"TOP 2 0", kInvalid},
                      {"RETR 0", kInvalid},
                      {"RETR 99", kInvalid},
                      {"LIST", "+OK Messages:\r\n1 49\r\n3 526\r\n.\r\n", true},
                      {"STAT", "+OK 2 523\r\n"},
                      {"RSET", "+OK\r\n"},
                      {"LIST 2", "+OK 2 54\r\n"},
                      {"NOOP", "+OK\r\n"},
                      {"CAPA", kUnknown},
                      {"\x01\xff\x80 1", kUnknown},
                      {"DELE 3", "+OK Message marked for deletion\r\n"},
                      {"DELE 1", "+OK Message marked for deletion\r\n"},
                  });
    EXPECT_TRUE(service.Trashed().empty()) << "nothing moves before QUIT";
    EXPECT_EQ(client->Command("QUIT"), "+OK Bye bye...\r\n");
    EXPECT_TRUE(client->ClosedByServer());
    EXPECT_EQ(service.Trashed(), (std::vector<std::string>{hrefs[0], hrefs[2]}));
}

TEST_F(PopSessionTest, RetrAndTopSendTheFolderLineAndStuffedText) {
    service.AddAccount("carol", "pw");
    const std::string text = ".starts\r\nSubject: dots\r\n\r\n.one\r\ntwo\r\n..three\r\n";
    service.AddMessage("carol", "inbox", text);
    service.AddMessage("carol", "junk", "Subject: short\r\n\r\n");
    service.AddMessage("carol", "inbox", "no blank line and no final CR LF");
    LineClient client(Port());
    client.ReadLine();
    client.Command("USER carol");
    client.Command("PASS pw");
    const std::string status = "+OK Message follows\r\n";
    const std::string inbox = "X-Mirelink-Folder: inbox\r\n";
    Play(client,
         {
             {"RETR 1",
              status + inbox +
                  "..starts\r\nSubject: dots\r\n\r\n..one\r\ntwo\r\n...three\r\n\r\n.\r\n",
              true},
             {"TOP 1 0", status + inbox + "..starts\r\nSubject: dots\r\n\r\n\r\n.\r\n", true},
             {"TOP 1 2",
              status + inbox + "..starts\r\nSubject: dots\r\n\r\n..one\r\ntwo\r\n\r\n.\r\n", true},
             {"TOP 1 5",
              status + inbox +
                  "..starts\r\nSubject: dots\r\n\r\n..one\r\ntwo\r\n...three\r\n\r\n.\r\n",
              true},
             {"TOP 2 1", status + "X-Mirelink-Folder: junk\r\nSubject: short\r\n\r\n\r\n.\r\n",
              true},
             {"RETR 3", status + inbox + "no blank line and no final CR LF\r\n.\r\n", true},
         });
}

// Misuse that ends the session: no reply, one log line, nothing moved.
TEST_F(PopSessionTest, MisuseEndsTheSessionWithoutAReply) {
    struct Case {
        bool login;
        std::string line;
        std::string logged;
    } cases[] = {
        {false, "USER", "PopSession::ProcessAuthUser::size - Not enough arguments"},
        {false, "PASS secret",
         "PopSession::ProcessAuthPass::username - No valid username specified yet"},
        {false, "", "PopSession::ReadCommand::aOutCommand - Empty command found -  - "},
        {true, "DELE",
         "PopSession::ProcessTransDele::aCommand::size - Not enough argument specified"},
        {true, "RETR",
         "PopSession::ProcessTransRetr::aCommand::size - Not enough argument specified"},
        {true, "TOP 1",
         "PopSession::ProcessTransRetr::aCommand::size - Not enough argument specified"},
        {true, "", "PopSession::ReadCommand::aOutCommand - Empty command found -  - NOOP\r\n"},
        {false, std::string(10001, 'x'),
         "SOCKETUTIL_READLINE_LINEEND: The line the maximum line length allowed - 10003"},
    };
    for (const Case& c : cases) {
        LogWatch log;
        std::unique_ptr<LineClient> client;
        if (c.login) {
            client = LoggedIn();
            client->Command("DELE 1");
        } else {
            client = std::make_unique<LineClient>(Port());
            client->ReadLine();
        }
        // A NOOP right behind the empty line shows the buffer in the text.
        client->Send(c.line + "\r\n" + (c.line.empty() && c.login ? "NOOP\r\n" : ""));
        EXPECT_TRUE(client->ClosedByServer()) << c.line;
        ASSERT_TRUE(log.WaitFor(kSessionCatch));
        // The one new line, after its time stamp "YYYY-MM-DD hh:mm:ss\t-\t".
        EXPECT_EQ(log.NewText().substr(22), kSessionCatch + c.logged + kLogLineEnd) << c.line;
    }
    EXPECT_TRUE(service.Trashed().empty());
}

TEST_F(PopSessionTest, CommandLimitsCloseSilentlyAndMoveNothing) {
    LogWatch log;
    LineClient guest(Port());
    guest.ReadLine();
    std::string tenUnknown;
    for (int i = 0; i < 10; ++i) tenUnknown += "CAPA\r\n";
    guest.Send(tenUnknown + "USER alice\r\n");
    for (int i = 0; i < 10; ++i) EXPECT_EQ(guest.ReadLine(), kUnknown);
    EXPECT_TRUE(guest.ClosedByServer());

    auto client = LoggedIn();
    std::string commands = "DELE 1\r\n";
    for (int i = 1; i < 10000; ++i) commands += "NOOP\r\n";
    client->Send(commands + "QUIT\r\n");
    EXPECT_EQ(client->ReadLine(), "+OK Message marked for deletion\r\n");
    for (int i = 1; i < 10000; ++i) ASSERT_EQ(client->ReadLine(), "+OK\r\n");
    EXPECT_TRUE(client->ClosedByServer());
    EXPECT_TRUE(service.Trashed().empty());
    EXPECT_EQ(log.NewText(), "");
}

TEST_F(PopSessionTest, QuitBeforeLoginDisconnectsWithoutUpdate) {
    LineClient client(Port());
    client.ReadLine();
    EXPECT_EQ(client.Command("USER alice"), "+OK Present\r\n");
    EXPECT_EQ(client.Command("QUIT"), "+OK So soon? Bye bye...\r\n");
    EXPECT_TRUE(client.ClosedByServer());
    EXPECT_GE(service.Disconnects(), 1);
}

TEST_F(PopSessionTest, ADroppedConnectionMovesNothing) {
    auto client = LoggedIn();
    client->Command("DELE 1");
    client->Close();
    for (int i = 0; i < 200 && ActivePopSessions.load() > 0; ++i) vxw::Sleep(10);
    EXPECT_EQ(ActivePopSessions.load(), 0);
    EXPECT_TRUE(service.Trashed().empty());
    EXPECT_EQ(service.Mailbox("alice").size(), 3u);
}

TEST_F(PopSessionTest, ServiceFailuresEndTheSessionAndKeepWhatWasNotMoved) {
    {
        LogWatch log;
        service.FailNext(Operation::Login, "Hotmail::Login - service down");
        LineClient client(Port());
        client.ReadLine();
        client.Command("USER alice");
        client.Send("PASS open sesame\r\n");
        EXPECT_TRUE(client.ClosedByServer());
        EXPECT_TRUE(log.WaitFor(kSessionCatch + "Hotmail::Login - service down"));
    }
    {
        LogWatch log;
        auto client = LoggedIn();
        client->Command("DELE 1");
        client->Command("DELE 2");
        client->Command("DELE 3");
        service.FailNext(Operation::SendMessageToTrash, "Hotmail::SendMessageToTrash - refused");
        client->Send("QUIT\r\n");
        EXPECT_TRUE(client->ClosedByServer());
        EXPECT_TRUE(log.WaitFor(kSessionCatch + "Hotmail::SendMessageToTrash - refused"));
        EXPECT_TRUE(service.Trashed().empty());
        EXPECT_EQ(service.Mailbox("alice").size(), 3u);
    }
    {
        // The status line is complete before the connection closes.
        LogWatch log;
        service.FailNext(Operation::GetMessage, "Hotmail::GetMessage - gone");
        auto client = LoggedIn();
        client->Send("RETR 1\r\n");
        EXPECT_EQ(client->ReadLine(), "+OK Message follows\r\n");
        EXPECT_TRUE(client->ClosedByServer());
        EXPECT_TRUE(log.WaitFor(kSessionCatch + "Hotmail::GetMessage - gone"));
    }
}

TEST_F(PopSessionTest, ExtraLoggingShowsTheConversationWithoutThePassword) {
    ChangeSettings([](Config::Values& v) { v.extraLogging = true; });
    LogWatch log;
    auto client = LoggedIn();
    client->MultiLine("RETR 1");
    client->Command("passport");
    client->Command("QUIT");
    EXPECT_TRUE(client->ClosedByServer());
    std::vector<std::string> lines = log.NewLines();
    std::vector<std::string> expected = {
        "PopSession::Client - USER alice",
        "PopSession::Server - +OK Present",
        "PopSession::Client - PASS ****",
        "PopSession::Server - +OK You may enter",
        "PopSession::Client - RETR 1",
        "PopSession::Server - +OK Message follows",
        "PopSession::Server - X-Mirelink-Folder: inbox\t\tSubject: one\t\t\t\tfirst\t\t",
        "PopSession::Server - .",
        "PopSession::Client - PASS ****",
        "PopSession::Server - -ERR Don't understand that command",
        "PopSession::Client - QUIT",
        "PopSession::Server - +OK Bye bye...",
    };
    ASSERT_GE(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("PopSession::Server - +OK Ready when you are ", 0), 0u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), expected);
}

}  // namespace
