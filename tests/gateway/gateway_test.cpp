#include "gateway/gateway.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "core/thread.h"
#include "session/spool_file.h"
#include "settings/config.h"
#include "tests/support/counting_window.h"
#include "tests/support/line_client.h"
#include "tests/support/log_watch.h"
#include "tests/support/memory_account.h"
#include "tests/support/service_fixture.h"

namespace {

using testing_support::LineClient;

template <class Condition>
bool WaitUntil(Condition condition) {
    for (int i = 0; i < 500 && !condition(); ++i) vxw::Sleep(10);
    return condition();
}

// The tray animation follows each service's own count: the last POP3 session
// ending stops it even while an SMTP session still runs.
TEST(GatewayTest, EachServiceCountsItsOwnSessions) {
    Config::Instance().SetValues(testing_support::FastServiceSettings());
    testing_support::MemoryService service;
    testing_support::CountingWindow window;
    SetMainWindow(&window);
    app::Gateway gateway(service.Factory());
    gateway.Start();
    ASSERT_TRUE(WaitUntil(
        [&] { return gateway.Pop().ListeningPort() != 0 && gateway.Smtp().ListeningPort() != 0; }));
    {
        LineClient smtp(gateway.Smtp().ListeningPort());
        EXPECT_EQ(smtp.ReadLine(), "220 127.0.0.1 SMTP ready to roll\r\n");
        {
            LineClient pop(gateway.Pop().ListeningPort());
            EXPECT_EQ(pop.ReadLine().rfind("+OK Ready", 0), 0u);
            EXPECT_EQ(ActivePopSessions.load(), 1);
            EXPECT_EQ(ActiveSmtpSessions.load(), 1);
            EXPECT_EQ(pop.Command("QUIT"), "+OK So soon? Bye bye...\r\n");
        }
        EXPECT_TRUE(WaitUntil([&] { return window.ended.load() == 1; }));
        EXPECT_EQ(ActiveSmtpSessions.load(), 1);
        EXPECT_EQ(smtp.Command("QUIT"), "221 That's all she wrote\r\n");
    }
    gateway.Stop();
    SetMainWindow(nullptr);
    EXPECT_EQ(ActivePopSessions.load() + ActiveSmtpSessions.load(), 0);
    EXPECT_EQ(window.started.load(), 2);
    EXPECT_EQ(window.ended.load(), 2);
}

// A shut-down closes the sessions that wait for their client at once, each
// with its service's reply; a POP3 session closed so moves nothing.
TEST(GatewayTest, ShutdownClosesWaitingSessionsOfEveryServiceAtOnce) {
    Config::Values values = testing_support::FastServiceSettings();
    values.timeout = 60;
    Config::Instance().SetValues(values);
    testing_support::MemoryService service;
    service.AddAccount("alice", "pw");
    service.AddMessage("alice", "inbox", "Subject: hi\r\n\r\nhello\r\n");
    app::Gateway gateway(service.Factory());
    gateway.Start();
    ASSERT_TRUE(WaitUntil(
        [&] { return gateway.Pop().ListeningPort() != 0 && gateway.Smtp().ListeningPort() != 0; }));
    LineClient pop(gateway.Pop().ListeningPort(), 30000);
    pop.ReadLine();
    EXPECT_EQ(pop.Command("USER alice"), "+OK Present\r\n");
    EXPECT_EQ(pop.Command("PASS pw"), "+OK You may enter\r\n");
    EXPECT_EQ(pop.Command("DELE 1"), "+OK Message marked for deletion\r\n");
    LineClient smtp(gateway.Smtp().ListeningPort(), 30000);
    smtp.ReadLine();
    auto start = std::chrono::steady_clock::now();
    gateway.Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20))
        << "closed by the shut-down, not by a time-out";
    EXPECT_EQ(pop.ReadLine(), "-ERR Shutting down, try again later\r\n");
    EXPECT_TRUE(pop.ClosedByServer());
    EXPECT_EQ(smtp.ReadLine(), "421 Shutting down, try again later\r\n");
    EXPECT_TRUE(smtp.ClosedByServer());
    EXPECT_TRUE(service.Trashed().empty());
    EXPECT_EQ(ActivePopSessions.load() + ActiveSmtpSessions.load(), 0);
}

// At its session cap each service answers one more connection with its own
// refusal line, byte for byte, and closes it; mail clients show that line.
TEST(GatewayTest, EachServiceRefusesPastItsCapWithItsOwnLine) {
    Config::Values values = testing_support::FastServiceSettings();
    {
        vxw::Socket probe;  // a port free for IMAP
        probe.Listen("127.0.0.1", 0, 1);
        values.portImap = probe.LocalPort();
    }
    Config::Instance().SetValues(values);
    testing_support::MemoryService service;
    app::Gateway gateway(service.Factory());
    gateway.Start();
    ASSERT_TRUE(WaitUntil([&] {
        return gateway.Pop().ListeningPort() != 0 && gateway.Smtp().ListeningPort() != 0 &&
               gateway.Imap().ListeningPort() != 0;
    }));
    struct {
        vxw::SessionListener& listener;
        std::string refusal;
    } cases[] = {
        {gateway.Pop(), "-ERR Too many sessions, try again later\r\n"},
        {gateway.Smtp(), "421 Too many sessions, try again later\r\n"},
        {gateway.Imap(), "* BYE Too many sessions, try again later\r\n"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.refusal);
        c.listener.SetSessionLimit(1);
        LineClient served(c.listener.ListeningPort());
        served.ReadLine();
        LineClient refused(c.listener.ListeningPort());
        EXPECT_EQ(refused.ReadToClose(), c.refusal);
    }
    gateway.Stop();
}

// Spool files have no name while a session holds them; only a machine that
// went down between a file's creation and its unlinking leaves one behind,
// and the next start removes it.
TEST(GatewayTest, StartRemovesSpoolFilesAnEarlierRunLeft) {
    Config::Instance().SetValues(testing_support::FastServiceSettings());
    const std::string leftover = vxw::SpoolFolder() + "mirelink-4242-1.spool";
    std::ofstream(leftover) << "left by a machine that went down";
    ASSERT_TRUE(std::filesystem::exists(leftover));
    testing_support::LogWatch log;
    testing_support::MemoryService service;
    app::Gateway gateway(service.Factory());
    gateway.Start();
    EXPECT_FALSE(std::filesystem::exists(leftover));
    EXPECT_TRUE(log.WaitFor("Gateway::Start - Removed spool files an earlier run left - 1"));
    gateway.Stop();
}

}  // namespace
