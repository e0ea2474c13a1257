// SEARCH through the session: header keys see the decoded text, BODY and
// TEXT the decoded text parts, letter case is ignored beyond ASCII, and the
// answers are the same whether the listing carries the header fields or the
// gateway reads them from the message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/imap/imap_fixture.h"

namespace {

using testing_support::MemoryService;
using Operation = MemoryService::Operation;

// "Σοφία" as quoted-printable, written so that it straddles the first 64 KiB
// of the body: the spool file is read in blocks of that size.
std::string LargeMessage() {
    const std::string word = "=CE=A3=CE=BF=CF=86=CE=AF=CE=B1";
    std::string body;
    while (body.size() + 80 < 65536 - 12) body += std::string(78, 'x') + "\r\n";
    body += std::string(65536 - 12 - body.size(), 'y') + word + " end\r\n";
    while (body.size() < 200000) body += std::string(70, 'z') + "=\r\n";
    return "Subject: big\r\nContent-Type: text/plain; charset=utf-8\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
           body;
}

const std::vector<std::string> kMessages = {
    "From: Ann <ann@x.org>\r\nSubject: =?utf-8?b?UsOpc3Vtw6k=?=\r\n\r\nplain body\r\n",
    "From: bob@example.com (Bob Builder)\r\nTo: dan@x.org\r\n"
    "Subject: =?UTF-8?B?Q2Fmw6k=?= =?utf-8?q?_au_lait?=\r\nX-Extra: first\r\n"
    "X-Extra: second\r\n\r\nbody\r\n",
    "From: c@x\r\nSubject: parts\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
    "--b\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    "R3LDvMOfZSBhdXMgS8O2bG4K\r\n--b\r\nContent-Type: image/png\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nc2VjcmV0d29yZA==\r\n--b\r\n"
    "Content-Type: text/html; charset=iso-8859-1\r\nContent-Transfer-Encoding: quoted-printable"
    "\r\n\r\n<p>Caf=E9 cr=\r\n=E8me</p>\r\n--b--\r\n",
    LargeMessage(),
    "From: e@x\r\n\r\nno subject here\r\n",
};

// A search text sent as a literal that the client does not wait for.
std::string Literal(const std::string& text) {
    return "{" + std::to_string(text.size()) + "+}\r\n" + text;
}

class ImapSearchTest : public testing_support::ImapFixture {
protected:
    void Start(bool listHeaders) {
        service.AddAccount("alice", "secret");
        service.ListHeaders(listHeaders);
        for (const std::string& message : kMessages) service.AddMessage("alice", "inbox", message);
        StartServer();
        client = LoggedIn();
        client->Run("EXAMINE INBOX");
    }
    void TearDown() override {
        client.reset();
        ImapFixture::TearDown();
    }
    void ExpectAnswers() {
        const std::vector<std::pair<std::string, std::string>> cases = {
            {"CHARSET UTF-8 SUBJECT " + Literal("R\xC3\xA9sum\xC3\xA9"), "1"},
            {"CHARSET UTF-8 SUBJECT " + Literal("r\xC3\x89SUM\xC3\x89"), "1"},
            {"SUBJECT " + Literal("caf\xC3\xA9 AU lait"), "2"},
            {"SUBJECT UTF", ""},  // the encoded form counts for nothing
            {"SUBJECT Q2Fm", ""},
            {"SUBJECT \"\"", "1 2 3 4"},
            {"HEADER X-Extra second", "2"},
            {"HEADER X-Extra \"\"", "2"},
            {"FROM \"bob builder\"", "2"},
            {"FROM \"com (Bob\"", ""},
            {"HEADER FROM \"com (Bob\"", "2"},
            {"OR FROM ann TO dan", "1 2"},
            {"BODY " + Literal("GR\u00DC\u00DFE"), "3"},
            {"BODY " + Literal("caf\xC3\xA9 cr\xC3\xA8me"), "3"},
            {"BODY secretword", ""},
            {"BODY R3LDvMOf", ""},
            {"TEXT \"content-type: image\"", "3"},
            {"BODY " + Literal("\xCF\x83\xCE\xBF\xCF\x86\xCE\x8F\xCE\xB1"), ""},  // σοφΏα
            {"CHARSET UTF-8 BODY " + Literal("\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8A\xCE\x91 END"), "4"},
            {"TEXT " + Literal("subject: caf\xC3\xA9"), "2"},
            {"TEXT BIG", "4"},
            {"BODY \"\"", "1 2 3 4 5"},
            {"NOT BODY body", "3 4 5"},
        };
        for (const auto& [keys, found] : cases) {
            EXPECT_EQ(
                client->Run("SEARCH " + keys),
                "* SEARCH" + (found.empty() ? "" : " " + found) + "\r\nT OK SEARCH completed\r\n")
                << keys;
        }
        EXPECT_EQ(client->Run("UID SEARCH CHARSET US-ASCII SUBJECT parts"),
                  "* SEARCH 3\r\nT OK UID SEARCH completed\r\n");
        EXPECT_EQ(client->Run("SEARCH CHARSET ISO-8859-1 SUBJECT parts"),
                  "T NO [BADCHARSET (US-ASCII UTF-8)] Unknown character set\r\n");
    }

    std::unique_ptr<testing_support::ImapClient> client;
};

TEST_F(ImapSearchTest, KeysMatchTheTextAPersonReads) {
    Start(false);
    ExpectAnswers();
}

TEST_F(ImapSearchTest, TheSameWithTheHeaderFieldsFromTheListing) {
    Start(true);
    EXPECT_EQ(client->Run("SEARCH OR SUBJECT " + Literal("caf\xC3\xA9") + " FROM builder"),
              "* SEARCH 2\r\nT OK SEARCH completed\r\n");
    EXPECT_EQ(service.Count(Operation::GetMessage), 0);
    ExpectAnswers();
}

}  // namespace
