// The IMAP session as a client meets it: transcripts of whole dialogues with
// exact replies, against the in-memory web mail service.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/imap/imap_fixture.h"
#include "tests/support/log_watch.h"
#include "tests/support/random.h"

namespace {

using testing_support::ImapClient;
using testing_support::LogWatch;
using testing_support::MemoryService;
using Operation = MemoryService::Operation;

struct Exchange {
    std::string send;
    std::string expect;  // every response, tag "T"
};

const char kMessageOne[] =
    "From: Bob <bob@example.com>\r\nTo: alice@example.com\r\nSubject: Lunch\r\n"
    "Date: Mon, 3 Mar 2003 09:00:00 +0000\r\nMessage-ID: <1@example.com>\r\n\r\nAt noon?\r\n";
const char kMessageTwo[] =
    "From: Carol <carol@example.com>\r\nSubject: Report\r\n"
    "Date: Tue, 4 Mar 2003 10:00:00 +0000\r\n\r\nThe figures are in.\r\nRegards\r\n";

class ImapSessionTest : public testing_support::ImapFixture {
protected:
    void SetUp() override {
        ImapFixture::SetUp();
        service.AddAccount("alice", "secret");
        service.AddFolder("alice", {"inbox", "inbox", ""});
        service.AddFolder("alice", {"sent", "sentitems", "Sent Items"});
        service.AddFolder("alice", {"junk", "bulkmail", ""});
        service.AddFolder("alice", {"deleted", "deleteditems", "Deleted Items"});
        service.AddFolder("alice", {"work", "", "Work"});
        service.AddFolder("alice", {"plans", "", "Work/Plans"});
        service.AddFolder("alice", {"cafe", "", "Caf\xc3\xa9"});
        hrefs.push_back(service.AddMessage("alice", "inbox", kMessageOne));
        hrefs.push_back(service.AddMessage("alice", "inbox", kMessageTwo));
        StartServer();
    }

    void Play(ImapClient& client, const std::vector<Exchange>& script) {
        for (const Exchange& step : script)
            EXPECT_EQ(client.Run(step.send), step.expect) << "after " << step.send;
    }

