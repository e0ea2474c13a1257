// What a client changes: STORE, EXPUNGE (to the deleted-items folder, or for
// good there where the service can), COPY and MOVE with COPYUID, and how
// another session and IDLE learn of it. Nothing is moved that the client did
// not ask for and the service did not confirm.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "tests/imap/imap_fixture.h"

namespace {

using testing_support::ImapClient;
using testing_support::MemoryService;
using Operation = MemoryService::Operation;

class ImapChangesTest : public testing_support::ImapFixture {
protected:
    void SetUp() override {
        ImapFixture::SetUp();
        service.AddAccount("alice", "secret");
        service.AddFolder("alice", {"inbox", "inbox", ""});
        service.AddFolder("alice", {"deleted", "deleteditems", "Deleted Items"});
        service.AddFolder("alice", {"work", "", "Work"});
        for (const char* subject : {"one", "two", "three", "four"})
            service.AddMessage(
                "alice", "inbox",
                std::string("Subject: ") + subject + "\r\n\r\nbody " + subject + "\r\n");
        StartServer();
    }
    std::vector<std::string> Folder(const std::string& key) {
        std::vector<std::string> subjects;
        for (const auto& m : service.Mailbox("alice"))
            if (m.folder == key) subjects.push_back(m.text.substr(9, m.text.find('\r') - 9));
        return subjects;
    }
};

using Subjects = std::vector<std::string>;

TEST_F(ImapChangesTest, StoreChangesFlagsAndKeywordsThatLastAcrossSessions) {
    {
        auto client = LoggedIn();
        client->Run("SELECT INBOX");
        // A keyword new to the folder is announced before it is used.
        EXPECT_EQ(client->Run("STORE 1:2 +FLAGS (\\Flagged $Work)"),
                  "* FLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft $Work)\r\n"
                  "* OK [PERMANENTFLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft $Work \\*)] "
                  "Flags permitted\r\n"
                  "* 1 FETCH (FLAGS (\\Flagged \\Recent $Work))\r\n"
                  "* 2 FETCH (FLAGS (\\Flagged \\Recent $Work))\r\nT OK STORE completed\r\n");
        EXPECT_EQ(client->Run("UID STORE 2 -FLAGS.SILENT (\\Flagged)"),
                  "T OK UID STORE completed\r\n");
        EXPECT_EQ(client->Run("STORE 3 FLAGS \\Answered \\Seen"),
                  "* 3 FETCH (FLAGS (\\Answered \\Seen \\Recent))\r\nT OK STORE completed\r\n");
        EXPECT_EQ(client->Run("UID STORE 3 FLAGS (\\Draft)"),
                  "* 3 FETCH (UID 3 FLAGS (\\Draft \\Recent))\r\nT OK UID STORE completed\r\n");
        EXPECT_EQ(client->Run("STORE 1 +FLAGS (\\Recent)"),
                  "T BAD Flag that cannot be stored: \\Recent\r\n");
        EXPECT_EQ(client->Run("STORE 1 +FLAGS (\\Bogus)"),
                  "T BAD Flag that cannot be stored: \\Bogus\r\n");
        EXPECT_EQ(client->Run("STORE 1 COLOUR (red)"), "T BAD Unknown STORE item\r\n");
    }
    auto client = LoggedIn();
    std::string select = client->Run("SELECT INBOX");
    EXPECT_NE(select.find("* FLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft $Work)"),
              std::string::npos)
        << select;
    EXPECT_EQ(client->Run("FETCH 1:4 FLAGS"),
              "* 1 FETCH (FLAGS (\\Flagged $Work))\r\n* 2 FETCH (FLAGS ($Work))\r\n"
              "* 3 FETCH (FLAGS (\\Draft))\r\n* 4 FETCH (FLAGS ())\r\nT OK FETCH completed\r\n");
}

TEST_F(ImapChangesTest, OnlyAChangeOfTheReadStateReachesTheService) {
    // Work holds a message whose read state the service keeps; the inbox's
    // have none there, so the gateway keeps their \Seen itself.
    service.KeepReadState(true);
    service.AddMessage("alice", "work", "Subject: kept\r\n\r\nbody\r\n");
    const struct {
        const char* folder;
        const char* store;
        int readStateChanges;  // at the service, so far
    } cases[] = {
        {"INBOX", "STORE 1 +FLAGS (\\Seen \\Flagged)", 0},
        {"Work", "STORE 1 +FLAGS (\\Flagged)", 0},
        {"Work", "STORE 1 +FLAGS (\\Seen)", 1},
        {"Work", "STORE 1 +FLAGS (\\Seen \\Answered)", 1},
        {"Work", "STORE 1 -FLAGS (\\Flagged)", 1},
        {"Work", "STORE 1 +FLAGS ($Later)", 1},
    };
    auto client = LoggedIn();
    for (const auto& c : cases) {
        client->Run(std::string("SELECT ") + c.folder);
        client->Run(c.store);
        EXPECT_EQ(service.Count(Operation::SetReadState), c.readStateChanges) << c.store;
    }
    auto next = LoggedIn();
    next->Run("SELECT INBOX");
    EXPECT_EQ(next->Run("FETCH 1 FLAGS"),
              "* 1 FETCH (FLAGS (\\Flagged \\Seen))\r\nT OK FETCH completed\r\n");
    // What a SELECT showed, the service's read state and the keywords
    // included, is no change to report.
    next->Run("SELECT Work");
    EXPECT_EQ(next->Run("NOOP"), "T OK NOOP completed\r\n");
    EXPECT_EQ(next->Run("FETCH 1 FLAGS"),
              "* 1 FETCH (FLAGS (\\Answered \\Seen $Later))\r\nT OK FETCH completed\r\n");
}

TEST_F(ImapChangesTest, SearchFindsByFlagsSizeHeaderAndText) {
    auto client = LoggedIn();
    client->Run("SELECT INBOX");
    client->Run("STORE 2 +FLAGS (\\Flagged \\Seen)");
    client->Run("STORE 4 +FLAGS (\\Deleted)");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"ALL", "1 2 3 4"},
        {"FLAGGED", "2"},
        {"UNSEEN UNDELETED", "1 3"},
        {"NOT SEEN", "1 3 4"},
        {"OR DELETED FLAGGED", "2 4"},
        {"(SEEN) (FLAGGED)", "2"},
        {"SUBJECT T", "2 3"},
        {"HEADER Subject \"hre\"", "3"},
        {"BODY \"BODY F\"", "4"},
        {"TEXT \"subject: one\"", "1"},
        {"LARGER 28", "3"},
        {"SMALLER 27", "1 2"},
        {"2:3", "2 3"},
        {"UID 3:*", "3 4"},
        {"NEW", "1 3 4"},
        {"SINCE 1-Jan-2000", "1 2 3 4"},
        {"BEFORE 1-Jan-2000", ""},
        {"CHARSET UTF-8 SUBJECT two", "2"},
    };
    for (const auto& [keys, found] : cases) {
        EXPECT_EQ(client->Run("SEARCH " + keys),
                  "* SEARCH" + (found.empty() ? "" : " " + found) + "\r\nT OK SEARCH completed\r\n")
            << keys;
    }
    EXPECT_EQ(client->Run("UID SEARCH FLAGGED"), "* SEARCH 2\r\nT OK UID SEARCH completed\r\n");
    EXPECT_EQ(client->Run("SEARCH CHARSET KOI8-R ALL"),
              "T NO [BADCHARSET (US-ASCII UTF-8)] Unknown character set\r\n");
    EXPECT_EQ(client->Run("SEARCH FROB"), "T BAD Unknown search key FROB\r\n");
    EXPECT_EQ(client->Run("SEARCH SINCE yesterday"), "T BAD Invalid date\r\n");
    EXPECT_EQ(client->Run("SEARCH OR SEEN"), "T BAD Missing search key\r\n");
}

