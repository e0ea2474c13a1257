#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
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

// Misuse that ends the session: the client hears why, the log has the error
// and the session's end, and nothing moves.
TEST_F(PopSessionTest, MisuseEndsTheSessionWithAReply) {
    const std::string noArguments = "-ERR Not enough arguments\r\n";
    const std::string noUser = "-ERR No valid username specified yet\r\n";
    const std::string empty = "-ERR Empty command line\r\n";
    struct Case {
        bool login;
        std::string context;  // what names the session in the log
        std::string lines;
        std::string logged;
        std::string answers;  // everything the lines get before the connection closes
    } cases[] = {
        {false, "POP3", "USER\r\n", "PopSession::ProcessAuthUser::size - Not enough arguments",
         noArguments},
        {false, "POP3", "PASS secret\r\n",
         "PopSession::ProcessAuthPass::username - No valid username specified yet", noUser},
        // An empty argument names no one; it also forgets an earlier name.
        {false, "POP3", "USER alice\r\nUSER \r\nPASS open sesame\r\n",
         "PopSession::ProcessAuthPass::username - No valid username specified yet",
         "+OK Present\r\n+OK Present\r\n" + noUser},
        // What follows the empty line (a password) stays out of the text.
        {false, "POP3 alice", "USER alice\r\n\r\nPASS secret\r\n",
         "PopSession::ReadCommand::aOutCommand - Empty command found -  - ",
         "+OK Present\r\n" + empty},
        {true, "POP3 alice", "DELE\r\n",
         "PopSession::ProcessTransDele::aCommand::size - Not enough argument specified",
         noArguments},
        {true, "POP3 alice", "RETR\r\n",
         "PopSession::ProcessTransRetr::aCommand::size - Not enough argument specified",
         noArguments},
        {true, "POP3 alice", "TOP 1\r\n",
         "PopSession::ProcessTransRetr::aCommand::size - Not enough argument specified",
         noArguments},
        {true, "POP3 alice", "\r\nNOOP\r\n", "PopSession::ReadCommand::aOutCommand - Empty command found -  - ",
         empty},
        {false, "POP3", std::string(10001, 'x') + "\r\n",
         "SOCKETUTIL_READLINE_LINEEND: The line the maximum line length allowed - 10003",
         "-ERR Line too long\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.substr(0, 40));
        LogWatch log;
        std::unique_ptr<LineClient> client;
        if (c.login) {
            client = LoggedIn();
            client->Command("DELE 1");
        } else {
            client = std::make_unique<LineClient>(Port());
            client->ReadLine();
        }
        client->Send(c.lines);
        std::string answers;
        try {
            for (;;) answers += client->ReadLine();
        } catch (const vxw::SocketError&) {
        }
        ASSERT_TRUE(log.WaitFor(" - ended on an error after "));
        EXPECT_EQ(answers, c.answers);
        // The error, named by protocol and account, and the end line.
        std::vector<std::string> lines = log.NewLines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], c.context + " - " + kSessionCatch + c.logged);
        EXPECT_EQ(lines[1].rfind(c.context + " - ", 0), 0u) << lines[1];
    }
    EXPECT_TRUE(service.Trashed().empty());
}