    std::vector<std::string> hrefs;
};

TEST_F(ImapSessionTest, GreetsAndAnswersInEveryStateWhatItMayAndRefusesTheRest) {
    ImapClient client(Port());
    EXPECT_EQ(client.Greeting(),
              "* OK [CAPABILITY IMAP4rev1 LITERAL+ SASL-IR ID IDLE NAMESPACE UNSELECT UIDPLUS "
              "MOVE SPECIAL-USE CHILDREN LIST-EXTENDED APPENDLIMIT=50000000 AUTH=PLAIN] Mirelink "
              "IMAP4rev1 ready\r\n");
    // An unknown command is not echoed: it may be a password. Its tag is
    // answered, so that the client does not wait.
    client.Send("secret word\r\n");
    EXPECT_EQ(client.ReadLine(), "secret BAD Unknown command\r\n");
    Play(
        client,
        {
            {"CAPABILITY",
             "* CAPABILITY IMAP4rev1 LITERAL+ SASL-IR ID IDLE NAMESPACE UNSELECT UIDPLUS MOVE "
             "SPECIAL-USE CHILDREN LIST-EXTENDED APPENDLIMIT=50000000 AUTH=PLAIN\r\nT OK "
             "CAPABILITY completed\r\n"},
            {"noop", "T OK NOOP completed\r\n"},
            {"STARTTLS", "T BAD TLS is not offered\r\n"},
            {"APPEND INBOX {65537}", "T NO [TOOBIG] Literal too large\r\n"},
            {"FROB", "T BAD Unknown command\r\n"},
            {"SELECT INBOX", "T BAD Log in first\r\n"},
            {"FETCH 1 FLAGS", "T BAD Log in first\r\n"},
            {"LOGIN alice", "T BAD Wrong number of arguments for LOGIN\r\n"},
            {"LOGIN alice wrong",
             "T NO [AUTHENTICATIONFAILED] Invalid username or password specified\r\n"},
            {"LOGIN alice secret",
             "T OK [CAPABILITY IMAP4rev1 LITERAL+ SASL-IR ID IDLE NAMESPACE UNSELECT UIDPLUS MOVE "
             "SPECIAL-USE CHILDREN LIST-EXTENDED APPENDLIMIT=50000000] Logged in\r\n"},
            {"LOGIN alice secret", "T BAD LOGIN is not allowed after a login\r\n"},
            {"FETCH 1 FLAGS", "T BAD No mailbox selected\r\n"},
            {"SELECT foo[bar", "T NO [NONEXISTENT] No such mailbox\r\n"},
            {"FROB", "T BAD Unknown command\r\n"},
            {"NAMESPACE", "* NAMESPACE ((\"\" \"/\")) NIL NIL\r\nT OK NAMESPACE completed\r\n"},
            {"ID NIL", "* ID (\"name\" \"Mirelink\" \"version\" \"3.6\")\r\nT OK ID completed\r\n"},
            {"CREATE Stuff", "T OK CREATE completed\r\n"},
            {"CREATE Work", "T NO [ALREADYEXISTS] Mailbox exists\r\n"},
            {"APPEND INBOX ()", "T BAD APPEND takes the message as a literal\r\n"},
            {"LOGOUT", "* BYE Mirelink logging out\r\nT OK LOGOUT completed\r\n"},
        });
    EXPECT_TRUE(client.ClosedByServer());
}

TEST_F(ImapSessionTest, BadSyntaxGetsBadAndTheSessionGoesOn) {
    auto client = LoggedIn();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\r\n", "* BAD Missing tag\r\n"},
        {"T\r\n", "T BAD Missing command\r\n"},
        {"T  NOOP\r\n", "T BAD Missing command\r\n"},
        {"T NOOP \r\n", "T BAD Extra space\r\n"},
        {"T LIST \"\" \"*\r\n", "T BAD Missing '\"'\r\n"},
        {"T LIST (\"\" \"*\"\r\n", "T BAD Missing ')'\r\n"},
        {"T LIST \"\" \"a\\b\"\r\n", "T BAD Invalid escape in a quoted string\r\n"},
        {"T SELECT INBOX)\r\n", "T BAD Unexpected ')'\r\n"},
        {"T STATUS INBOX (MESSAGES FOO)\r\n", "T BAD Unknown STATUS item\r\n"},
        {"T+ NOOP\r\n", "* BAD Invalid tag\r\n"},
    };
    for (const auto& [send, expect] : cases) {
        client->Send(send);
        EXPECT_EQ(client->ReadLine(), expect) << send;
    }
    EXPECT_EQ(client->Run("NOOP"), "T OK NOOP completed\r\n");
}

TEST_F(ImapSessionTest, AuthenticatePlainWithAndWithoutInitialResponse) {
    // "\0alice\0secret" and "\0alice\0wrong" in Base64.
    const std::string good = "AGFsaWNlAHNlY3JldA==", wrong = "AGFsaWNlAHdyb25n";
    ImapClient first(Port());
    first.Greeting();
    EXPECT_EQ(first.Run("AUTHENTICATE CRAM-MD5"),
              "T NO [CANNOT] Only the PLAIN mechanism is offered\r\n");
    EXPECT_EQ(first.Run("AUTHENTICATE PLAIN " + wrong),
              "T NO [AUTHENTICATIONFAILED] Invalid username or password specified\r\n");
    EXPECT_EQ(first.Run("AUTHENTICATE PLAIN !!!"), "T BAD Invalid PLAIN authentication data\r\n");
    EXPECT_NE(first.Run("AUTHENTICATE PLAIN " + good).find("T OK [CAPABILITY"), std::string::npos);

    ImapClient second(Port());
    second.Greeting();
    second.Send("T AUTHENTICATE PLAIN\r\n");
    EXPECT_EQ(second.ReadLine(), "+ \r\n");
    second.Send("*\r\n");
    EXPECT_EQ(second.ReadLine(), "T BAD Authentication cancelled\r\n");
    second.Send("T AUTHENTICATE PLAIN\r\n");
    EXPECT_EQ(second.ReadLine(), "+ \r\n");
    second.Send(good + "\r\n");
    EXPECT_NE(second.ReadLine().find("T OK [CAPABILITY"), std::string::npos);
}