TEST_F(ImapChangesTest, ExpungeMovesTheDeletedMessagesToDeletedItemsAndTellsTheClient) {
    auto client = LoggedIn();
    client->Run("SELECT INBOX");
    client->Run("STORE 2,4 +FLAGS.SILENT (\\Deleted \\Flagged)");
    client->Run("STORE 3 +FLAGS.SILENT (\\Deleted)");
    EXPECT_EQ(client->Run("UID EXPUNGE 1:3"),
              "* 3 EXPUNGE\r\n* 2 EXPUNGE\r\n* 2 RECENT\r\nT OK UID EXPUNGE completed\r\n");
    EXPECT_EQ(Folder("inbox"), (Subjects{"one", "four"}));
    EXPECT_EQ(Folder("deleted"), (Subjects{"two", "three"}));
    EXPECT_EQ(client->Run("FETCH 1:* UID"),
              "* 1 FETCH (UID 1)\r\n* 2 FETCH (UID 4)\r\nT OK FETCH completed\r\n");
    // CLOSE removes the rest without a word; UNSELECT would not.
    EXPECT_EQ(client->Run("CLOSE"), "T OK CLOSE completed\r\n");
    EXPECT_EQ(Folder("inbox"), (Subjects{"one"}));
    // In deleted items the messages keep their other flags, not \Deleted.
    client->Run("SELECT \"Deleted Items\"");
    EXPECT_EQ(
        client->Run("FETCH 1:* (UID FLAGS)"),
        "* 1 FETCH (UID 1 FLAGS (\\Recent))\r\n* 2 FETCH (UID 2 FLAGS (\\Flagged \\Recent))\r\n"
        "* 3 FETCH (UID 3 FLAGS (\\Flagged \\Recent))\r\nT OK FETCH completed\r\n");
}

