#include "session/session_listener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "session/line_channel.h"
#include "settings/config.h"
#include "tests/support/line_client.h"
#include "tests/support/log_watch.h"
#include "tests/support/test_socket.h"

namespace {

using Clock = std::chrono::steady_clock;
using testing_support::LineClient;
using testing_support::LogWatch;

const char kBusy[] = "-ERR busy\r\n";
const char kClosing[] = "-ERR closing\r\n";

const vxw::ListenerTexts kProbeTexts = {
    "ProbeServer::DoWork", "ProbeServer::SessionWorker", "ProbeServer::DoWork::Accept - failed",
    "", kBusy, kClosing, "PROBE",
};

std::atomic<int32_t> ProbeSessions{0};

// A session that echoes each command line; FETCH stands for a transfer from
// the web mail service: it reads one line from the port given and echoes it.
class ProbeSession {
public:
    ProbeSession(vxw::SocketHandle connection, int servicePort)
        : channel(connection,
                  {"Probe::Client - ", "Probe::Server - ", "-ERR too long\r\n",
                   "-ERR timed out\r\n", "-ERR failed\r\n"},
                  nullptr),
          servicePort(servicePort) {}

    void Run() {
        channel.Reply("+OK hello\r\n");
        for (;;) {
            vx::Str line = channel.ReadCommandLine();
            if (line == "QUIT") break;
            channel.Reply("+OK " + (line == "FETCH" ? Fetch() : line) + "\r\n");
        }
        channel.Reply("+OK bye\r\n");
    }

private:
    // Waits as long as a slow service may take.
    vx::Str Fetch() {
        vxw::Socket service;
        service.Open(servicePort, "127.0.0.1", 60000, false);
        vx::Str buffer;
        return vxw::ReadLine(buffer, service, 1000, 1000);
    }

    vxw::LineChannel channel;
    int servicePort;
};

class ProbeServer : public vxw::SessionListenerOf<ProbeSession, int> {
public:
    explicit ProbeServer(int servicePort)
        : SessionListenerOf(kProbeTexts, ProbeSessions, servicePort) {}

protected:
    int32_t ListenPort() const override { return 0; }
};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The log lines without what follows " after " (the time each session took),
// in sorted order: sessions end in no fixed order.
std::vector<std::string> EndLines(const LogWatch& log) {
    std::vector<std::string> lines;
    for (std::string line : log.NewLines()) lines.push_back(line.substr(0, line.find(" after ")));
    std::sort(lines.begin(), lines.end());
    return lines;
}

// A listener whose sessions wait long for their clients (Timeout 60 s), so
// that an end well before that is the listener's doing; and a service that
// answers only when the case says so.
class SessionListenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Config::Values values;
        values.address = "127.0.0.1";
        values.timeout = 60;
        values.delay = 0;
        Config::Instance().SetValues(values);
        serviceListener = testing_support::ListenOnLoopback(4, servicePort);
        server = std::make_unique<ProbeServer>(servicePort);
    }
    void TearDown() override {
        server->Stop();
        testing_support::CloseSocket(serviceListener);
        EXPECT_EQ(ProbeSessions.load(), 0);
    }

    int Start() {
        server->Start();
        for (int i = 0; i < 500 && server->ListeningPort() == 0; ++i) vxw::Sleep(10);
        EXPECT_NE(server->ListeningPort(), 0);
        return server->ListeningPort();
    }
    // A greeted client.
    std::unique_ptr<LineClient> Connect(int port) {
        auto client = std::make_unique<LineClient>(port, 30000);
        EXPECT_EQ(client->ReadLine(), "+OK hello\r\n");
        return client;
    }
    // A client whose session is in the middle of a FETCH; returns the
    // service's end of that transfer.
    testing_support::RawSocket StartFetch(LineClient& client) {
        client.Send("FETCH\r\n");
        return testing_support::AcceptConnection(serviceListener);
    }
    void WaitForSessions(int32_t count) {
        for (int i = 0; i < 1000 && ProbeSessions.load() != count; ++i) vxw::Sleep(10);
        EXPECT_EQ(ProbeSessions.load(), count);
    }

    int servicePort = 0;
    testing_support::RawSocket serviceListener = testing_support::kNoSocket;
    std::unique_ptr<ProbeServer> server;
};

