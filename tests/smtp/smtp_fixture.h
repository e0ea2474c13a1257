#pragma once
// A running SmtpServer on an ephemeral loopback port with one account,
// "alice" / "open sesame", at an in-memory web mail service.
#include <memory>
#include <string>

#include "smtp/smtp_server.h"
#include "tests/support/line_client.h"
#include "tests/support/service_fixture.h"

namespace testing_support {

class SmtpFixture : public ServiceFixture<SmtpServer, ActiveSmtpSessions> {
protected:
    // Base64 of "\0alice\0open sesame", the AUTH PLAIN response.
    static constexpr const char* kPlainAlice = "AGFsaWNlAG9wZW4gc2VzYW1l";

    void SetUp() override {
        ServiceFixture::SetUp();
        service.AddAccount("alice", "open sesame");
        StartServer();
    }

    // Connected, greeted, and with alice logged in when asked.
    std::unique_ptr<LineClient> Connect(bool logIn) {
        auto client = std::make_unique<LineClient>(Port());
        EXPECT_EQ(client->ReadLine(), "220 127.0.0.1 SMTP ready to roll\r\n");
        if (logIn) {
            EXPECT_EQ(client->Command(std::string("AUTH PLAIN ") + kPlainAlice),
                      "235 Authentication successful\r\n");
        }
        return client;
    }
};

}  // namespace testing_support