TEST_F(ImapChangesTest, InDeletedItemsExpungeNeedsTheServiceToDeleteForGood) {
    service.AddMessage("alice", "deleted", "Subject: old\r\n\r\nold\r\n");
    auto client = LoggedIn();
    client->Run("SELECT \"Deleted Items\"");
    client->Run("STORE 1 +FLAGS (\\Deleted)");
    EXPECT_EQ(client->Run("EXPUNGE"),
              "T NO [CANNOT] The web mail service cannot delete messages for good; the messages "
              "stay in its deleted-items folder\r\n");
    EXPECT_EQ(Folder("deleted"), (Subjects{"old"}));
    service.OfferCopyAndDelete(true);
    EXPECT_EQ(client->Run("EXPUNGE"), "* 1 EXPUNGE\r\n* 0 RECENT\r\nT OK EXPUNGE completed\r\n");
    EXPECT_EQ(Folder("deleted"), Subjects{});
}

TEST_F(ImapChangesTest, AFailedMoveStopsTheExpungeAndOnlyWhatMovedIsReported) {
    auto client = LoggedIn();
    client->Run("SELECT INBOX");
    client->Run("STORE 1:4 +FLAGS.SILENT (\\Deleted)");
    service.FailNext(Operation::MoveMessage, "Hotmail::MoveMessage - refused", 1);
    EXPECT_EQ(client->Run("EXPUNGE"), "T NO [UNAVAILABLE] Hotmail::MoveMessage - refused\r\n");
    EXPECT_EQ(Folder("inbox").size(), 4u);
    EXPECT_EQ(
        client->Run("EXPUNGE"),
        "* 4 EXPUNGE\r\n* 3 EXPUNGE\r\n* 2 EXPUNGE\r\n* 1 EXPUNGE\r\n* 0 RECENT\r\n"
        "T OK EXPUNGE completed\r\n");
}

// Two sessions expunging one message: the second finds it gone at the
// service, which is what it asked for. A message gone before a FETCH gets
// NO [EXPUNGEISSUED] (a STORE changes nothing of it, and succeeds), and the
// next look reports it expunged.
TEST_F(ImapChangesTest, AMessageTheServiceNoLongerHasIsExpungedNotAFailure) {
    auto first = LoggedIn();
    auto second = LoggedIn();
    for (auto* client : {first.get(), second.get()}) {
        client->Run("SELECT INBOX");
        client->Run("STORE 1 +FLAGS.SILENT (\\Deleted)");
    }
    EXPECT_EQ(first->Run("EXPUNGE"), "* 1 EXPUNGE\r\n* 3 RECENT\r\nT OK EXPUNGE completed\r\n");
    // The second session's \Recent are those the first did not take.
    EXPECT_EQ(second->Run("EXPUNGE"), "* 1 EXPUNGE\r\nT OK EXPUNGE completed\r\n");
    EXPECT_EQ(Folder("deleted"), (Subjects{"one"}));
    auto elsewhere = service.Factory()();
    ASSERT_TRUE(elsewhere->Login("alice", "secret"));
    elsewhere->SendMessageToTrash(service.Mailbox("alice")[1].href);  // two
    for (const char* command : {"FETCH 1 BODY[TEXT]", "UID FETCH 2 BODY[]"})
        EXPECT_EQ(second->Run(command),
                  "T NO [EXPUNGEISSUED] Some of the requested messages no longer exist\r\n")
            << command;
    EXPECT_EQ(second->Run("NOOP"), "* 1 EXPUNGE\r\nT OK NOOP completed\r\n");
}