TEST_F(ImapSessionTest, CredentialsNeverReachTheLog) {
    ChangeSettings([](Config::Values& v) { v.extraLogging = true; });
    LogWatch log;
    ImapClient client(Port());
    client.Greeting();
    client.Run("LOGIN alice \"secret\"");
    client.Run("LOGOUT");
    ImapClient literal(Port());
    literal.Greeting();
    literal.Send("T LOGIN {5}\r\n");
    EXPECT_EQ(literal.ReadLine(), "+ Ready for literal data\r\n");
    literal.Send("alice {6}\r\n");
    EXPECT_EQ(literal.ReadLine(), "+ Ready for literal data\r\n");
    literal.Send("secret\r\n");
    EXPECT_NE(literal.ReadLine().find("T OK"), std::string::npos);
    // Logged in, the line after a literal user name still carries a password.
    literal.Send("U LOGIN {5}\r\n");
    EXPECT_EQ(literal.ReadLine(), "+ Ready for literal data\r\n");
    literal.Send("alice secret\r\n");
    literal.ReadLine();
    // Lines the session takes for no command, or for no UID command, may
    // hold a password in any state.
    for (const char* line : {"V\tW LOGIN alice secret\r\n", "W UID LOGIN alice secret\r\n",
                             "X secret\r\n", "Y NOOP\tsecret\r\n"}) {
        literal.Send(line);
        literal.ReadLine();
    }
    ImapClient plain(Port());
    plain.Greeting();
    // A password alone on a line is a tag without a command: it is answered
    // so, but neither the line nor the reply's tag reaches the log.
    plain.Send("secret\r\n");
    EXPECT_EQ(plain.ReadLine(), "secret BAD Missing command\r\n");
    plain.Send("T AUTHENTICATE\tPLAIN\r\n");
    plain.ReadLine();
    plain.Send("AGFsaWNlAHNlY3JldA==\r\n");
    plain.ReadLine();
    plain.Run("LOGOUT");
    ASSERT_TRUE(log.WaitFor("ImapSession::Client - T LOGOUT"));
    std::string text = log.NewText();
    EXPECT_EQ(text.find("secret"), std::string::npos) << text;
    EXPECT_EQ(text.find("AGFsaWNl"), std::string::npos) << text;
    EXPECT_NE(text.find("ImapSession::Client - T LOGIN ****"), std::string::npos) << text;
    EXPECT_NE(text.find("ImapSession::Client - T AUTHENTICATE PLAIN ****"), std::string::npos)
        << text;
}

TEST_F(ImapSessionTest, ListShowsEveryFolderWithItsSpecialUseAndMatchesPatterns) {
    auto client = LoggedIn();
    Play(*client,
         {
             {"LIST \"\" \"\"", "* LIST (\\Noselect) \"/\" \"\"\r\nT OK LIST completed\r\n"},
             {"LIST \"\" *",
              "* LIST (\\HasNoChildren) \"/\" INBOX\r\n"
              "* LIST (\\HasNoChildren) \"/\" Caf&AOk-\r\n"
              "* LIST (\\HasNoChildren \\Trash) \"/\" \"Deleted Items\"\r\n"
              "* LIST (\\HasNoChildren \\Junk) \"/\" Junk\r\n"
              "* LIST (\\HasNoChildren \\Sent) \"/\" \"Sent Items\"\r\n"
              "* LIST (\\HasChildren) \"/\" Work\r\n"
              "* LIST (\\HasNoChildren) \"/\" Work/Plans\r\n"
              "T OK LIST completed\r\n"},
             {"LIST \"\" %",
              "* LIST (\\HasNoChildren) \"/\" INBOX\r\n"
              "* LIST (\\HasNoChildren) \"/\" Caf&AOk-\r\n"
              "* LIST (\\HasNoChildren \\Trash) \"/\" \"Deleted Items\"\r\n"
              "* LIST (\\HasNoChildren \\Junk) \"/\" Junk\r\n"
              "* LIST (\\HasNoChildren \\Sent) \"/\" \"Sent Items\"\r\n"
              "* LIST (\\HasChildren) \"/\" Work\r\n"
              "T OK LIST completed\r\n"},
             {"LIST Work/ %",
              "* LIST (\\HasNoChildren) \"/\" Work/Plans\r\nT OK LIST completed\r\n"},
             {"LIST \"\" inbox", "* LIST (\\HasNoChildren) \"/\" INBOX\r\nT OK LIST completed\r\n"},
             {"LIST \"\" *s",
              "* LIST (\\HasNoChildren \\Trash) \"/\" \"Deleted Items\"\r\n"
              "* LIST (\\HasNoChildren \\Sent) \"/\" \"Sent Items\"\r\n"
              "* LIST (\\HasNoChildren) \"/\" Work/Plans\r\nT OK LIST completed\r\n"},
             {"LIST \"\" Nothing", "T OK LIST completed\r\n"},
         });
}

