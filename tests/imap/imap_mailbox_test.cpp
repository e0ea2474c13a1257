// The mailboxes themselves: CREATE, DELETE and RENAME as changes of the
// service's folders (a hierarchy in the folders' names), with the UIDs and
// subscriptions that follow a renamed folder; and LIST in its extended forms.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/imap/imap_fixture.h"

namespace {

using testing_support::ImapClient;
using testing_support::MemoryService;
using Operation = MemoryService::Operation;

class ImapMailboxTest : public testing_support::ImapFixture {
protected:
    void SetUp() override {
        ImapFixture::SetUp();
        service.AddAccount("alice", "secret");
        service.AddFolder("alice", {"inbox", "inbox", ""});
        service.AddFolder("alice", {"sent", "sentitems", "Sent Items"});
        service.AddFolder("alice", {"deleted", "deleteditems", "Deleted Items"});
        service.AddFolder("alice", {"work", "", "Work"});
        service.AddFolder("alice", {"plans", "", "Work/Plans"});
        service.AddMessage("alice", "work", "Subject: one\r\n\r\nbody one\r\n");
        service.AddMessage("alice", "plans", "Subject: two\r\n\r\nbody two\r\n");
        StartServer();
        client = LoggedIn();
    }
    void TearDown() override {
        client.reset();
        ImapFixture::TearDown();
    }
    std::string Validity(const std::string& mailbox) {
        std::string answer = client->RunRaw("STATUS " + mailbox + " (UIDVALIDITY)");
        size_t at = answer.find("UIDVALIDITY ");
        return at == std::string::npos ? answer
                                       : answer.substr(at + 12, answer.find(')') - at - 12);
    }

