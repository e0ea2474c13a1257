// New messages at the service: APPEND as a PUT into the folder, COPY by GET
// and PUT where the service has no COPY, and a client's sent copy of a
// message the service keeps already. The flags and date a client gives
// are kept; nothing is left half done when the service refuses.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "core/body_stream.h"
#include "imap_wire/imap_date.h"
#include "tests/imap/imap_fixture.h"
#include "webmail/submission_registry.h"

namespace {

using testing_support::ImapClient;
using testing_support::MemoryService;
using Operation = MemoryService::Operation;

const std::string kNote =
    "From: Ann <ann@example.com>\r\nSubject: Note\r\nMessage-ID: <note@example.com>\r\n\r\n"
    "Remember the milk.\r\n";

class ImapAppendTest : public testing_support::ImapFixture {
protected:
    void SetUp() override {
        ImapFixture::SetUp();
        SubmissionRegistry::Instance().Clear();
        service.AddAccount("alice", "secret");
        service.KeepReadState(true);
        service.AddFolder("alice", {"inbox", "inbox", ""});
        service.AddFolder("alice", {"sent", "sentitems", "Sent Items"});
        service.AddFolder("alice", {"work", "", "Work"});
        service.AddMessage("alice", "inbox", "Subject: one\r\n\r\nbody one\r\n");
        service.AddMessage("alice", "inbox", "Subject: two\r\n\r\nbody two\r\n");
        StartServer();
        client = LoggedIn();
    }
    void TearDown() override {
        client.reset();
        ImapFixture::TearDown();
    }
    // APPEND with a synchronizing literal: the go-ahead, then the message.
    std::string Append(const std::string& args, const std::string& message) {
        client->Send("T APPEND " + args + " {" + std::to_string(message.size()) + "}\r\n");
        std::string ready = client->ReadLine();
        if (ready != "+ Ready for literal data\r\n") return ready;
        client->Send(message + "\r\n");
        return ImapClient::Normalize(client->ReadResponse("T"));
    }
    std::vector<MemoryService::StoredMessage> In(const std::string& folder) {
        std::vector<MemoryService::StoredMessage> out;
        for (const auto& m : service.Mailbox("alice"))
            if (m.folder == folder) out.push_back(m);
        return out;
    }