TEST_F(ImapSessionTest, SubscriptionsAreKeptPerAccountAcrossSessions) {
    {
        auto client = LoggedIn();
        Play(*client,
             {
                 {"SUBSCRIBE Caf&AOk-", "T OK SUBSCRIBE completed\r\n"},
                 {"SUBSCRIBE inbox", "T OK SUBSCRIBE completed\r\n"},
                 {"SUBSCRIBE Nowhere", "T NO [NONEXISTENT] No such mailbox\r\n"},
                 {"LSUB \"\" *",
                  "* LSUB () \"/\" Caf&AOk-\r\n* LSUB () \"/\" INBOX\r\nT OK LSUB completed\r\n"},
             });
    }
    auto client = LoggedIn();
    Play(*client, {
                      {"UNSUBSCRIBE Caf&AOk-", "T OK UNSUBSCRIBE completed\r\n"},
                      {"LSUB \"\" *", "* LSUB () \"/\" INBOX\r\nT OK LSUB completed\r\n"},
                  });
}

TEST_F(ImapSessionTest, SelectExamineStatusAndClose) {
    auto client = LoggedIn();
    Play(*client,
         {
             {"SELECT Nowhere", "T NO [NONEXISTENT] No such mailbox\r\n"},
             {"STATUS INBOX (MESSAGES UIDNEXT UNSEEN RECENT UIDVALIDITY)",
              "* STATUS INBOX (MESSAGES 2 UIDNEXT 3 UNSEEN 2 RECENT 2 UIDVALIDITY V)\r\n"
              "T OK STATUS completed\r\n"},
             {"EXAMINE INBOX",
              "* FLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft)\r\n"
              "* OK [PERMANENTFLAGS ()] Read-only mailbox\r\n"
              "* 2 EXISTS\r\n* 2 RECENT\r\n"
              "* OK [UNSEEN 1] First unseen message\r\n"
              "* OK [UIDVALIDITY V] UIDs valid\r\n"
              "* OK [UIDNEXT 3] Predicted next UID\r\n"
              "T OK [READ-ONLY] EXAMINE completed\r\n"},
             {"STORE 1 +FLAGS \\Flagged", "T NO [READ-ONLY] The mailbox is read-only\r\n"},
             {"SELECT INBOX",
              "* FLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft)\r\n"
              "* OK [PERMANENTFLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft \\*)] Flags "
              "permitted\r\n"
              "* 2 EXISTS\r\n* 2 RECENT\r\n"
              "* OK [UNSEEN 1] First unseen message\r\n"
              "* OK [UIDVALIDITY V] UIDs valid\r\n"
              "* OK [UIDNEXT 3] Predicted next UID\r\n"
              "T OK [READ-WRITE] SELECT completed\r\n"},
             {"FETCH 1:* FLAGS",
              "* 1 FETCH (FLAGS (\\Recent))\r\n* 2 FETCH (FLAGS (\\Recent))\r\n"
              "T OK FETCH completed\r\n"},
             {"CLOSE", "T OK CLOSE completed\r\n"},
             {"FETCH 1 FLAGS", "T BAD No mailbox selected\r\n"},
             // The first SELECT took the messages' \Recent.
             {"STATUS INBOX (RECENT)", "* STATUS INBOX (RECENT 0)\r\nT OK STATUS completed\r\n"},
             {"SELECT Work/Plans",
              "* FLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft)\r\n"
              "* OK [PERMANENTFLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft \\*)] Flags "
              "permitted\r\n"
              "* 0 EXISTS\r\n* 0 RECENT\r\n"
              "* OK [UIDVALIDITY V] UIDs valid\r\n"
              "* OK [UIDNEXT 1] Predicted next UID\r\n"
              "T OK [READ-WRITE] SELECT completed\r\n"},
             {"UNSELECT", "T OK UNSELECT completed\r\n"},
         });
}