    std::unique_ptr<ImapClient> client;
};

TEST_F(ImapMailboxTest, CreateMakesFoldersWithAHierarchyInTheirNames) {
    EXPECT_EQ(client->Run("CREATE Trips/"), "T OK CREATE completed\r\n");
    EXPECT_EQ(client->Run("CREATE Trips/2024/Caf&AOk-"), "T OK CREATE completed\r\n");
    EXPECT_EQ(client->Run("LIST \"\" Trips*"),
              "* LIST (\\HasChildren) \"/\" Trips\r\n"
              "* LIST (\\Noselect \\HasChildren) \"/\" Trips/2024\r\n"
              "* LIST (\\HasNoChildren) \"/\" Trips/2024/Caf&AOk-\r\nT OK LIST completed\r\n");
    EXPECT_EQ(client->Run("CREATE Trips/2024"), "T OK CREATE completed\r\n");
    const std::pair<std::string, std::string> refused[] = {
        {"CREATE Work", "T NO [ALREADYEXISTS] Mailbox exists\r\n"},
        {"CREATE inbox", "T NO [ALREADYEXISTS] Mailbox exists\r\n"},
        {"CREATE \"a//b\"", "T NO [CANNOT] Invalid mailbox name\r\n"},
        {"CREATE \" a\"", "T NO [CANNOT] Invalid mailbox name\r\n"},
        {"CREATE &Jjo", "T NO [CANNOT] Invalid mailbox name\r\n"},
        {"CREATE \"/\"", "T NO [CANNOT] Invalid mailbox name\r\n"},
    };
    for (const auto& [send, reply] : refused) EXPECT_EQ(client->Run(send), reply) << send;
    service.OfferFolderChanges(false);
    EXPECT_EQ(client->Run("CREATE Other"),
              "T NO [CANNOT] CREATE is not possible: folders are kept at the web mail service\r\n");
}

TEST_F(ImapMailboxTest, DeleteRefusesWhatMustStayAndStartsAFolderMadeAgainAnew) {
    const std::pair<std::string, std::string> refused[] = {
        {"DELETE INBOX", "T NO [CANNOT] The inbox and the special folders cannot be deleted\r\n"},
        {"DELETE \"Sent Items\"",
         "T NO [CANNOT] The inbox and the special folders cannot be deleted\r\n"},
        {"DELETE Work", "T NO [HASCHILDREN] Mailbox has children, delete them first\r\n"},
        {"DELETE Nowhere", "T NO [NONEXISTENT] No such mailbox\r\n"},
    };
    for (const auto& [send, reply] : refused) EXPECT_EQ(client->Run(send), reply) << send;
    const std::string before = Validity("Work/Plans");
    client->Run("SELECT Work/Plans");
    EXPECT_EQ(client->Run("DELETE Work/Plans"), "T OK DELETE completed\r\n");
    EXPECT_EQ(client->Run("FETCH 1 UID"), "T BAD No mailbox selected\r\n");
    EXPECT_EQ(client->Run("DELETE Work/Plans"), "T NO [NONEXISTENT] No such mailbox\r\n");
    EXPECT_EQ(client->Run("CREATE Work/Plans"), "T OK CREATE completed\r\n");
    EXPECT_GT(std::stoul(Validity("Work/Plans")), std::stoul(before));
    EXPECT_EQ(client->Run("STATUS Work/Plans (MESSAGES UIDNEXT)"),
              "* STATUS Work/Plans (MESSAGES 0 UIDNEXT 1)\r\nT OK STATUS completed\r\n");
    service.OfferFolderChanges(false);
    EXPECT_EQ(client->Run("DELETE Work/Plans"),
              "T NO [CANNOT] DELETE is not possible: folders are kept at the web mail service\r\n");
}

// RENAME moves the folder and those below it; each message keeps its UID
// and flags, the subscriptions follow, and the selected view with them.
TEST_F(ImapMailboxTest, RenameMovesTheFolderAndThoseBelowWithTheirUids) {
    client->Run("SELECT Work/Plans");
    client->Run("STORE 1 +FLAGS (\\Flagged)");
    client->Run("SUBSCRIBE Work");
    client->Run("SUBSCRIBE Work/Plans");
    const std::string validity = Validity("Work/Plans");
    EXPECT_EQ(client->Run("RENAME Work Job/Old"), "T OK RENAME completed\r\n");
    EXPECT_EQ(client->Run("LIST \"\" *"),
              "* LIST (\\HasNoChildren) \"/\" INBOX\r\n"
              "* LIST (\\HasNoChildren \\Trash) \"/\" \"Deleted Items\"\r\n"
              "* LIST (\\Noselect \\HasChildren) \"/\" Job\r\n"
              "* LIST (\\HasChildren) \"/\" Job/Old\r\n"
              "* LIST (\\HasNoChildren) \"/\" Job/Old/Plans\r\n"
              "* LIST (\\HasNoChildren \\Sent) \"/\" \"Sent Items\"\r\nT OK LIST completed\r\n");
    EXPECT_EQ(
        client->Run("LSUB \"\" *"),
        "* LSUB () \"/\" Job/Old\r\n* LSUB () \"/\" Job/Old/Plans\r\nT OK LSUB completed\r\n");
    EXPECT_EQ(Validity("Job/Old/Plans"), validity);
    EXPECT_EQ(client->Run("NOOP"), "T OK NOOP completed\r\n");
    EXPECT_EQ(client->Run("FETCH 1 (UID FLAGS)"),
              "* 1 FETCH (UID 1 FLAGS (\\Flagged \\Recent))\r\nT OK FETCH completed\r\n");
    const std::pair<std::string, std::string> refused[] = {
        {"RENAME INBOX Old",
         "T NO [CANNOT] The inbox and the special folders cannot be renamed\r\n"},
        {"RENAME Nowhere Else", "T NO [NONEXISTENT] No such mailbox\r\n"},
        {"RENAME Job/Old \"Sent Items\"", "T NO [ALREADYEXISTS] Mailbox exists\r\n"},
        {"RENAME Job/Old Job/Old/New", "T NO [CANNOT] A mailbox cannot move below itself\r\n"},
    };
    for (const auto& [send, reply] : refused) EXPECT_EQ(client->Run(send), reply) << send;
}

TEST_F(ImapMailboxTest, ARenameThatFailsHalfWayIsTakenBack) {
    service.FailNext(Operation::RenameFolder, "MemoryAccount::RenameFolder - busy", 1, 503);
    EXPECT_EQ(client->Run("RENAME Work/Plans Ideas"),
              "T NO [UNAVAILABLE] MemoryAccount::RenameFolder - busy\r\n");
    // The second of two moves fails: the first goes back.
    service.FailNext(Operation::RenameFolder, "MemoryAccount::RenameFolder - busy", 1, 503, 1);
    EXPECT_EQ(client->Run("RENAME Work Job"),
              "T NO [UNAVAILABLE] MemoryAccount::RenameFolder - busy\r\n");
    EXPECT_EQ(client->Run("LIST \"\" *o*"),
              "* LIST (\\HasChildren) \"/\" Work\r\n* LIST (\\HasNoChildren) \"/\" Work/Plans\r\n"
              "T OK LIST completed\r\n");
    EXPECT_EQ(service.Count(Operation::RenameFolder), 4);
    service.OfferFolderChanges(false);
    EXPECT_EQ(client->Run("RENAME Work Job"),
              "T NO [CANNOT] RENAME is not possible: folders are kept at the web mail service\r\n");
}

TEST_F(ImapMailboxTest, ListTakesTheExtendedFormsClientsSend) {
    client->Run("SUBSCRIBE Work/Plans");
    client->Run("SUBSCRIBE \"Sent Items\"");
    client->Run("CREATE Gone");
    client->Run("SUBSCRIBE Gone");
    client->Run("DELETE Gone");
    const std::pair<std::string, std::string> cases[] = {
        {"LIST (SPECIAL-USE) \"\" *",
         "* LIST (\\HasNoChildren \\Trash) \"/\" \"Deleted Items\"\r\n"
         "* LIST (\\HasNoChildren \\Sent) \"/\" \"Sent Items\"\r\n"},
        {"LIST \"\" * RETURN (SPECIAL-USE)",
         "* LIST (\\HasNoChildren) \"/\" INBOX\r\n"
         "* LIST (\\HasNoChildren \\Trash) \"/\" \"Deleted Items\"\r\n"
         "* LIST (\\HasNoChildren \\Sent) \"/\" \"Sent Items\"\r\n"
         "* LIST (\\HasChildren) \"/\" Work\r\n* LIST (\\HasNoChildren) \"/\" Work/Plans\r\n"},
        {"LIST \"\" (INBOX Work/%)",
         "* LIST (\\HasNoChildren) \"/\" INBOX\r\n* LIST (\\HasNoChildren) \"/\" Work/Plans\r\n"},
        {"LIST (SUBSCRIBED) \"\" *",
         "* LIST (\\HasNoChildren \\Sent \\Subscribed) \"/\" \"Sent Items\"\r\n"
         "* LIST (\\HasNoChildren \\Subscribed) \"/\" Work/Plans\r\n"
         "* LIST (\\Subscribed \\NonExistent) \"/\" Gone\r\n"},
        {"LIST (SUBSCRIBED RECURSIVEMATCH REMOTE) \"\" %",
         "* LIST (\\HasNoChildren \\Sent \\Subscribed) \"/\" \"Sent Items\"\r\n"
         "* LIST (\\HasChildren) \"/\" Work (CHILDINFO (\"SUBSCRIBED\"))\r\n"
         "* LIST (\\Subscribed \\NonExistent) \"/\" Gone\r\n"},
        {"LIST \"\" W% RETURN (CHILDREN SUBSCRIBED)", "* LIST (\\HasChildren) \"/\" Work\r\n"},
        {"LIST \"\" Work/% RETURN (SUBSCRIBED)",
         "* LIST (\\HasNoChildren \\Subscribed) \"/\" Work/Plans\r\n"},
    };
    for (const auto& [send, responses] : cases)
        EXPECT_EQ(client->Run(send), responses + "T OK LIST completed\r\n") << send;
    const std::pair<std::string, std::string> bad[] = {
        {"LIST (RECURSIVEMATCH) \"\" *", "T BAD RECURSIVEMATCH needs another selection option\r\n"},
        {"LIST (RECURSIVEMATCH REMOTE) \"\" *",
         "T BAD RECURSIVEMATCH needs another selection option\r\n"},
        {"LIST (FROB) \"\" *", "T BAD Unknown LIST option\r\n"},
        {"LIST \"\" * RETURN (FROB)", "T BAD Unknown LIST option\r\n"},
        {"LIST \"\" * RETURN", "T BAD Invalid arguments for LIST\r\n"},
        {"LIST \"\" ()", "T BAD LIST needs a pattern\r\n"},
        {"LIST \"\"", "T BAD Invalid arguments for LIST\r\n"},
    };
    for (const auto& [send, reply] : bad) EXPECT_EQ(client->Run(send), reply) << send;
}

}  // namespace
