// Hotmail against the real local HTTPMail service, reached through the proxy
// settings as in the program: the submission, which no POP3 session makes.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "http/http.h"
#include "settings/config.h"
#include "tests/http/peer_process.h"
#include "tests/support/temp_dir.h"
#include "webmail/hotmail.h"

namespace {

using namespace testing_support;

// One of the service's control pages.
std::string AdminPage(int port, const std::string& page) {
    vxw::Http http;
    http.SetServer(port, false, "127.0.0.1", "", 0, "", "", 5000);
    http.SendRequest("/_admin/" + page, "GET", nullptr, 0, nullptr, nullptr, 0, false, false, "");
    EXPECT_EQ(http.GetStatusCode(), 200) << page;
    return http.GetPage();
}

TEST(HotmailService, SendMailHandsTheEnvelopeAndTheTextToTheService) {
    TempDir dir;
    int port = FreeLoopbackPort();
    PeerProcess service({HTTPMAIL_BIN, "--port", std::to_string(port)}, port,
                        dir.File("service.log"));
    Config::Values values;
    values.proxyAddress = "127.0.0.1";
    values.proxyPort = port;
    values.timeout = 10;
    Config::Instance().SetValues(values);

    const std::string text = "Subject: Hello\r\n\r\n.a dot stays\r\n";
    struct Account {
        const char* user;  // alice answers Digest, bob Basic
        const char* password;
    } accounts[] = {{"alice", "wonderland"}, {"Bob@MSN.com", "builder"}};
    for (const Account& account : accounts) {
        Hotmail hotmail;
        ASSERT_TRUE(hotmail.Login(account.user, account.password));
        vxw::PartsSource source({text});
        hotmail.SendMail("Alice <alice@hotmail.com>", {"bob@msn.com", "Carol carol@example.org"},
                         source);
        hotmail.Disconnect();
    }
    const std::string envelope =
        "MAIL FROM:<alice@hotmail.com>\r\nRCPT TO:<bob@msn.com>\r\nRCPT "
        "TO:<carol@example.org>\r\n\r\n";
    EXPECT_EQ(AdminPage(port, "sent/1"), envelope + text);
    EXPECT_EQ(AdminPage(port, "sent/2"), envelope + text);
    EXPECT_EQ(AdminPage(port, "sent"),
              "1 alice <alice@hotmail.com> bob@msn.com,carol@example.org " +
                  std::to_string(text.size()) +
                  "\r\n2 bob@msn.com <alice@hotmail.com> bob@msn.com,carol@example.org " +
                  std::to_string(text.size()) + "\r\n");
}

// The statuses the service's journal shows for one method, in order.
std::vector<std::string> Statuses(int port, const std::string& method) {
    std::istringstream lines(AdminPage(port, "journal"));
    std::vector<std::string> statuses;
    for (std::string number, exchange, seen, target, status;
         lines >> number >> exchange >> seen >> target >> status;) {
        lines.ignore(1 << 16, '\n');
        if (seen == method) statuses.push_back(status);
    }
    return statuses;
}

// A Digest account: the login's nonce serves the submission, so the message
// goes out once. A service that takes every nonce once answers the reused one
// 401 stale=true: that answer says the message was not taken, so it goes once
// more, and the service keeps it once.
TEST(HotmailService, ASubmissionAfterTheLoginGoesOutOnceUnlessTheNonceIsRefused) {
    for (bool fresh : {false, true}) {
        SCOPED_TRACE(fresh ? "--fresh-nonce" : "nonces reused");
        TempDir dir;
        int port = FreeLoopbackPort();
        std::vector<std::string> command = {HTTPMAIL_BIN, "--port", std::to_string(port)};
        if (fresh) command.push_back("--fresh-nonce");
        PeerProcess service(command, port, dir.File("service.log"));
        Config::Values values;
        values.proxyAddress = "127.0.0.1";
        values.proxyPort = port;
        values.timeout = 10;
        Config::Instance().SetValues(values);

        Hotmail hotmail;
        ASSERT_TRUE(hotmail.Login("alice", "wonderland"));
        vxw::PartsSource source({"Subject: once\r\n\r\ntext\r\n"});
        hotmail.SendMail("alice@hotmail.com", {"bob@msn.com"}, source);
        hotmail.Disconnect();

        EXPECT_EQ(Statuses(port, "PROPFIND"), (std::vector<std::string>{"401", "207"}));
        const std::vector<std::string> posts =
            fresh ? std::vector<std::string>{"401", "200"} : std::vector<std::string>{"200"};
        EXPECT_EQ(Statuses(port, "POST"), posts);
        const std::string sent = AdminPage(port, "sent");
        EXPECT_EQ(sent.rfind("1 alice <alice@hotmail.com> bob@msn.com ", 0), 0u) << sent;
        EXPECT_EQ(sent.find("\r\n2 "), std::string::npos) << sent;
    }
}

}  // namespace
