// The RETR/TOP status line while a slow download runs. These cases wait for
// the real two- and five-second pauses, so there are only two of them.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/pop3/pop3_fixture.h"
#include "tests/support/line_client.h"
#include "tests/support/log_watch.h"

namespace {

using testing_support::LineClient;
using Clock = std::chrono::steady_clock;

const std::string kMessage = "Subject: slow\r\n\r\nbody\r\n";
const std::string kSent = "X-Mirelink-Folder: inbox\r\nSubject: slow\r\n\r\nbody\r\n\r\n.\r\n";

class StatusLineTest : public testing_support::Pop3Fixture {
protected:
    void SetUp() override {
        Pop3Fixture::SetUp();
        service.AddAccount("alice", "pw");
        service.AddMessage("alice", "inbox", kMessage);
    }

    std::unique_ptr<LineClient> LoggedIn() {
        auto client = std::make_unique<LineClient>(Port(), 10000);
        client->ReadLine();
        client->Command("USER alice");
        client->Command("PASS pw");
        return client;
    }

    static double SecondsSince(Clock::time_point start) {
        return std::chrono::duration<double>(Clock::now() - start).count();
    }
};

TEST_F(StatusLineTest, OperaCompatSendsTheLineAtOnce) {
    StartServer();
    service.SetDownloadDelayMs(2000);
    auto client = LoggedIn();
    auto start = Clock::now();
    client->Send("RETR 1\r\n");
    EXPECT_EQ(client->ReadLine(), "+OK Message follows\r\n");
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_EQ(client->ReadUntil("\r\n.\r\n"), kSent);
    EXPECT_GE(SecondsSince(start), 2.0);
}

// A 40-second download: the 19 characters go out two seconds apart (the last
// at 38 s); the five-second wait for a dot is cut short by the end of the
// download, which still sends that one dot before the line ends.
TEST_F(StatusLineTest, ASlowDownloadTricklesTheLineAndThenDots) {
    ChangeSettings([](Config::Values& v) {
        v.operaCompat = false;
        v.extraLogging = true;
    });
    StartServer();
    service.SetDownloadDelayMs(40000);
    auto client = LoggedIn();
    testing_support::LogWatch log;
    auto start = Clock::now();
    client->Send("TOP 1 0\r\n");
    char first = 0;
    ASSERT_EQ(client->Socket().Receive(&first, 1), 1u);
    double firstAfter = SecondsSince(start);
    EXPECT_EQ(first, '+');
    EXPECT_GE(firstAfter, 1.9);
    EXPECT_LT(firstAfter, 3.0);
    EXPECT_EQ(first + client->ReadLine(), "+OK Message follows.\r\n");
    EXPECT_GE(SecondsSince(start), 40.0);
    EXPECT_EQ(client->ReadUntil("\r\n.\r\n"),
              "X-Mirelink-Folder: inbox\r\nSubject: slow\r\n\r\n\r\n.\r\n");

    std::vector<std::string> expected = {"PopSession::Client - TOP 1 0"};
    for (char c : std::string("+OK Message follows."))
        expected.push_back("PopSession::Server - " + std::string(1, c));
    expected.push_back("PopSession::Server - ");
    std::vector<std::string> lines = log.NewLines();
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + expected.size()), expected);
}

}  // namespace
