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
    EXPECT_EQ(log.NewLines(),
              std::vector<std::string>{
                  "PopServer::SessionWorker::catch::vx - vxw::Socket::Receive::WaitUntilReadable - "
                  "There was an error receiving data through the socket - " +
                  vxw::sys::DescribeError(testing_support::kTimedOutError)});
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

// Bad clients end their own session with one log line; others go on being served.
TEST_F(PopServerTest, BadClientsEndOnlyTheirOwnSession) {
    ChangeSettings([](Config::Values& v) { v.timeout = 1; });
    StartServer();
    const std::string catchVx = "PopServer::SessionWorker::catch::vx - ";
    struct Case {
        const char* name;
        void (*act)(LineClient& client);
        std::string logged;
    } cases[] = {
        {"silent", [](LineClient&) {},
         "vxw::Socket::Receive::WaitUntilReadable - There was an error receiving data through the "
         "socket - " +
             vxw::sys::DescribeError(testing_support::kTimedOutError)},
        {"no line end", [](LineClient& c) { c.Send(std::string(60000, 'x')); },
         "SOCKETUTIL_READLINE_BUFFERLEN: The buffer exceeds the maximum line length allowed - "},
        {"vanished",
         [](LineClient& c) {
             c.Send("USER alice\r\n");
             c.Close();
         },
         "SOCKETUTIL_READLINE_RECEIVE: Socket was closed"},
    };
    for (const Case& c : cases) {
        LogWatch log;
        {
            LineClient bad(Port());
            bad.ReadLine();
            c.act(bad);
            ASSERT_TRUE(log.WaitFor(catchVx, 5000)) << c.name;
        }
        ExpectServed();
        std::vector<std::string> lines = log.NewLines();
        ASSERT_EQ(lines.size(), 1u) << c.name;
        EXPECT_EQ(lines[0].rfind(catchVx + c.logged, 0), 0u) << lines[0];
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
    ASSERT_TRUE(log.WaitFor("PopServer::SessionWorker::catch::vx - vxw::Socket::Send::", 5000));
    service.SetDownloadDelayMs(0);
    ExpectServed();
    EXPECT_TRUE(service.Trashed().empty());
}

}  // namespace