// INTERNALDATE is when the message reached the service where the listing
// says so, else the topmost Received field's date, else the Date field; it
// goes along with a MOVE or COPY (RFC 3501 6.4.7) even where the service
// dates the moved message anew, and SEARCH BEFORE/SINCE go by it.
TEST_F(ImapChangesTest, TheInternalDateIsWhenTheMessageArrivedAndTravelsWithIt) {
    service.SetReceived(service.Mailbox("alice")[0].href, "2024-03-04T09:15:00Z");
    service.AddMessage("alice", "inbox",
                       "Received: from b by c; Tue, 2 Jan 2024 10:00:00 +0000\r\n"
                       "Received: from a by b; Mon, 1 Jan 2024 09:00:00 +0000\r\n"
                       "Date: Sun, 31 Dec 2023 08:00:00 +0000\r\nSubject: five\r\n\r\nfive\r\n");
    service.AddMessage("alice", "inbox",
                       "Date: Fri, 29 Dec 2023 12:00:00 +0100\r\nSubject: six\r\n\r\nsix\r\n");
    service.OfferCopyAndDelete(true);
    auto client = LoggedIn();
    client->Run("SELECT INBOX");
    auto dates = [&client](const std::string& command) {
        client->Send("T " + command + "\r\n");
        return client->ReadResponse("T");
    };
    const std::string expected =
        "* 1 FETCH (INTERNALDATE \" 4-Mar-2024 09:15:00 +0000\")\r\n"
        "* 5 FETCH (INTERNALDATE \" 2-Jan-2024 10:00:00 +0000\")\r\n"
        "* 6 FETCH (INTERNALDATE \"29-Dec-2023 11:00:00 +0000\")\r\nT OK FETCH completed\r\n";
    EXPECT_EQ(dates("FETCH 1,5:6 INTERNALDATE"), expected);
    // The boundary days: SINCE and ON take the day itself, BEFORE does not;
    // messages 2 to 4 arrived today (first seen now), and a client's sync
    // window "SINCE today" must find them. SENT* go by the Date field's day
    // as written (message 6: the 29th at 12:00 +0100).
    char today[16];
    const std::time_t now = std::time(nullptr);
    std::strftime(today, sizeof today, "%d-%b-%Y", std::gmtime(&now));
    const std::string day(today);
    const std::vector<std::pair<std::string, std::string>> searches = {
        {"BEFORE 2-Jan-2024", "6"},
        {"SINCE 2-Jan-2024 BEFORE 5-Mar-2024", "1 5"},
        {"ON 4-Mar-2024", "1"},
        {"BEFORE 4-Mar-2024", "5 6"},
        {"SINCE 4-Mar-2024", "1 2 3 4"},
        {"SINCE " + day, "2 3 4"},
        {"ON " + day, "2 3 4"},
        {"BEFORE " + day, "1 5 6"},
        {"SENTON 29-Dec-2023", "6"},
        {"SENTBEFORE 29-Dec-2023", ""},
        {"SENTBEFORE 30-Dec-2023", "6"},
        {"SENTSINCE 29-Dec-2023", "5 6"},
        {"SENTSINCE 31-Dec-2023", "5"},
    };
    for (const auto& [keys, found] : searches)
        EXPECT_EQ(client->Run("SEARCH " + keys),
                  "* SEARCH" + (found.empty() ? "" : " " + found) + "\r\nT OK SEARCH completed\r\n")
            << keys;
    client->Run("COPY 1 Work");
    client->Run("MOVE 5:6 Work");
    client->Run("SELECT Work");
    EXPECT_EQ(dates("FETCH 1:3 INTERNALDATE"),
              "* 1 FETCH (INTERNALDATE \" 4-Mar-2024 09:15:00 +0000\")\r\n"
              "* 2 FETCH (INTERNALDATE \" 2-Jan-2024 10:00:00 +0000\")\r\n"
              "* 3 FETCH (INTERNALDATE \"29-Dec-2023 11:00:00 +0000\")\r\nT OK FETCH completed\r\n");
}

