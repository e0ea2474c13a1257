#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "net/socket_system.h"
#include "tests/pop3/pop3_fixture.h"
#include "tests/support/counting_window.h"
#include "tests/support/line_client.h"
#include "tests/support/log_watch.h"
#include "tests/support/test_socket.h"

namespace {

using testing_support::CountingWindow;
using testing_support::LineClient;
using testing_support::LogWatch;
using Clock = std::chrono::steady_clock;

class PopServerTest : public testing_support::Pop3Fixture {
protected:
    void SetUp() override {
        Pop3Fixture::SetUp();
        service.AddAccount("alice", "pw");
        service.AddMessage("alice", "inbox", "Subject: hi\r\n\r\nhello\r\n");
    }

    // A full good session: proves the listener still serves.
    void ExpectServed() {
        LineClient client(Port());
        EXPECT_EQ(client.ReadLine().rfind("+OK Ready when you are ", 0), 0u);
        EXPECT_EQ(client.Command("USER alice"), "+OK Present\r\n");
        EXPECT_EQ(client.Command("PASS pw"), "+OK You may enter\r\n");
        EXPECT_EQ(client.Command("QUIT"), "+OK Bye bye...\r\n");
    }
};

TEST_F(PopServerTest, ConcurrentClientsAreServedAndTheWindowHearsFirstAndLast) {
    CountingWindow window;
    SetMainWindow(&window);
    StartServer();
    {
        LineClient first(Port());
        LineClient second(Port());
        first.ReadLine();
        second.ReadLine();
        EXPECT_EQ(ActivePopSessions.load(), 2);
        EXPECT_EQ(second.Command("NOOP"), "-ERR Don't understand that command\r\n");
        EXPECT_EQ(first.Command("QUIT"), "+OK So soon? Bye bye...\r\n");
        EXPECT_TRUE(first.ClosedByServer());
        for (int i = 0; i < 100 && ActivePopSessions.load() > 1; ++i) vxw::Sleep(10);
        EXPECT_EQ(window.ended.load(), 0) << "one session still runs";
    }
    WaitForNoSessions();
    SetMainWindow(nullptr);
    EXPECT_EQ(window.started.load(), 2);
    EXPECT_EQ(window.ended.load(), 1);
}

TEST_F(PopServerTest, StopWaitsForAnIdleSessionToTimeOut) {
    ChangeSettings([](Config::Values& v) { v.timeout = 1; });
    StartServer();
    LogWatch log;
    LineClient idle(Port(), 5000);
    idle.ReadLine();
    auto start = Clock::now();
    server->Stop();
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(700));
    EXPECT_EQ(ActivePopSessions.load(), 0);
    EXPECT_EQ(idle.ReadLine(), "-ERR Timed out waiting for the client\r\n");
    ASSERT_EQ(log.NewLines().size(), 1u);
    EXPECT_EQ(log.NewLines()[0].rfind("POP3 - no login - timed out waiting for the client after ", 0),
              0u);
}

TEST_F(PopServerTest, APortInUseIsLoggedOnceAndRestartTakesANewPort) {
    vxw::Socket squatter;
    squatter.Listen("127.0.0.1", 0, 1);
    int taken = squatter.LocalPort();
    Config::Values values = TestSettings();
    values.port = taken;
    Config::Instance().SetValues(values);
    LogWatch log;
    server = std::make_unique<PopServer>(service.Factory());
    server->Start();
    ASSERT_TRUE(log.WaitFor("vxw::Worker::DoWork"));
    EXPECT_EQ(
        log.NewLines(),
        std::vector<std::string>{
            "vxw::Worker::DoWork::catch::vx - vxw::Socket::Listen::bind - Error binding socket - "
            "127.0.0.1 - " +
            std::to_string(taken) + " - " + vxw::sys::DescribeError(testing_support::kAddressInUseError)});
    squatter.Close();
    values.port = 0;
    Config::Instance().SetValues(values);
    server->Restart();
    for (int i = 0; i < 500 && server->ListeningPort() == 0; ++i) vxw::Sleep(10);
    ASSERT_NE(Port(), 0);
    ExpectServed();
}

// Bad clients end their own session, told why where they still listen; the
// log has the session's end line, and an error line only for what is one.
// Others go on being served.
TEST_F(PopServerTest, BadClientsEndOnlyTheirOwnSession) {
    ChangeSettings([](Config::Values& v) { v.timeout = 1; });
    StartServer();
    struct Case {
        const char* name;
        void (*act)(LineClient& client);
        std::string heard;
        std::vector<std::string> logged;  // the start of each new line
    } cases[] = {
        {"silent", [](LineClient&) {}, "-ERR Timed out waiting for the client\r\n",
         {"POP3 - no login - timed out waiting for the client after "}},
        {"no line end", [](LineClient& c) { c.Send(std::string(60000, 'x')); },
         "-ERR Line too long\r\n",
         {"POP3 - PopServer::SessionWorker::catch::vx - SOCKETUTIL_READLINE_BUFFERLEN: The "
          "buffer exceeds the maximum line length allowed - ",
          "POP3 - no login - ended on an error after "}},
        {"vanished",
         [](LineClient& c) {
             c.Send("USER alice\r\n");
             c.Close();
         },
         "", {"POP3 alice - no login - closed by the client after "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogWatch log;
        {
            LineClient bad(Port());
            bad.ReadLine();
            c.act(bad);
            if (!c.heard.empty()) {
                EXPECT_EQ(bad.ReadToClose(), c.heard);
            }
            ASSERT_TRUE(log.WaitFor(c.logged.back(), 5000)) << log.NewText();
        }
        ExpectServed();
        ASSERT_TRUE(log.WaitFor("POP3 alice - 1 message, "));
        std::vector<std::string> lines = log.NewLines();
        ASSERT_EQ(lines.size(), c.logged.size() + 1);
        for (size_t i = 0; i < c.logged.size(); ++i)
            EXPECT_EQ(lines[i].rfind(c.logged[i], 0), 0u) << lines[i];
        EXPECT_EQ(lines.back().rfind("POP3 alice - 1 message, 0 retrieved, 0 deleted - ", 0), 0u)
            << lines.back();
    }
}

TEST_F(PopServerTest, AClientThatVanishesDuringRetrLosesNothing) {
    service.AddMessage("alice", "inbox",
                       "Subject: big\r\n\r\n" + std::string(1 << 20, 'b') + "\r\n");
    StartServer();
    service.SetDownloadDelayMs(300);
    LogWatch log;
    {
        LineClient client(Port());
        client.ReadLine();
        client.Command("USER alice");
        client.Command("PASS pw");
        client.Command("DELE 1");
        client.Send("RETR 2\r\n");
    }
    // A client that leaves is no error of the session's.
    ASSERT_TRUE(log.WaitFor("POP3 alice - 2 messages, 0 retrieved, 0 deleted - closed by the client",
                            5000));
    EXPECT_EQ(log.NewText().find("catch"), std::string::npos) << log.NewText();
    service.SetDownloadDelayMs(0);
    ExpectServed();
    EXPECT_TRUE(service.Trashed().empty());
}

}  // namespace
