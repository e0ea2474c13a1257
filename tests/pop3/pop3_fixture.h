#pragma once
// A running PopServer on an ephemeral loopback port, serving the accounts of
// an in-memory web mail service.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/config.h"
#include "core/thread.h"
#include "pop3/pop_server.h"
#include "tests/support/memory_account.h"

namespace testing_support {

class Pop3Fixture : public ::testing::Test {
protected:
    // Settings for fast tests: no pause, a short time-out, the status line at once.
    static Config::Values TestSettings() {
        Config::Values values;
        values.address = "127.0.0.1";
        values.port = 0;
        values.timeout = 5;
        values.delay = 0;
        values.operaCompat = true;
        return values;
    }

    void SetUp() override { Config::Instance().SetValues(TestSettings()); }
    void TearDown() override {
        if (server) server->Stop();
        EXPECT_EQ(ActivePopSessions.load(), 0);
    }

    void StartServer() {
        server = std::make_unique<PopServer>(service.Factory());
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

    MemoryService service;
    std::unique_ptr<PopServer> server;
};

}  // namespace testing_support