TEST_F(SessionListenerTest, ShutdownClosesIdleSessionsAtOnceAndLetsTransfersFinish) {
    int port = Start();
    LogWatch log;
    auto idle = Connect(port);
    auto busy = Connect(port);
    testing_support::RawSocket transfer = StartFetch(*busy);
    std::atomic<bool> returned{false};
    auto start = Clock::now();
    std::thread shutdown([&] {
        server->Shutdown();
        returned = true;
    });
    EXPECT_EQ(idle->ReadLine(), kClosing);
    EXPECT_TRUE(idle->ClosedByServer());
    EXPECT_LT(SecondsSince(start), 20.0) << "closed by the shut-down, not by a time-out";
    vxw::Sleep(100);
    EXPECT_FALSE(returned.load()) << "a transfer is still in progress";
    ASSERT_TRUE(testing_support::SendAll(transfer, "data\r\n", 6));
    EXPECT_EQ(busy->ReadLine(), "+OK data\r\n");
    EXPECT_EQ(busy->ReadLine(), kClosing);
    EXPECT_TRUE(busy->ClosedByServer());
    shutdown.join();
    testing_support::CloseSocket(transfer);
    // A session closed by its listener is no failure: no error line, only
    // the end line of each.
    EXPECT_EQ(EndLines(log), (std::vector<std::string>{"PROBE - closed by a shut-down",
                                                       "PROBE - closed by a shut-down"}));
}

// Between the close and the stop of one service the other services are still
// closing theirs: a client that comes then is told so.
TEST_F(SessionListenerTest, AConnectionWhileSessionsCloseGetsTheClosingReply) {
    int port = Start();
    server->CloseSessions();
    LineClient late(port, 30000);
    EXPECT_EQ(late.ReadLine(), kClosing);
    EXPECT_TRUE(late.ClosedByServer());
    server->Restart();
    for (int i = 0; i < 500 && server->ListeningPort() == 0; ++i) vxw::Sleep(10);
    auto served = Connect(server->ListeningPort());
    EXPECT_EQ(served->Command("QUIT"), "+OK bye\r\n");
}

TEST_F(SessionListenerTest, AbortEndsEverySessionAtOnceEvenMidTransfer) {
    int port = Start();
    LogWatch log;
    auto idle = Connect(port);
    auto busy = Connect(port);
    testing_support::RawSocket transfer = StartFetch(*busy);
    auto start = Clock::now();
    std::thread shutdown([&] { server->Shutdown(); });
    EXPECT_EQ(idle->ReadLine(), kClosing);
    WaitForSessions(1);  // the idle one has ended, by the shut-down
    server->AbortSessions();
    shutdown.join();
    EXPECT_LT(SecondsSince(start), 20.0) << "the transfer would wait 60 s for the service";
    EXPECT_TRUE(busy->ClosedByServer());
    testing_support::CloseSocket(transfer);
    // The failures an abort causes are not the sessions'.
    EXPECT_EQ(EndLines(log), (std::vector<std::string>{"PROBE - aborted by a stop",
                                                       "PROBE - closed by a shut-down"}));
}

TEST_F(SessionListenerTest, ConnectionsBeyondTheLimitAreRefusedWithOneLogLine) {
    server->SetSessionLimit(2);
    int port = Start();
    LogWatch log;
    auto first = Connect(port);
    auto second = Connect(port);
    for (int i = 0; i < 2; ++i) {
        LineClient refused(port, 30000);
        EXPECT_EQ(refused.ReadLine(), kBusy);
        EXPECT_TRUE(refused.ClosedByServer());
    }
    EXPECT_EQ(log.NewLines(),
              std::vector<std::string>{"ProbeServer::DoWork::Accept - Too many sessions, new "
                                       "connections are refused - 2"});
    EXPECT_EQ(first->Command("QUIT"), "+OK bye\r\n");
    WaitForSessions(1);
    auto third = Connect(port);
    EXPECT_EQ(third->Command("ECHO"), "+OK ECHO\r\n");
}

// Timeout bounds the wait for a whole line: a client that sends a byte now and
// then, always within the time-out, is still cut off, and told why. Neither
// that nor a client that leaves is an error of the session's.
TEST_F(SessionListenerTest, AClientThatTricklesALineIsCutAfterTheTimeout) {
    Config::Values values = Config::Instance().GetValues();
    values.timeout = 1;
    Config::Instance().SetValues(values);
    int port = Start();
    LogWatch log;
    auto client = Connect(port);
    auto start = Clock::now();
    std::string heard;
    while (heard.empty() && SecondsSince(start) < 15.0) {
        client->Send("x");
        if (client->Socket().WaitUntilReadable(300)) heard = client->ReadLine();
    }
    EXPECT_EQ(heard, "-ERR timed out\r\n");
    EXPECT_TRUE(client->ClosedByServer());
    auto leaving = Connect(port);
    leaving->Close();
    WaitForSessions(0);
    EXPECT_EQ(EndLines(log), (std::vector<std::string>{"PROBE - closed by the client",
                                                       "PROBE - timed out waiting for the client"}));
}

}  // namespace