    std::unique_ptr<ImapClient> client;
};

TEST_F(ImapAppendTest, AppendStoresTheMessageWithItsFlagsDateAndUid) {
    EXPECT_EQ(Append("Work (\\Seen \\Flagged $Todo) \" 5-Mar-2024 10:00:00 +0100\"", kNote),
              "T OK [APPENDUID V 1] APPEND completed\r\n");
    // Larger than what the session keeps in memory, without the go-ahead.
    std::string large = "Subject: large\r\n\r\n";
    while (large.size() < 700000) large += "a line of the large message\r\n";
    const std::time_t before = std::time(nullptr);
    client->Send("T APPEND Work {" + std::to_string(large.size()) + "+}\r\n" + large + "\r\n");
    EXPECT_EQ(ImapClient::Normalize(client->ReadResponse("T")),
              "T OK [APPENDUID V 2] APPEND completed\r\n");
    const std::time_t after = std::time(nullptr);
    auto work = In("work");
    ASSERT_EQ(work.size(), 2u);
    EXPECT_EQ(work[0].text, kNote);
    EXPECT_EQ(work[0].read, 1);
    EXPECT_EQ(work[1].text, large);
    EXPECT_EQ(work[1].read, 0);
    client->Run("SELECT Work");
    // Without a date the message is dated when the APPEND came, a second
    // within it on a slow machine.
    const std::string fetched = client->RunRaw("FETCH 1:2 (UID FLAGS INTERNALDATE RFC822.SIZE)");
    std::string expected;
    for (std::time_t t = before; t <= after && expected != fetched; ++t)
        expected = "* 1 FETCH (UID 1 FLAGS (\\Flagged \\Seen \\Recent $Todo) INTERNALDATE \" "
                   "5-Mar-2024 09:00:00 +0000\" RFC822.SIZE " +
                   std::to_string(kNote.size()) +
                   ")\r\n* 2 FETCH (UID 2 FLAGS (\\Recent) INTERNALDATE " +
                   ImapDate::InternalDate(t) + " RFC822.SIZE " + std::to_string(large.size()) +
                   ")\r\nT OK FETCH completed\r\n";
    EXPECT_EQ(fetched, expected);
    // The mailbox may come as a literal too; the message is the one after it.
    client->Send("T APPEND {4+}\r\nWork {" + std::to_string(kNote.size()) + "+}\r\n" + kNote +
                 "\r\n");
    EXPECT_EQ(client->ReadResponse("T").substr(0, 2), "* ");
    ASSERT_EQ(In("work").size(), 3u);
    EXPECT_EQ(In("work")[2].text, kNote);
}

TEST_F(ImapAppendTest, AnAppendToTheSelectedMailboxIsReportedBeforeItsOk) {
    client->Run("SELECT INBOX");
    EXPECT_EQ(Append("INBOX", kNote),
              "* 3 EXISTS\r\n* 3 RECENT\r\nT OK [APPENDUID V 3] APPEND completed\r\n");
    EXPECT_EQ(client->Run("FETCH 3 (UID BODY.PEEK[HEADER.FIELDS (SUBJECT)])"),
              "* 3 FETCH (UID 3 BODY[HEADER.FIELDS (SUBJECT)] {17}\r\nSubject: Note\r\n\r\n)\r\n"
              "T OK FETCH completed\r\n");
}

// A session that has not yet learnt that another one moved a message away
// still sees the date it was appended with.
TEST_F(ImapAppendTest, TheDateGivenLastsForASessionThatStillShowsTheMessage) {
    auto watcher = LoggedIn();
    watcher->Run("SELECT Work");
    Append("Work \" 5-Mar-2024 10:00:00 +0000\"", kNote);
    watcher->Run("NOOP");
    client->Run("SELECT Work");
    EXPECT_EQ(client->Run("MOVE 1 INBOX").substr(0, 6), "* OK [");
    EXPECT_EQ(watcher->RunRaw("FETCH 1 INTERNALDATE"),
              "* 1 FETCH (INTERNALDATE \" 5-Mar-2024 10:00:00 +0000\")\r\nT OK FETCH completed\r\n");
}

// RFC 2180 4.2.1: a STORE on a message another session or the web mail site
// removed meanwhile changes nothing and is no failure (imaptest counts a NO
// as one); the next look reports the message expunged.
TEST_F(ImapAppendTest, AStoreOnAMessageGoneAtTheServiceIsNoFailure) {
    client->Run("SELECT INBOX");
    auto elsewhere = service.Factory()();
    ASSERT_TRUE(elsewhere->Login("alice", "secret"));
    elsewhere->SendMessageToTrash(In("inbox")[0].href);
    EXPECT_EQ(client->Run("STORE 1:2 +FLAGS (\\Seen)"),
              "* 2 FETCH (FLAGS (\\Seen \\Recent))\r\nT OK STORE completed\r\n");
    EXPECT_EQ(client->Run("NOOP"), "* 1 EXPUNGE\r\nT OK NOOP completed\r\n");
}

TEST_F(ImapAppendTest, BadAppendsAreRefusedAndLeaveNothing) {
    const std::pair<std::string, std::string> cases[] = {
        {"Work (\\Recent)", "T BAD Flag that cannot be stored: \\Recent\r\n"},
        {"Work \"31-Feb-2024 10:00:00 +0000\"", "T BAD Invalid date-time\r\n"},
        {"Work \"5-Mar-2024 10:00:00\"", "T BAD Invalid date-time\r\n"},
        {"Work () \"5-Mar-2024 10:00:00 +0000\" extra",
         "T BAD Wrong number of arguments for APPEND\r\n"},
        {"Work NIL", "T BAD Invalid arguments for APPEND\r\n"},
    };
    for (const auto& [args, reply] : cases) EXPECT_EQ(Append(args, kNote), reply) << args;
    EXPECT_EQ(client->Run("APPEND Work \"text\""),
              "T BAD APPEND takes the message as a literal\r\n");
    EXPECT_EQ(In("work").size(), 0u);
}

// A service that takes no PUT: refused as before, and the next APPEND of the
// session before its message is sent.
TEST_F(ImapAppendTest, WithoutPutAppendIsRefusedAndThenRefusedBeforeItsData) {
    const char kRefused[] =
        "T NO [CANNOT] APPEND is not possible: the web mail service takes a new message only by "
        "sending it\r\n";
    service.OfferPut(false);
    EXPECT_EQ(Append("Work", kNote), kRefused);
    client->Send("T APPEND Work {" + std::to_string(kNote.size()) + "}\r\n");
    EXPECT_EQ(client->ReadLine(), kRefused);
    EXPECT_EQ(client->Run("NOOP"), "T OK NOOP completed\r\n");
    EXPECT_EQ(In("work").size(), 0u);
}

TEST_F(ImapAppendTest, AMessageWhoseReadStateTheServiceRefusesIsTakenBack) {
    service.OfferCopyAndDelete(true);
    service.FailNext(Operation::SetReadState, "MemoryAccount::SetReadState - refused", 1, 500);
    EXPECT_EQ(Append("Work (\\Seen)", kNote),
              "T NO [UNAVAILABLE] MemoryAccount::SetReadState - refused\r\n");
    EXPECT_EQ(In("work").size(), 0u);
    service.FailNext(Operation::PutMessage, "MemoryAccount::PutMessage - cut", 1);
    EXPECT_EQ(Append("Work", kNote), "T NO [UNAVAILABLE] MemoryAccount::PutMessage - cut\r\n");
    EXPECT_EQ(In("work").size(), 0u);
    // The UIDs the failures took are never handed out again.
    EXPECT_EQ(Append("Work", kNote), "T OK [APPENDUID V 2] APPEND completed\r\n");
}

// Without COPY at the service a copy is made by GET and PUT: the copy keeps
// flags, keywords and arrival; the original stays unread.
TEST_F(ImapAppendTest, CopyWithoutCopyAtTheServiceGoesByGetAndPut) {
    service.MarkReadOnDownload(true);
    auto watcher = LoggedIn();
    watcher->Run("EXAMINE Work");
    client->Run("SELECT INBOX");
    client->Run("STORE 1 +FLAGS (\\Seen \\Answered $Done)");
    std::string dates = client->Run("FETCH 1:2 INTERNALDATE");
    EXPECT_EQ(client->Run("COPY 1:2 Work"), "T OK [COPYUID V 1:2 1:2] COPY completed\r\n");
    auto work = In("work");
    ASSERT_EQ(work.size(), 2u);
    EXPECT_EQ(work[0].text, In("inbox")[0].text);
    EXPECT_EQ(work[1].text, In("inbox")[1].text);
    EXPECT_EQ(In("inbox")[1].read, 0);
    EXPECT_EQ(work[0].read, 1);
    EXPECT_EQ(work[1].read, 0);
    client->Run("SELECT Work");
    EXPECT_EQ(client->Run("FETCH 1:2 INTERNALDATE"), dates);
    EXPECT_EQ(client->Run("FETCH 1:2 FLAGS"),
              "* 1 FETCH (FLAGS (\\Answered \\Seen \\Recent $Done))\r\n"
              "* 2 FETCH (FLAGS (\\Recent))\r\nT OK FETCH completed\r\n");
    EXPECT_EQ(service.Count(Operation::CopyMessage), 1);
    // Another session learns of the copies, and of their keyword first.
    EXPECT_EQ(watcher->Run("NOOP"),
              "* FLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft $Done)\r\n"
              "* OK [PERMANENTFLAGS ()] Read-only mailbox\r\n"
              "* 2 EXISTS\r\n* 0 RECENT\r\nT OK NOOP completed\r\n");
}

TEST_F(ImapAppendTest, ACopyByPutThatFailsHalfWayIsTakenBack) {
    service.OfferCopyAndDelete(true);
    service.FailNext(Operation::CopyMessage, "MemoryAccount::CopyMessage - no COPY", 1, 405);
    client->Run("SELECT INBOX");
    // The second PUT fails: the first copy is deleted again.
    service.FailNext(Operation::PutMessage, "MemoryAccount::PutMessage - full", 1, 507, 1);
    EXPECT_EQ(client->Run("COPY 1:2 Work"),
              "T NO [UNAVAILABLE] MemoryAccount::PutMessage - full\r\n");
    EXPECT_EQ(In("work").size(), 0u);
    EXPECT_EQ(service.Count(Operation::PutMessage), 2);
    EXPECT_EQ(service.Count(Operation::DeleteMessage), 1);
    // Without PUT either, COPY is refused as before.
    service.FailNext(Operation::CopyMessage, "MemoryAccount::CopyMessage - no COPY", 1, 405);
    service.OfferPut(false);
    EXPECT_EQ(client->Run("COPY 1 Work"),
              "T NO [CANNOT] The web mail service cannot copy messages; MOVE works\r\n");
    EXPECT_EQ(In("work").size(), 0u);
}

// RFC 6851: a MOVE into the mailbox itself gives each message a new UID.
TEST_F(ImapAppendTest, AMoveWithinTheMailboxGivesNewUidsWhereTheServiceCanDelete) {
    service.OfferCopyAndDelete(true);
    client->Run("SELECT INBOX");
    client->Run("STORE 2 +FLAGS.SILENT (\\Flagged)");
    EXPECT_EQ(client->Run("MOVE 2 INBOX"),
              "* OK [COPYUID V 2 3] Moved\r\n* 2 EXPUNGE\r\n* 2 EXISTS\r\n* 2 RECENT\r\n"
              "T OK MOVE completed\r\n");
    EXPECT_EQ(client->Run("FETCH 1:2 (UID FLAGS)"),
              "* 1 FETCH (UID 1 FLAGS (\\Recent))\r\n* 2 FETCH (UID 3 FLAGS (\\Flagged \\Recent))"
              "\r\nT OK FETCH completed\r\n");
    ASSERT_EQ(In("inbox").size(), 2u);
    EXPECT_EQ(In("inbox")[1].text, "Subject: two\r\n\r\nbody two\r\n");
    // Where the service cannot delete, nothing is copied in vain.
    service.OfferCopyAndDelete(false);
    EXPECT_EQ(client->Run("MOVE 1 INBOX"),
              "T NO [CANNOT] The web mail service cannot delete messages for good, so they "
              "cannot move within their mailbox\r\n");
    EXPECT_EQ(service.Count(Operation::PutMessage), 0);
    EXPECT_EQ(In("inbox").size(), 2u);
}

// What the SMTP service submitted, the service filed in its sent folder: the
// client's own sent copy answers with that message instead of a second one.
TEST_F(ImapAppendTest, ASentCopyTheServiceKeepsAlreadyIsNotStoredTwice) {
    service.CopyToSent(true);
    auto smtp = service.Factory()();
    ASSERT_TRUE(smtp->Login("alice", "secret"));
    vxw::PartsSource text({kNote});
    smtp->SendMail("alice@example.com", {"ann@example.com"}, text);
    SubmissionRegistry::Instance().Record("Alice", "<note@example.com>", kNote.size(),
                                          std::time(nullptr));
    // The client's copy holds the Bcc the submission left out.
    const std::string copy = "Bcc: carol@example.com\r\n" + kNote;
    EXPECT_EQ(Append("\"Sent Items\" (\\Flagged)", copy),
              "T OK [APPENDUID V 1] APPEND completed\r\n");
    ASSERT_EQ(In("sent").size(), 1u);
    EXPECT_EQ(In("sent")[0].text, kNote);
    client->Run("SELECT \"Sent Items\"");
    EXPECT_EQ(client->Run("FETCH 1 (UID FLAGS)"),
              "* 1 FETCH (UID 1 FLAGS (\\Flagged \\Seen \\Recent))\r\nT OK FETCH completed\r\n");
    // Elsewhere, or another message, is stored as ever.
    EXPECT_EQ(Append("Work", copy), "T OK [APPENDUID V 1] APPEND completed\r\n");
    const std::string other = "Subject: other\r\nMessage-ID: <other@example.com>\r\n\r\nx\r\n";
    client->Run("UNSELECT");
    EXPECT_EQ(Append("\"Sent Items\"", other), "T OK [APPENDUID V 2] APPEND completed\r\n");
    EXPECT_EQ(In("sent").size(), 2u);
}

}  // namespace