// Past a command limit the session ends, moves nothing, and says why.
TEST_F(PopSessionTest, CommandLimitsEndTheSessionWithAReplyAndMoveNothing) {
    LogWatch log;
    LineClient guest(Port());
    guest.ReadLine();
    std::string tenUnknown;
    for (int i = 0; i < 10; ++i) tenUnknown += "CAPA\r\n";
    guest.Send(tenUnknown + "USER alice\r\n");
    for (int i = 0; i < 10; ++i) EXPECT_EQ(guest.ReadLine(), kUnknown);
    EXPECT_EQ(guest.ReadLine(), "-ERR Too many commands\r\n");
    EXPECT_TRUE(guest.ClosedByServer());

    // 10,000 commands and 4 for each of the 3 messages.
    auto client = LoggedIn();
    std::string commands = "DELE 1\r\n";
    for (int i = 1; i < 10012; ++i) commands += "NOOP\r\n";
    client->Send(commands + "QUIT\r\n");
    EXPECT_EQ(client->ReadLine(), "+OK Message marked for deletion\r\n");
    for (int i = 1; i < 10012; ++i) ASSERT_EQ(client->ReadLine(), "+OK\r\n");
    EXPECT_EQ(client->ReadLine(), "-ERR Too many commands\r\n");
    EXPECT_TRUE(client->ClosedByServer());
    EXPECT_TRUE(service.Trashed().empty());
    // No error: each session's end line says how it ended.
    for (int i = 0; i < 500 && log.NewLines().size() < 2; ++i) vxw::Sleep(10);
    for (const std::string& line : log.NewLines())
        EXPECT_NE(line.find(" - too many commands after "), std::string::npos) << line;
    EXPECT_EQ(log.NewLines().size(), 2u);
}

// A client that fetches and deletes every message of a large mailbox, one
// command each, gets to QUIT: the limit grows with the mailbox.
TEST_F(PopSessionTest, EveryMessageOfALargeMailboxCanBeFetchedAndDeleted) {
    const int count = 5001;
    service.AddAccount("dave", "pw");
    for (int i = 0; i < count; ++i) service.AddMessage("dave", "inbox", "Subject: m\r\n\r\nx\r\n");
    LineClient client(Port(), 60000);
    client.ReadLine();
    client.Command("USER dave");
    ASSERT_EQ(client.Command("PASS pw"), "+OK You may enter\r\n");
    for (int i = 1; i <= count; ++i) {
        const std::string number = std::to_string(i);
        ASSERT_EQ(client.MultiLine("RETR " + number).rfind("+OK Message follows\r\n", 0), 0u)
            << i;
        ASSERT_EQ(client.Command("DELE " + number), "+OK Message marked for deletion\r\n") << i;
    }
    EXPECT_EQ(client.Command("QUIT"), "+OK Bye bye...\r\n");
    EXPECT_EQ(service.Trashed().size(), static_cast<size_t>(count));
}

