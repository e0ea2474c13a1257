// FETCH: the items, sections and partial fetches byte for byte, \Seen as a
// side effect, and what each costs at the service: header fields the listing
// carries need no download, and a header sweep downloads each message once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/imap/imap_fixture.h"

namespace {

using testing_support::MemoryService;
using Operation = MemoryService::Operation;

const std::string kPlain =
    "From: Bob <bob@example.com>\r\nTo: alice@example.com\r\nSubject: Lunch\r\n"
    "Date: Mon, 3 Mar 2003 09:00:00 +0000\r\nMessage-ID: <1@example.com>\r\n\r\nAt noon?\r\n";
const std::string kMultipart =
    "From: Carol <carol@example.com>\r\nSubject: Report\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
    "--b\r\nContent-Type: text/plain\r\n\r\nSee attached.\r\n"
    "--b\r\nContent-Type: text/csv; name=\"a.csv\"\r\n\r\n1,2\r\n3,4\r\n--b--\r\n";

class ImapFetchTest : public testing_support::ImapFixture {
protected:
    void Start(bool readState, bool listHeaders) {
        service.AddAccount("alice", "secret");
        service.KeepReadState(readState);
        service.ListHeaders(listHeaders);
        service.AddMessage("alice", "inbox", kPlain);
        service.AddMessage("alice", "inbox", kMultipart);
        StartServer();
        client = LoggedIn();
        client->Run("SELECT INBOX");
    }
    void TearDown() override {
        client.reset();
        ImapFixture::TearDown();
    }
    std::string Fetch(const std::string& what) { return client->Run("FETCH " + what); }

