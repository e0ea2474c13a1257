#pragma once
// A running local service (PopServer, SmtpServer) on an ephemeral loopback
// port, serving the accounts of an in-memory web mail service. Counter is the
// service's count of live sessions; it must be back to 0 after each case.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/thread.h"
#include "settings/config.h"
#include "tests/support/memory_account.h"

namespace testing_support {

// Settings for fast tests: both ports chosen by the system, no pause, a
// short time-out, the POP3 status line at once.
inline Config::Values FastServiceSettings() {
    Config::Values values;
    values.address = "127.0.0.1";
    values.port = 0;
    values.portSmtp = 0;
    values.timeout = 5;
    values.delay = 0;
    values.operaCompat = true;
    return values;
}

template <class Server, std::atomic<int32_t>& Counter>
class ServiceFixture : public ::testing::Test {
protected:
    static Config::Values TestSettings() { return FastServiceSettings(); }

    void SetUp() override { Config::Instance().SetValues(TestSettings()); }
    void TearDown() override {
        if (server) server->Stop();
        EXPECT_EQ(Counter.load(), 0);
    }

    void StartServer() {
        server = std::make_unique<Server>(service.Factory());
        server->Start();
        for (int i = 0; i < 500 && server->ListeningPort() == 0; ++i) vxw::Sleep(10);
        ASSERT_NE(server->ListeningPort(), 0);
    }
    void ChangeSettings(void (*change)(Config::Values&)) {
        Config::Values values = Config::Instance().GetValues();
        change(values);
        Config::Instance().SetValues(values);
    }
    int Port() const { return server->ListeningPort(); }
    void WaitForNoSessions() {
        for (int i = 0; i < 500 && Counter.load() > 0; ++i) vxw::Sleep(10);
    }

    MemoryService service;
    std::unique_ptr<Server> server;
};

}  // namespace testing_support
