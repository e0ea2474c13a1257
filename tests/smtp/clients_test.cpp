// End-to-end: real SMTP clients against the listener and the in-memory service.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/file_util.h"
#include "tests/smtp/smtp_fixture.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::RunProcess;
using testing_support::TempDir;

// A message with lines that a client must dot-stuff.
const std::string kText =
    "From: alice@example.com\r\nSubject: dots\r\n\r\n.leading dot\r\n..two dots\r\n.\r\n"
    "last line\r\n";

class SmtpClientsTest : public testing_support::SmtpFixture {
protected:
    // What the service was handed, as the submission body it posts.
    std::vector<std::string> Submissions() {
        WaitForNoSessions();
        std::vector<std::string> bodies;
        for (const auto& mail : service.Sent()) {
            std::string body = "MAIL FROM:<" + mail.sender + ">\r\n";
            for (const auto& to : mail.recipients) body += "RCPT TO:<" + to + ">\r\n";
            bodies.push_back(body + "\r\n" + mail.text);
        }
        return bodies;
    }

    std::string Url() const { return "smtp://127.0.0.1:" + std::to_string(Port()); }
};

const std::string kTwoRecipients =
    "MAIL FROM:<alice@example.com>\r\nRCPT TO:<bob@example.com>\r\n"
    "RCPT TO:<carol@example.com>\r\n\r\n";

TEST_F(SmtpClientsTest, SmtplibSubmitsWithPlainAndLogin) {
    auto result = RunProcess({"python3", SMTP_TEST_SCRIPTS "/smtplib_client.py",
                              std::to_string(Port()), "alice", "open sesame"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string session =
        // smtplib keeps the AUTH keywords with a blank in front.
        "ehlo 250 127.0.0.1|AUTH PLAIN LOGIN {'auth': ' PLAIN LOGIN'}\n"
        "auth MECH (235, b'Authentication successful')\n"
        "sendmail {}\n"
        "quit (221, b\"That's all she wrote\")\n";
    std::string plain = session, login = session;
    plain.replace(plain.find("MECH"), 4, "PLAIN");
    login.replace(login.find("MECH"), 4, "LOGIN");
    EXPECT_EQ(result.out, plain + login);
    EXPECT_EQ(Submissions(),
              (std::vector<std::string>{kTwoRecipients + kText, kTwoRecipients + kText}));
}

TEST_F(SmtpClientsTest, CurlAndSwaksSubmitAFile) {
    TempDir folder;
    ASSERT_TRUE(SaveToFile(folder.File("message.eml"), kText));
    const std::vector<std::string> curl = {"curl",
                                           "-sS",
                                           "--max-time",
                                           "30",
                                           "-u",
                                           "alice:open sesame",
                                           "--mail-from",
                                           "alice@example.com",
                                           "--mail-rcpt",
                                           "bob@example.com",
                                           "--mail-rcpt",
                                           "carol@example.com",
                                           "--upload-file",
                                           folder.File("message.eml")};
    for (const char* mechanism : {"AUTH=LOGIN", "AUTH=PLAIN"}) {
        std::vector<std::string> args = curl;
        args.insert(args.end(), {"--login-options", mechanism, Url()});
        auto result = RunProcess(args);
        EXPECT_EQ(result.exitCode, 0) << mechanism << result.err;
    }
    auto swaks = RunProcess(
        {"swaks", "--server", "127.0.0.1", "--port", std::to_string(Port()), "--auth", "LOGIN",
         "--auth-user", "alice", "--auth-password", "open sesame", "--from", "alice@example.com",
         "--to", "bob@example.com,carol@example.com", "--data", folder.File("message.eml")});
    EXPECT_EQ(swaks.exitCode, 0) << swaks.out << swaks.err;
    // swaks ends the data with CR LF "." CR LF even after a final CR LF.
    EXPECT_EQ(Submissions(),
              (std::vector<std::string>{kTwoRecipients + kText, kTwoRecipients + kText,
                                        kTwoRecipients + kText + "\r\n"}));
}

}  // namespace