TEST_F(ImapChangesTest, MoveAndCopyGiveTheNewUidsAndKeepTheFlags) {
    auto client = LoggedIn();
    client->Run("SELECT INBOX");
    client->Run("STORE 2 +FLAGS (\\Flagged $Later)");
    // Without COPY and PUT at the service.
    service.OfferPut(false);
    EXPECT_EQ(client->Run("COPY 1 Work"),
              "T NO [CANNOT] The web mail service cannot copy messages; MOVE works\r\n");
    EXPECT_EQ(client->Run("MOVE 1 Nowhere"), "T NO [TRYCREATE] No such mailbox\r\n");
    EXPECT_EQ(client->Run("MOVE 1 INBOX"),
              "T NO [CANNOT] The web mail service cannot delete messages for good, so they "
              "cannot move within their mailbox\r\n");
    EXPECT_EQ(client->Run("UID MOVE 2:3 Work"),
              "* OK [COPYUID V 2:3 1:2] Moved\r\n* 3 EXPUNGE\r\n* 2 EXPUNGE\r\n* 2 RECENT\r\n"
              "T OK UID MOVE completed\r\n");
    EXPECT_EQ(Folder("work"), (Subjects{"two", "three"}));
    service.OfferCopyAndDelete(true);
    EXPECT_EQ(client->Run("COPY 1:2 Work"), "T OK [COPYUID V 1,4 3:4] COPY completed\r\n");
    EXPECT_EQ(Folder("inbox"), (Subjects{"one", "four"}));
    client->Run("SELECT Work");
    EXPECT_EQ(client->Run("FETCH 1:* (UID FLAGS)"),
              "* 1 FETCH (UID 1 FLAGS (\\Flagged \\Recent $Later))\r\n"
              "* 2 FETCH (UID 2 FLAGS (\\Recent))\r\n* 3 FETCH (UID 3 FLAGS (\\Recent))\r\n"
              "* 4 FETCH (UID 4 FLAGS (\\Recent))\r\nT OK FETCH completed\r\n");
}

TEST_F(ImapChangesTest, AMoveByCopyAndExpungeLeavesNoSecondCopyInDeletedItems) {
    service.OfferCopyAndDelete(true);
    auto client = LoggedIn();
    client->Run("SELECT INBOX");
    EXPECT_EQ(client->Run("COPY 1 Work"), "T OK [COPYUID V 1 1] COPY completed\r\n");
    client->Run("STORE 1 +FLAGS.SILENT (\\Deleted)");
    EXPECT_EQ(client->Run("EXPUNGE"), "* 1 EXPUNGE\r\n* 3 RECENT\r\nT OK EXPUNGE completed\r\n");
    EXPECT_EQ(Folder("deleted"), Subjects{});
    EXPECT_EQ(Folder("work"), Subjects{"one"});
    // A service without DELETE: the message goes to the deleted items as ever.
    EXPECT_EQ(client->Run("COPY 1 Work"), "T OK [COPYUID V 2 2] COPY completed\r\n");
    service.OfferCopyAndDelete(false);
    client->Run("STORE 1 +FLAGS.SILENT (\\Deleted)");
    EXPECT_EQ(client->Run("EXPUNGE"), "* 1 EXPUNGE\r\n* 2 RECENT\r\nT OK EXPUNGE completed\r\n");
    EXPECT_EQ(Folder("deleted"), Subjects{"two"});
    EXPECT_EQ(Folder("work"), (Subjects{"one", "two"}));
}

