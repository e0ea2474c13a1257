// A message larger than the session keeps in memory goes to a spool file
// while it is received and posted; the file has no name anyone could open
// and is gone with its session.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "session/spool_file.h"
#include "tests/smtp/smtp_fixture.h"

namespace {

using testing_support::LineClient;

// The open files of this process in the spool folder.
int OpenSpoolFiles() {
    const std::string folder = vxw::SpoolFolder();
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (!error && target.rfind(folder, 0) == 0) ++count;
    }
    return count;
}

class SmtpSpoolTest : public testing_support::SmtpFixture {};

TEST_F(SmtpSpoolTest, ALargeMessageIsSpooledWithoutANameAndTheFileGoesWithTheSession) {
    const std::string line = std::string(998, 's') + "\r\n";
    std::string text;
    for (int i = 0; i < 3000; ++i) text += line;
    int duringPost = -1;
    service.SetSendHook([&] { duringPost = OpenSpoolFiles(); });
    {
        auto client = Connect(true);
        EXPECT_EQ(client->Command("MAIL FROM:<a@b.example>"), "250 OK\r\n");
        EXPECT_EQ(client->Command("RCPT TO:<c@d.example>"), "250 OK\r\n");
        EXPECT_EQ(client->Command("DATA"), "354 Start mail input; end with <CRLF>.<CRLF>\r\n");
        client->Send(text);
        EXPECT_EQ(client->Command("."), "250 OK\r\n");
        EXPECT_EQ(client->Command("QUIT"), "221 That's all she wrote\r\n");
    }
    WaitForNoSessions();
    EXPECT_EQ(duringPost, 1) << "the message was in a file while it was posted";
    EXPECT_EQ(OpenSpoolFiles(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(vxw::SpoolFolder()));
    ASSERT_EQ(service.Sent().size(), 1u);
    EXPECT_EQ(service.Sent()[0].text, text);
}

}  // namespace
