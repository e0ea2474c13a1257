// RETR and TOP pass the message on as the web mail client hands it over, in
// pieces: the bytes the mail client gets are those of the whole message
// stuffed at once, wherever the pieces are cut.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pop3/dot_stuffer.h"
#include "pop3/message_text.h"
#include "tests/pop3/pop3_fixture.h"
#include "tests/support/line_client.h"
#include "tests/support/log_watch.h"

namespace {

using testing_support::LineClient;
using testing_support::LogWatch;
using Operation = testing_support::MemoryService::Operation;

const std::string kStatus = "+OK Message follows\r\n";
const std::string kFolderLine = "X-Mirelink-Folder: inbox\r\n";

// The answer as the message held whole gives it.
std::string HeldAnswer(const std::string& text, bool top, int64_t lines) {
    vx::Str whole = kFolderLine + text;
    if (top) CutToTopLines(whole, lines);
    vx::Str stuffed;
    DotStuffer().Feed(whole, stuffed);
    return kStatus + stuffed + "\r\n.\r\n";
}

class MessageStreamTest : public testing_support::Pop3Fixture {
protected:
    void SetUp() override {
        Pop3Fixture::SetUp();
        service.AddAccount("alice", "pw");
    }

    std::unique_ptr<LineClient> LoggedIn() {
        auto client = std::make_unique<LineClient>(Port());
        client->ReadLine();
        client->Command("USER alice");
        EXPECT_EQ(client->Command("PASS pw"), "+OK You may enter\r\n");
        return client;
    }
};

TEST_F(MessageStreamTest, PiecesOfAnySizeGiveTheBytesOfTheWholeMessage) {
    // Dot lines and CR LFs fall on every piece boundary of the sizes below,
    // one text has no final line break, one has bare CRs and LFs.
    const std::vector<std::string> texts = {
        ".a\r\n.\r\n..\r\nSubject: x\r\n\r\n.\r\n.b\r\n\r\n..c\r\n.",
        "Subject: y\r\n\r\nline\r\n.\r\nno final break",
        "\r\n.\r\n\r\n.dot\r\n",
        "Subject: z\r\n\r\nbare\n.lf\r.cr\r\n.\r\nlast\r\n",
    };
    for (const std::string& text : texts) service.AddMessage("alice", "inbox", text);
    StartServer();
    for (size_t piece : {1u, 2u, 3u, 5u, 7u, 4096u}) {
        service.SetPieceSize(piece);
        auto client = LoggedIn();
        for (size_t n = 0; n < texts.size(); ++n) {
            SCOPED_TRACE("piece " + std::to_string(piece) + ", message " + std::to_string(n + 1));
            const std::string number = std::to_string(n + 1);
            EXPECT_EQ(client->MultiLine("RETR " + number), HeldAnswer(texts[n], false, 0));
            for (int lines : {0, 1, 2, -1}) {
                EXPECT_EQ(client->MultiLine("TOP " + number + " " + std::to_string(lines)),
                          HeldAnswer(texts[n], true, lines))
                    << "TOP " << lines;
            }
        }
        EXPECT_EQ(client->Command("QUIT"), "+OK Bye bye...\r\n");
    }
}

// A download that fails once bytes went out ends the answer without its
// terminating line: the client cannot take the cut message for a whole one.
TEST_F(MessageStreamTest, ADownloadCutShortEndsTheSessionWithoutTheFinalDot) {
    const std::string text = "Subject: cut\r\n\r\n" + std::string(100, 'x') + "\r\n";
    service.AddMessage("alice", "inbox", text);
    service.AddMessage("alice", "inbox", "Subject: other\r\n\r\nkept\r\n");
    StartServer();
    service.SetPieceSize(40);
    service.FailNext(Operation::GetMessageRest, "Hotmail::GetMessage - cut off");
    LogWatch log;
    auto client = LoggedIn();
    EXPECT_EQ(client->Command("DELE 2"), "+OK Message marked for deletion\r\n");
    client->Send("RETR 1\r\n");
    EXPECT_EQ(client->ReadToClose(), kStatus + kFolderLine + text.substr(0, 40));
    EXPECT_TRUE(log.WaitFor("PopServer::SessionWorker::catch::vx - Hotmail::GetMessage - cut off"));
    WaitForNoSessions();
    EXPECT_TRUE(service.Trashed().empty());
}

// TOP stops the download once it has its lines, and the session goes on.
TEST_F(MessageStreamTest, TopStopsTheDownloadOnceItHasItsLines) {
    std::string body;
    for (int i = 0; i < 100000; ++i) body += "line " + std::to_string(i) + "\r\n";
    service.AddMessage("alice", "inbox", "Subject: large\r\n\r\n" + body);
    service.AddMessage("alice", "inbox", "Subject: small\r\n\r\nsmall\r\n");
    StartServer();
    service.SetPieceSize(16384);
    auto client = LoggedIn();
    EXPECT_EQ(client->MultiLine("TOP 1 2"),
              kStatus + kFolderLine + "Subject: large\r\n\r\nline 0\r\nline 1\r\n\r\n.\r\n");
    EXPECT_EQ(service.StoppedDownloads(), 1);
    EXPECT_EQ(service.DeliveredBytes(), 16384u);
    EXPECT_EQ(client->MultiLine("RETR 2"),
              kStatus + kFolderLine + "Subject: small\r\n\r\nsmall\r\n\r\n.\r\n");
}

}  // namespace