    std::unique_ptr<testing_support::ImapClient> client;
};

std::string Literal(const std::string& text) {
    return "{" + std::to_string(text.size()) + "}\r\n" + text;
}

TEST_F(ImapFetchTest, SectionsAndPartialsAreTheBytesOfTheMessage) {
    Start(false, false);
    const std::string header = kPlain.substr(0, kPlain.find("\r\n\r\n") + 4);
    const std::string text = kPlain.substr(header.size());
    const struct {
        std::string items;
        std::string expect;
    } cases[] = {
        {"1 BODY.PEEK[]", "* 1 FETCH (BODY[] " + Literal(kPlain) + ")\r\n"},
        {"1 BODY.PEEK[HEADER]", "* 1 FETCH (BODY[HEADER] " + Literal(header) + ")\r\n"},
        {"1 BODY.PEEK[TEXT]", "* 1 FETCH (BODY[TEXT] " + Literal(text) + ")\r\n"},
        {"1 BODY.PEEK[]<0.4>", "* 1 FETCH (BODY[]<0> " + Literal("From") + ")\r\n"},
        {"1 BODY.PEEK[TEXT]<3.100>",
         "* 1 FETCH (BODY[TEXT]<3> " + Literal(text.substr(3)) + ")\r\n"},
        {"1 BODY.PEEK[]<9999.10>", "* 1 FETCH (BODY[]<9999> " + Literal("") + ")\r\n"},
        {"1 RFC822.HEADER", "* 1 FETCH (RFC822.HEADER " + Literal(header) + ")\r\n"},
        {"1 BODY.PEEK[HEADER.FIELDS (subject to)]",
         "* 1 FETCH (BODY[HEADER.FIELDS (SUBJECT TO)] " +
             Literal("To: alice@example.com\r\nSubject: Lunch\r\n\r\n") + ")\r\n"},
        {"1 BODY.PEEK[HEADER.FIELDS.NOT (From To Date Message-ID)]",
         "* 1 FETCH (BODY[HEADER.FIELDS.NOT (FROM TO DATE MESSAGE-ID)] " +
             Literal("Subject: Lunch\r\n\r\n") + ")\r\n"},
        {"2 BODY.PEEK[1]", "* 2 FETCH (BODY[1] " + Literal("See attached.") + ")\r\n"},
        {"2 BODY.PEEK[2]", "* 2 FETCH (BODY[2] " + Literal("1,2\r\n3,4") + ")\r\n"},
        {"2 BODY.PEEK[2.MIME]", "* 2 FETCH (BODY[2.MIME] " +
                                    Literal("Content-Type: text/csv; name=\"a.csv\"\r\n\r\n") +
                                    ")\r\n"},
        {"2 BODY.PEEK[3]", "* 2 FETCH (BODY[3] " + Literal("") + ")\r\n"},
        {"2 BODYSTRUCTURE",
         "* 2 FETCH (BODYSTRUCTURE ((\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL "
         "\"7bit\" 13 0 NIL NIL NIL NIL)(\"text\" \"csv\" (\"name\" \"a.csv\" \"charset\" "
         "\"us-ascii\") NIL NIL \"7bit\" 8 1 NIL NIL NIL NIL) \"mixed\" (\"boundary\" \"b\") NIL "
         "NIL NIL))\r\n"},
        {"1 ENVELOPE",
         "* 1 FETCH (ENVELOPE (\"Mon, 3 Mar 2003 09:00:00 +0000\" \"Lunch\" ((\"Bob\" NIL \"bob\" "
         "\"example.com\")) ((\"Bob\" NIL \"bob\" \"example.com\")) ((\"Bob\" NIL \"bob\" "
         "\"example.com\")) ((NIL NIL \"alice\" \"example.com\")) NIL NIL NIL \"<1@example.com>\"))"
         "\r\n"},
        {"1 (UID RFC822.SIZE)",
         "* 1 FETCH (UID 1 RFC822.SIZE " + std::to_string(kPlain.size()) + ")\r\n"},
        {"1:2 FAST", "* 1 FETCH (FLAGS (\\Recent) INTERNALDATE \"D\" RFC822.SIZE " +
                         std::to_string(kPlain.size()) +
                         ")\r\n* 2 FETCH (FLAGS (\\Recent) INTERNALDATE \"D\" "
                         "RFC822.SIZE " +
                         std::to_string(kMultipart.size()) + ")\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Fetch(c.items), c.expect + "T OK FETCH completed\r\n") << c.items;
    // Nothing above set \Seen.
    EXPECT_EQ(Fetch("1:2 FLAGS"),
              "* 1 FETCH (FLAGS (\\Recent))\r\n* 2 FETCH (FLAGS (\\Recent))\r\n"
              "T OK FETCH completed\r\n");
}

TEST_F(ImapFetchTest, BadItemsAndNumbersAreRefused) {
    Start(false, false);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1 FROB", "T BAD Unknown fetch item FROB\r\n"},
        {"1 BODY[HEADER.FIELDS]", "T BAD Invalid fetch item BODY[HEADER.FIELDS]\r\n"},
        {"1 BODY[]<1>", "T BAD Invalid fetch item BODY[]<1>\r\n"},
        {"3 FLAGS", "T BAD No message with that sequence number\r\n"},
        {"0 FLAGS", "T BAD Invalid sequence set\r\n"},
        {"1 ()", "T BAD Invalid fetch items\r\n"},
    };
    for (const auto& [items, expect] : cases) EXPECT_EQ(Fetch(items), expect) << items;
    // A UID that is gone is no error.
    EXPECT_EQ(client->Run("UID FETCH 7 FLAGS"), "T OK UID FETCH completed\r\n");
}

TEST_F(ImapFetchTest, FetchingTheTextSetsSeenAtTheServiceThatKeepsTheReadState) {
    Start(true, false);
    EXPECT_EQ(Fetch("1 RFC822.TEXT"), "* 1 FETCH (RFC822.TEXT " + Literal("At noon?\r\n") +
                                          " FLAGS (\\Seen \\Recent))\r\nT OK FETCH completed\r\n");
    EXPECT_EQ(service.Count(Operation::SetReadState), 1);
    EXPECT_EQ(service.Mailbox("alice")[0].read, 1);
    EXPECT_EQ(Fetch("1 (FLAGS BODY[TEXT])"), "* 1 FETCH (FLAGS (\\Seen \\Recent) BODY[TEXT] " +
                                                 Literal("At noon?\r\n") +
                                                 ")\r\nT OK FETCH completed\r\n");
    EXPECT_EQ(service.Count(Operation::SetReadState), 1);
    // A read-only mailbox changes nothing.
    client->Run("EXAMINE INBOX");
    Fetch("2 BODY[]");
    EXPECT_EQ(service.Mailbox("alice")[1].read, 0);
}

TEST_F(ImapFetchTest, FlagsAskedBeforeTheTextShowTheSeenTheTextSets) {
    Start(false, false);
    EXPECT_EQ(Fetch("1 (FLAGS BODY[TEXT])"), "* 1 FETCH (FLAGS (\\Seen \\Recent) BODY[TEXT] " +
                                                 Literal("At noon?\r\n") +
                                                 ")\r\nT OK FETCH completed\r\n");
}

TEST_F(ImapFetchTest, APeekLeavesUnreadWhatTheServiceMarksReadOnDownload) {
    service.MarkReadOnDownload(true);
    Start(true, false);
    const std::vector<std::string> looks = {"FETCH 1 BODY.PEEK[]", "FETCH 1 ENVELOPE",
                                            "FETCH 2 (BODYSTRUCTURE RFC822.HEADER)",
                                            "SEARCH BODY noon", "FETCH 1:2 BODY.PEEK[HEADER]"};
    for (const std::string& look : looks) {
        client->Run(look);
        EXPECT_EQ(service.Mailbox("alice")[0].read, 0) << look;
        EXPECT_EQ(service.Mailbox("alice")[1].read, 0) << look;
    }
    Fetch("2 BODY[1]");
    EXPECT_EQ(service.Mailbox("alice")[1].read, 1);
    EXPECT_EQ(service.Mailbox("alice")[0].read, 0);
}

// Another session's \Seen (or its taking \Seen away) made while a peek's
// download was under way is what the message keeps: the peek puts back the
// read state another session set, not the one it listed.
TEST_F(ImapFetchTest, APeekNeverUndoesAReadStateAnotherSessionSetMeanwhile) {
    service.MarkReadOnDownload(true);
    Start(true, false);
    auto other = LoggedIn();
    other->Run("SELECT INBOX");
    // Message 1 unread, then message 2 read by a fetch first, so that each
    // peek downloads.
    Fetch("2 BODY[]");
    other->Run("NOOP");
    for (const bool seen : {true, false}) {
        const std::string number = seen ? "1" : "2";
        const std::string store = "STORE " + number + (seen ? " +" : " -") + "FLAGS (\\Seen)";
        // The peek's download waits until the other session has stored.
        bool once = true;
        service.SetDownloadHook([&] {
            if (!once) return;
            once = false;
            EXPECT_NE(other->Run(store).find("T OK"), std::string::npos);
        });
        client->Run("FETCH " + number + " BODY.PEEK[]");
        service.SetDownloadHook(nullptr);
        EXPECT_EQ(service.Mailbox("alice")[seen ? 0 : 1].read, seen ? 1 : 0) << store;
    }
}

TEST_F(ImapFetchTest, HeaderFieldsTheListingCarriesNeedNoDownload) {
    Start(false, true);
    EXPECT_EQ(Fetch("1:2 (UID BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE)])"),
              "* 1 FETCH (UID 1 BODY[HEADER.FIELDS (FROM SUBJECT DATE)] " +
                  Literal("From: Bob <bob@example.com>\r\nSubject: Lunch\r\n"
                          "Date: Mon, 3 Mar 2003 09:00:00 +0000\r\n\r\n") +
                  ")\r\n* 2 FETCH (UID 2 BODY[HEADER.FIELDS (FROM SUBJECT DATE)] " +
                  Literal("From: Carol <carol@example.com>\r\nSubject: Report\r\n\r\n") +
                  ")\r\nT OK FETCH completed\r\n");
    EXPECT_EQ(service.Count(Operation::GetMessage), 0);
    // A field the listing does not carry needs the header.
    Fetch("1:2 BODY.PEEK[HEADER.FIELDS (FROM MESSAGE-ID)]");
    EXPECT_EQ(service.Count(Operation::GetMessage), 2);
}

TEST_F(ImapFetchTest, AHeaderSweepDownloadsEachMessageOnce) {
    Start(false, false);
    for (int sweep = 0; sweep < 3; ++sweep) {
        Fetch("1:* (ENVELOPE BODY.PEEK[HEADER.FIELDS (FROM SUBJECT)])");
        EXPECT_EQ(service.Count(Operation::GetMessage), 2) << "sweep " << sweep;
    }
    // The body of one message is downloaded once, whatever is asked of it.
    Fetch("2 (BODYSTRUCTURE BODY.PEEK[1] BODY.PEEK[2] BODY.PEEK[2.MIME])");
    Fetch("2 BODY.PEEK[TEXT]");
    EXPECT_EQ(service.Count(Operation::GetMessage), 3);
}

TEST_F(ImapFetchTest, AFailedDownloadIsAnsweredNoBeforeAnyOfTheResponse) {
    Start(false, false);
    service.FailNext(Operation::GetMessage, "Hotmail::GetMessage - gone");
    EXPECT_EQ(Fetch("1 (UID BODY.PEEK[])"), "T NO [UNAVAILABLE] Hotmail::GetMessage - gone\r\n");
    EXPECT_EQ(Fetch("1 BODY.PEEK[]<0.4>"),
              "* 1 FETCH (BODY[]<0> {4}\r\nFrom)\r\nT OK FETCH completed\r\n");
}

}  // namespace
