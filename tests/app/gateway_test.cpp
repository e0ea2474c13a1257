#include "app/gateway.h"

#include <gtest/gtest.h>

#include "core/config.h"
#include "core/thread.h"
#include "tests/support/counting_window.h"
#include "tests/support/line_client.h"
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

}  // namespace