// A name with a bare LF is no line of its own: it reaches the web mail
// client's login whole, which judges it.
TEST_F(PopSessionTest, AUserNameWithABareLineFeedReachesTheLoginWhole) {
    service.AddAccount("carol\nX-Injected:", "pw");
    LineClient client(Port());
    client.ReadLine();
    Play(client, {{"USER carol\nX-Injected: pop3", "+OK Present\r\n"},
                  {"PASS pw", "+OK You may enter\r\n"}});
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

// A service that fails (unreachable, a 5xx, a listing it cannot give) is a
// temporary failure the client is told about before the session closes; only
// its refusal of the credentials reads as a wrong password.
TEST_F(PopSessionTest, ServiceFailuresAreTemporaryAndKeepWhatWasNotMoved) {
    const std::string unavailable =
        "-ERR [SYS/TEMP] The web mail service is unavailable - try again later\r\n";
    struct Case {
        Operation failing;
        std::string error;
        std::string reply;
    } atLogin[] = {
        {Operation::Login, "Hotmail::Login - service down", unavailable},
        {Operation::GetMessageList, "Hotmail::AppendList - 500", unavailable},
    };
    for (const Case& c : atLogin) {
        SCOPED_TRACE(c.error);
        LogWatch log;
        service.FailNext(c.failing, c.error);
        LineClient client(Port());
        client.ReadLine();
        client.Command("USER alice");
        EXPECT_EQ(client.Command("PASS open sesame"), c.reply);
        EXPECT_TRUE(client.ClosedByServer());
        EXPECT_TRUE(log.WaitFor("POP3 alice - " + kSessionCatch + c.error));
        EXPECT_TRUE(log.WaitFor("POP3 alice - no login - service not available after "));
    }
    {
        // Two of three moved: the client hears -ERR and takes none as gone.
        LogWatch log;
        auto client = LoggedIn();
        client->Command("DELE 1");
        client->Command("DELE 2");
        client->Command("DELE 3");
        service.FailNext(Operation::SendMessageToTrash, "Hotmail::SendMessageToTrash - refused");
        EXPECT_EQ(client->Command("QUIT"),
                  "-ERR [SYS/TEMP] Not every deleted message could be removed - try again "
                  "later\r\n");
        EXPECT_TRUE(client->ClosedByServer());
        EXPECT_TRUE(log.WaitFor(kSessionCatch + "Hotmail::SendMessageToTrash - refused"));
        EXPECT_TRUE(service.Trashed().empty());
        EXPECT_EQ(service.Mailbox("alice").size(), 3u);
    }
    {
        // Before a byte of the status line went out, the client hears -ERR.
        LogWatch log;
        service.FailNext(Operation::GetMessage, "Hotmail::GetMessage - gone");
        // A session keeps the settings it started with.
        ChangeSettings([](Config::Values& v) { v.operaCompat = false; });
        auto client = LoggedIn();
        EXPECT_EQ(client->Command("RETR 1"), unavailable);
        EXPECT_TRUE(client->ClosedByServer());
        EXPECT_TRUE(log.WaitFor(kSessionCatch + "Hotmail::GetMessage - gone"));
    }
    {
        // Once the status line went out, the answer stays cut: no client
        // takes it for a whole message.
        LogWatch log;
        ChangeSettings([](Config::Values& v) { v.operaCompat = true; });
        service.FailNext(Operation::GetMessage, "Hotmail::GetMessage - gone");
        auto client = LoggedIn();
        client->Send("RETR 1\r\n");
        EXPECT_EQ(client->ReadToClose(), "+OK Message follows\r\n");
        EXPECT_TRUE(log.WaitFor(kSessionCatch + "Hotmail::GetMessage - gone"));
    }
}

// One line when a session ends: protocol, account, what it did, how it
// ended; and never a word of the password.
TEST_F(PopSessionTest, EachSessionEndsWithOneLogLine) {
    LogWatch log;
    {
        auto client = LoggedIn();
        client->MultiLine("RETR 2");
        client->MultiLine("TOP 1 0");
        client->Command("DELE 3");
        client->Command("QUIT");
        EXPECT_TRUE(client->ClosedByServer());
    }
    {
        LineClient refused(Port());
        refused.ReadLine();
        refused.Command("USER alice");
        refused.Command("PASS wrong secret");
        refused.Close();
    }
    ASSERT_TRUE(log.WaitFor("closed by the client after "));
    std::vector<std::string> lines = log.NewLines();
    ASSERT_EQ(lines.size(), 2u) << log.NewText();
    EXPECT_EQ(lines[0].rfind("POP3 alice - 3 messages, 1 retrieved, 1 deleted - ", 0), 0u)
        << lines[0];
    EXPECT_EQ(lines[0].back(), 's');
    EXPECT_EQ(lines[1].rfind("POP3 alice - login refused - closed by the client after ", 0), 0u)
        << lines[1];
    EXPECT_EQ(log.NewText().find("secret"), std::string::npos);
}

// Blanks around the command word, or a bare LF that puts a second command in
// the line, never let a secret into the log.
TEST_F(PopSessionTest, ExtraLoggingMasksSecretsWhateverTheBlanks) {
    ChangeSettings([](Config::Values& v) { v.extraLogging = true; });
    const struct {
        std::string line;
        std::string logged;
    } cases[] = {
        {" PASS secret", "PASS ****"},
        {"\tpass secret", "PASS ****"},
        {"USER alice\nPASS secret", "USER alice\tPASS ****"},
        {"AUTH PLAIN c2VjcmV0", "AUTH PLAIN ****"},
        {" auth\tc2VjcmV0", "AUTH ****"},
    };
    LogWatch log;
    LineClient client(Port());
    client.ReadLine();
    for (const auto& c : cases) client.Command(c.line);
    client.Command("QUIT");
    std::vector<std::string> logged;
    for (const std::string& line : log.NewLines()) {
        if (line.rfind("PopSession::Client - ", 0) == 0) logged.push_back(line.substr(21));
    }
    ASSERT_EQ(logged.size(), std::size(cases) + 1);
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(logged[i], cases[i].logged);
    EXPECT_EQ(log.NewText().find("c2VjcmV0"), std::string::npos);
    EXPECT_EQ(log.NewText().find("secret"), std::string::npos);
}

// Before a login, a line that is no command the session knows with the
// arguments it takes may be a password sent astray, and after an AUTH every
// line of its exchange may be one: each shows as "****", whether the password
// was right or not. Commands still show.
TEST_F(PopSessionTest, ExtraLoggingMasksPasswordsSentAstray) {
    ChangeSettings([](Config::Values& v) { v.extraLogging = true; });
    for (const char* password : {"open sesame", "wrong guess"}) {
        SCOPED_TRACE(password);
        const std::string secret = password;
        const std::string base64 = "AGFsaWNlAG9wZW4gc2VzYW1l";
        const struct {
            std::string line;
            std::string logged;
        } cases[] = {
            {"CAPA", "CAPA"},
            {"USER alice", "USER alice"},
            {secret, "****"},                     // the password alone after USER
            {"USER alice " + secret, "****"},     // name and password on one line
            {"AUTH PLAIN", "AUTH PLAIN"},
            {base64, "****"},                     // its continuation
            {"*", "****"},
            {"USER alice", "USER alice"},
            {"PASS " + secret, "PASS ****"},
        };
        LogWatch log;
        LineClient client(Port());
        client.ReadLine();
        for (const auto& c : cases) client.Command(c.line);
        client.Command("QUIT");
        std::vector<std::string> logged;
        for (const std::string& line : log.NewLines()) {
            if (line.rfind("PopSession::Client - ", 0) == 0) logged.push_back(line.substr(21));
        }
        ASSERT_EQ(logged.size(), std::size(cases) + 1);
        for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(logged[i], cases[i].logged) << i;
        EXPECT_EQ(log.NewText().find("sesame"), std::string::npos);
        EXPECT_EQ(log.NewText().find("guess"), std::string::npos);
        EXPECT_EQ(log.NewText().find(base64), std::string::npos);
    }
}

// A large message is logged by its start and its size, not whole.
TEST_F(PopSessionTest, ExtraLoggingKeepsTheStartOfALargeMessage) {
    ChangeSettings([](Config::Values& v) { v.extraLogging = true; });
    const std::string text = "Subject: big\r\n\r\n" + std::string(300000, 'b') + "\r\n";
    const std::string folderLine = "X-Mirelink-Folder: inbox\r\n";
    service.AddMessage("alice", "inbox", text);
    LogWatch log;
    auto client = LoggedIn();
    EXPECT_EQ(client->MultiLine("RETR 4"),
              "+OK Message follows\r\n" + folderLine + text + "\r\n.\r\n");
    client->Command("QUIT");
    std::vector<std::string> lines = log.NewLines();
    auto shown = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.rfind("PopSession::Server - X-Mirelink-Folder: inbox", 0) == 0;
    });
    ASSERT_NE(shown, lines.end());
    EXPECT_EQ(shown->size(), std::string("PopSession::Server - ").size() + 4096);
    // The whole size: the folder line, the text and the CR LF put after it.
    const size_t sent = folderLine.size() + text.size() + 2;
    EXPECT_EQ(*(shown + 1), "PopSession::Server - \xE2\x80\xA6 (" + std::to_string(sent) + " bytes)");
    EXPECT_EQ(*(shown + 2), "PopSession::Server - .");
    EXPECT_LT(log.NewText().size(), 10000u);
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
    // Then the session's end line, which may come a moment later.
    ASSERT_TRUE(log.WaitFor("POP3 alice - 3 messages, 1 retrieved, 0 deleted - "));
    lines = log.NewLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("PopSession::Server - +OK Ready when you are ", 0), 0u);
    EXPECT_EQ(lines.back().rfind("POP3 alice - ", 0), 0u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end() - 1), expected);
}

}  // namespace