TEST_F(ImapSessionTest, UidsStayAcrossSessionsAndNewMessagesGetNewOnes) {
    std::string first;
    {
        auto client = LoggedIn();
        client->Send("T SELECT INBOX\r\n");
        first = client->ReadResponse("T");
        EXPECT_EQ(client->Run("UID FETCH 1:* UID"),
                  "* 1 FETCH (UID 1)\r\n* 2 FETCH (UID 2)\r\nT OK UID FETCH completed\r\n");
    }
    // Meanwhile the first message left and a new one came.
    auto elsewhere = service.Factory()();
    ASSERT_TRUE(elsewhere->Login("alice", "secret"));
    elsewhere->SendMessageToTrash(hrefs[0]);
    service.AddMessage("alice", "inbox", "Subject: three\r\n\r\nthird\r\n");

    auto client = LoggedIn();
    client->Send("T SELECT INBOX\r\n");
    std::string again = client->ReadResponse("T");
    auto validity = [](const std::string& text) {
        size_t at = text.find("[UIDVALIDITY ");
        return text.substr(at, text.find(']', at) - at);
    };
    EXPECT_EQ(validity(again), validity(first));
    EXPECT_NE(again.find("[UIDNEXT 4]"), std::string::npos) << again;
    EXPECT_EQ(client->Run("FETCH 1:* (UID FLAGS)"),
              "* 1 FETCH (UID 2 FLAGS ())\r\n* 2 FETCH (UID 3 FLAGS (\\Recent))\r\n"
              "T OK FETCH completed\r\n");
}

TEST_F(ImapSessionTest, LiteralsAreReadAndBoundedAndAppendIsRefusedBeforeItsData) {
    auto client = LoggedIn();
    // A synchronizing literal waits for the go-ahead; a non-synchronizing
    // one does not (LITERAL+).
    client->Send("T STATUS {5}\r\n");
    EXPECT_EQ(client->ReadLine(), "+ Ready for literal data\r\n");
    client->Send("INBOX (MESSAGES)\r\n");
    EXPECT_EQ(client->ReadResponse("T"),
              "* STATUS INBOX (MESSAGES 2)\r\nT OK STATUS completed\r\n");
    client->Send("T STATUS {5+}\r\nINBOX (MESSAGES)\r\n");
    EXPECT_EQ(client->ReadResponse("T"),
              "* STATUS INBOX (MESSAGES 2)\r\nT OK STATUS completed\r\n");
    // No message for a mailbox that does not exist, nor one beyond the limit.
    client->Send("T APPEND Nowhere (\\Seen) {310}\r\n");
    EXPECT_EQ(client->ReadLine(), "T NO [TRYCREATE] No such mailbox\r\n");
    client->Send("T APPEND INBOX {50000001}\r\n");
    EXPECT_EQ(client->ReadLine(), "T NO [TOOBIG] The message exceeds the size limit\r\n");
    client->Send("T SELECT {65537}\r\n");
    EXPECT_EQ(client->ReadLine(), "T NO [TOOBIG] Literal too large\r\n");
    // 64 literals to a command; a synchronizing one more is refused alone.
    std::string many = "T SEARCH";
    for (int i = 0; i < 64; ++i) many += " TEXT {1+}\r\nx";
    client->Send(many + " TEXT {1}\r\n");
    EXPECT_EQ(client->ReadLine(), "T NO [LIMIT] Too many literals in one command\r\n");
    EXPECT_EQ(client->Run("NOOP"), "T OK NOOP completed\r\n");
    // LITERAL+ takes 64 KB without the go-ahead.
    client->Send("T SELECT {65536+}\r\n" + std::string(65536, 'x') + "\r\n");
    EXPECT_EQ(client->ReadLine(), "T NO [NONEXISTENT] No such mailbox\r\n");
}

// Past the bounds the bytes of a non-synchronizing literal cannot be
// skipped safely: the session ends after saying why.
TEST_F(ImapSessionTest, ANonSynchronizingLiteralBeyondTheBoundsEndsTheSession) {
    const struct {
        std::string send;
        std::string reply;
        std::string bye;
    } cases[] = {
        {"T SELECT {65537+}\r\n", "T BAD [TOOBIG] Literal too large\r\n",
         "* BYE Literal too large\r\n"},
        {"T APPEND INBOX {50000001+}\r\n", "T BAD [TOOBIG] The message exceeds the size limit\r\n",
         "* BYE Message too large\r\n"},
        {[] {
             std::string many = "T SEARCH";
             for (int i = 0; i < 70; ++i) many += " TEXT {1+}\r\nx";
             return many + "\r\n";
         }(),
         "T BAD [LIMIT] Too many literals in one command\r\n", "* BYE Too many literals\r\n"},
    };
    for (const auto& c : cases) {
        auto client = LoggedIn();
        client->Send(c.send);
        EXPECT_EQ(client->ReadLine(), c.reply) << c.send.substr(0, 30);
        EXPECT_EQ(client->ReadLine(), c.bye);
        EXPECT_TRUE(client->ClosedByServer());
    }
}

