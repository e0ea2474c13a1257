// The RETR/TOP status line while a slow download runs. These cases wait for
// the real two- and five-second pauses, so there are only two of them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
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

// The line goes out whole before the service has answered: the download
// waits until the client has read it. A line held back for the download
// never comes while it waits; a trickled one ends only when the wait gives up.
TEST_F(StatusLineTest, OperaCompatSendsTheLineAtOnce) {
    StartServer();
    std::promise<void> lineRead;
    std::shared_future<void> read = lineRead.get_future().share();
    std::atomic<bool> gaveUp{false};
    // Bounded, so that a session whose line never came still ends.
    service.SetDownloadHook([read, &gaveUp] {
        gaveUp = read.wait_for(std::chrono::seconds(20)) == std::future_status::timeout;
    });
    struct Release {
        std::promise<void>& promise;
        ~Release() {
            try {
                promise.set_value();
            } catch (const std::future_error&) {
            }
        }
    } release{lineRead};
    auto client = LoggedIn();
    client->Send("RETR 1\r\n");
    EXPECT_EQ(client->ReadLine(), "+OK Message follows\r\n");
    lineRead.set_value();
    EXPECT_EQ(client->ReadUntil("\r\n.\r\n"), kSent);
    EXPECT_FALSE(gaveUp);
}

// A 40-second download: the 19 characters go out two seconds apart (the last
// at 38 s); the five-second wait for a dot is cut short by the end of the
// download, which still sends that one dot before the line ends. On a loaded
// machine the characters may fall behind, so the line may end before its dot;
// it never ends early or has a dot too many.
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
    std::string line = first + client->ReadLine();
    EXPECT_TRUE(line == "+OK Message follows.\r\n" || line == "+OK Message follows\r\n")
        << line;
    EXPECT_GE(SecondsSince(start), 40.0);
    EXPECT_EQ(client->ReadUntil("\r\n.\r\n"),
              "X-Mirelink-Folder: inbox\r\nSubject: slow\r\n\r\n\r\n.\r\n");

    // One log line for each character sent alone, then one for the rest of
    // the line (empty when every character went alone).
    std::vector<std::string> lines = log.NewLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "PopSession::Client - TOP 1 0");
    const std::string server = "PopSession::Server - ";
    std::string shown;
    size_t at = 1;
    for (; at < lines.size() && shown.size() < line.size() - 2; ++at) {
        ASSERT_EQ(lines[at].rfind(server, 0), 0u) << lines[at];
        std::string piece = lines[at].substr(server.size());
        shown += piece;
        if (shown.size() < line.size() - 2) {
            EXPECT_EQ(piece.size(), 1u) << "only the rest goes whole";
        }
    }
    EXPECT_EQ(shown, line.substr(0, line.size() - 2));
    if (shown.size() == line.size() - 2 && at < lines.size() && lines[at] == server) ++at;
    EXPECT_EQ(lines.at(at).rfind(server + "X-Mirelink-Folder: inbox", 0), 0u);
}

}  // namespace