TEST_F(ImapChangesTest, ACopyThatFailsHalfWayIsTakenBack) {
    service.OfferCopyAndDelete(true);
    auto client = LoggedIn();
    client->Run("SELECT INBOX");
    // The second message leaves the service meanwhile: its copy fails.
    auto elsewhere = service.Factory()();
    ASSERT_TRUE(elsewhere->Login("alice", "secret"));
    elsewhere->SendMessageToTrash(service.Mailbox("alice")[1].href);
    EXPECT_EQ(client->Run("COPY 1:3 Work"),
              "T NO [EXPUNGEISSUED] Some of the requested messages no longer exist\r\n");
    EXPECT_EQ(Folder("work"), Subjects{});
    EXPECT_EQ(Folder("inbox"), (Subjects{"one", "three", "four"}));
    // The next look reports what left (RFC 2180 4.4.1).
    EXPECT_EQ(client->Run("NOOP"), "* 2 EXPUNGE\r\nT OK NOOP completed\r\n");
}

TEST_F(ImapChangesTest, NoopAndIdleReportWhatOtherSessionsAndTheServiceChanged) {
    auto watcher = LoggedIn();
    watcher->Run("SELECT INBOX");
    auto actor = LoggedIn();
    actor->Run("SELECT INBOX");
    actor->Run("STORE 1 +FLAGS.SILENT (\\Flagged)");
    actor->Run("STORE 2 +FLAGS.SILENT (\\Deleted)");
    actor->Run("EXPUNGE");
    EXPECT_EQ(watcher->Run("NOOP"),
              "* 2 EXPUNGE\r\n* 1 FETCH (FLAGS (\\Flagged \\Recent))\r\nT OK NOOP completed\r\n");
    watcher->Send("T IDLE\r\n");
    EXPECT_EQ(watcher->ReadLine(), "+ idling\r\n");
    service.AddMessage("alice", "inbox", "Subject: five\r\n\r\nfive\r\n");
    EXPECT_EQ(watcher->ReadLine(), "* 4 EXISTS\r\n");
    EXPECT_EQ(watcher->ReadLine(), "* 4 RECENT\r\n");
    // DONE is a word of the grammar, which is case-insensitive.
    watcher->Send("done\r\n");
    EXPECT_EQ(watcher->ReadLine(), "T OK IDLE terminated\r\n");
    // A keyword another session adds is announced before it is shown; a
    // COPY into the selected folder shows at once.
    actor->Run("STORE 1 +FLAGS.SILENT ($Work)");
    std::string news = watcher->Run("NOOP");
    EXPECT_EQ(news.find("* FLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft $Work)\r\n"), 0u)
        << news;
    EXPECT_LT(news.find("PERMANENTFLAGS"), news.find("* 1 FETCH (FLAGS (\\Flagged \\Recent $Work))"))
        << news;
    service.OfferCopyAndDelete(true);
    EXPECT_EQ(watcher->Run("COPY 2 INBOX"),
              "* 5 EXISTS\r\n* 5 RECENT\r\nT OK [COPYUID V 3 6] COPY completed\r\n");
}

// A CLOSE whose expunge fails answers NO and leaves the mailbox selected, so
// the client can try again.
TEST_F(ImapChangesTest, ACloseThatCannotExpungeKeepsTheMailboxSelected) {
    auto client = LoggedIn();
    client->Run("SELECT INBOX");
    client->Run("STORE 3:4 +FLAGS.SILENT (\\Deleted)");
    service.FailNext(Operation::MoveMessage, "Hotmail::MoveMessage - refused");
    EXPECT_EQ(client->Run("CLOSE"), "T NO [UNAVAILABLE] Hotmail::MoveMessage - refused\r\n");
    EXPECT_EQ(client->Run("FETCH 4 UID"), "* 4 FETCH (UID 4)\r\nT OK FETCH completed\r\n");
    EXPECT_EQ(client->Run("CLOSE"), "T OK CLOSE completed\r\n");
    EXPECT_EQ(Folder("inbox"), (Subjects{"one", "two"}));
}

TEST_F(ImapChangesTest, AShutDownClosesASessionInIdleAtOnce) {
    auto client = LoggedIn();
    client->Run("SELECT INBOX");
    client->Send("T IDLE\r\n");
    EXPECT_EQ(client->ReadLine(), "+ idling\r\n");
    server->Shutdown();
    EXPECT_EQ(client->ReadLine(), "* BYE Shutting down, try again later\r\n");
    EXPECT_EQ(client->Line().ReadToClose(), "");
}

}  // namespace