TEST_F(ImapSessionTest, AnOverlongLineEndsTheSessionWithBye) {
    auto client = LoggedIn();
    client->Send("T NOOP " + std::string(20000, 'x') + "\r\n");
    EXPECT_EQ(client->ReadLine(), "* BYE Command line too long\r\n");
    EXPECT_TRUE(client->ClosedByServer());
}

// RFC 3501 5.4: a logged-in client may stay silent far longer than the
// Timeout a command line has; after the autologout time it hears why it is
// logged out. (Times here: Timeout 1 s, autologout 2.5 s.)
TEST_F(ImapSessionTest, ALoggedInClientOutlivesTheTimeoutUntilTheAutologout) {
    ChangeSettings([](Config::Values& v) { v.timeout = 1; });
    server->Stop();
    testing_support::TestImapServer::TestOptions().autologoutMs = 2500;
    StartServer();
    ImapClient stranger(Port());
    stranger.Greeting();
    auto client = LoggedIn();
    EXPECT_NE(client->Run("SELECT INBOX").find("T OK"), std::string::npos);
    vxw::Sleep(1600);
    EXPECT_EQ(client->Run("NOOP"), "T OK NOOP completed\r\n");
    // Before a login the Timeout stays.
    EXPECT_EQ(stranger.ReadLine(), "* BYE Timed out waiting for the client\r\n");
    EXPECT_TRUE(stranger.ClosedByServer());
    vxw::Sleep(2000);
    EXPECT_EQ(client->Run("NOOP"), "T OK NOOP completed\r\n");
    EXPECT_EQ(client->ReadLine(), "* BYE Autologout; idle for too long\r\n");
    EXPECT_TRUE(client->ClosedByServer());
}

// The same commands, literals among them, cut into random pieces on the
// wire, get the same answers.
TEST_F(ImapSessionTest, CommandsCutAnywhereOnTheWireGetTheSameAnswers) {
    const std::string script =
        "T STATUS {5+}\r\nINBOX (MESSAGES UNSEEN)\r\n"
        "T EXAMINE \"INBOX\"\r\n"
        "T FETCH 1:2 (UID BODY.PEEK[HEADER.FIELDS (SUBJECT)])\r\n"
        "T SEARCH OR SUBJECT {6+}\r\nreport FROM \"bob\"\r\n"
        "T LOGOUT\r\n";
    std::string expected;
    for (int round = 0; round < 6; ++round) {
        auto client = LoggedIn();
        if (round == 0) {
            client->Send(script);
        } else {
            for (size_t at = 0; at < script.size();) {
                size_t piece = 1 + testing_support::RandomBelow(7);
                client->Send(script.substr(at, piece));
                at += piece;
            }
        }
        std::string answers;
        for (int command = 0; command < 5; ++command) answers += client->ReadResponse("T");
        answers = ImapClient::Normalize(answers);
        if (round == 0) {
            expected = answers;
            EXPECT_NE(expected.find("* SEARCH 1 2\r\n"), std::string::npos) << expected;
            EXPECT_NE(expected.find("Subject: Report"), std::string::npos) << expected;
        }
        EXPECT_EQ(answers, expected) << "round " << round;
    }
}

TEST_F(ImapSessionTest, AServiceFailureIsAnsweredNoWithTheReason) {
    auto client = LoggedIn();
    service.FailNext(Operation::ListFolder, "Hotmail::ListFolder - service down");
    EXPECT_EQ(client->Run("SELECT INBOX"),
              "T NO [UNAVAILABLE] Hotmail::ListFolder - service down\r\n");
    EXPECT_EQ(client->Run("FETCH 1 FLAGS"), "T BAD No mailbox selected\r\n");
    service.FailNext(Operation::Login, "Hotmail::Login - unreachable");
    ImapClient other(Port());
    other.Greeting();
    EXPECT_EQ(other.Run("LOGIN alice secret"),
              "T NO [UNAVAILABLE] Hotmail::Login - unreachable\r\n");
}

}  // namespace
