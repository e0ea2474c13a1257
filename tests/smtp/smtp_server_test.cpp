#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/socket_system.h"
#include "tests/smtp/smtp_fixture.h"
#include "tests/support/log_watch.h"
#include "tests/support/test_socket.h"

namespace {

using testing_support::LineClient;
using testing_support::LogWatch;

class SmtpServerTest : public testing_support::SmtpFixture {
protected:
    // The cases start the server themselves.
    void SetUp() override {
        ServiceFixture::SetUp();
        service.AddAccount("alice", "open sesame");
    }
};

TEST_F(SmtpServerTest, APortInUseIsLoggedOnceAndRestartTakesANewPort) {
    vxw::Socket squatter;
    squatter.Listen("127.0.0.1", 0, 1);
    int taken = squatter.LocalPort();
    Config::Values values = TestSettings();
    values.portSmtp = taken;
    Config::Instance().SetValues(values);
    LogWatch log;
    server = std::make_unique<SmtpServer>(service.Factory());
    server->Start();
    ASSERT_TRUE(log.WaitFor("SmtpServer::LogError"));
    EXPECT_EQ(
        log.NewLines(),
        std::vector<std::string>{"SmtpServer::LogError - vxw::Worker::DoWork::catch::vx - "
                                 "vxw::Socket::Listen::bind - Error binding socket - 127.0.0.1 - " +
                                 std::to_string(taken) + " - " + vxw::sys::DescribeError(testing_support::kAddressInUseError)});
    squatter.Close();
    values.portSmtp = 0;
    Config::Instance().SetValues(values);
    server->Restart();
    for (int i = 0; i < 500 && server->ListeningPort() == 0; ++i) vxw::Sleep(10);
    ASSERT_NE(Port(), 0);
    auto client = Connect(true);
    EXPECT_EQ(client->Command("QUIT"), "221 That's all she wrote\r\n");
}

}  // namespace
