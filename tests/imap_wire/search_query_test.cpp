// Search keys tested against one message: header fields as a person reads
// them, every field of a name, letter case beyond ASCII, and what a key asks
// of the message (no download for an empty BODY).
#include "imap_wire/search_query.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mime/mime_header.h"

namespace {

class FakeMessage : public ImapSearchSubject {
public:
    explicit FakeMessage(std::string header) : header(std::move(header)) {}

    uint32_t SequenceNumber() override { return 1; }
    uint32_t Uid() override { return 1; }
    uint8_t Flags() override { return 0; }
    bool HasKeyword(const vx::Str&) override { return false; }
    bool Recent() override { return false; }
    uint64_t Size() override { return 100; }
    int64_t InternalDate() override { return 0; }
    std::vector<vx::Str> HeaderFields(const vx::Str& name) override {
        return MimeHeader::FindAll(header, name);
    }
    bool Contains(const vx::Str& text, bool withHeader) override {
        asked.push_back(text + (withHeader ? " (TEXT)" : " (BODY)"));
        return false;
    }
    uint32_t LargestSequenceNumber() override { return 1; }
    uint32_t LargestUid() override { return 1; }

    std::string header;
    std::vector<std::string> asked;  // what Contains was asked
};

// The keys of a SEARCH command line, parsed as the session parses them.
bool Matches(const std::string& keys, FakeMessage& message) {
    ImapCommand command;
    vx::Str error;
    bool badCharset = false;
    EXPECT_TRUE(ImapParser::ParseCommand({{"T SEARCH " + keys}, {}}, command, error)) << error;
    ImapSearchQuery query;
    EXPECT_TRUE(query.Parse(command.args, 0, error, badCharset)) << keys << ": " << error;
    return query.Matches(message);
}

TEST(SearchQuery, HeaderKeysMatchTheDecodedText) {
    FakeMessage message(
        "From: bob@example.com (Bob Builder)\r\n"
        "To: =?utf-8?q?J=C3=B6rg?= <j@x.org>, \"Eve (x)\" <eve@y.org>\r\n"
        "Cc: c(inside)@x.org\r\n"
        "Subject: =?UTF-8?B?UsOpc3Vtw6k=?=\r\n =?utf-8?q?_=CE=A3=CE=9F=CE=A6=CE=99=CE=A3?=  \t "
        "z\r\n"
        "X-Extra: first\r\nX-Extra: second\r\nX-Empty:\r\n"
        "X-Cyrillic: =?windows-1251?b?xM7M?=\r\n\r\n");
    const std::vector<std::pair<std::string, bool>> cases = {
        {"SUBJECT \"R\xC3\xA9sum\xC3\xA9\"", true},
        {"SUBJECT \"r\xC3\x89SUM\xC3\x89 \xCF\x83\xCE\xBF\xCF\x86\xCE\xB9\xCF\x82 z\"", true},
        {"SUBJECT N", false},  // "UsOpc3Vtw6k" holds no N, the encoded text counts for nothing
        {"SUBJECT UTF", false},
        {"SUBJECT \"\xCF\x82 z\"", true},  // runs of blanks read as one
        {"HEADER Subject \"\xCF\x82 z\"", false},
        {"HEADER X-Cyrillic \"\xD0\xB4\xD0\xbe\xD0\xbc\"", true},  // ДОМ as дом
        {"HEADER X-Extra first", true},
        {"HEADER X-Extra SECOND", true},
        {"HEADER X-Extra third", false},
        {"HEADER X-Extra \"\"", true},
        {"HEADER X-Empty \"\"", true},
        {"HEADER X-Missing \"\"", false},
        {"SUBJECT \"\"", true},
        {"FROM \"bob builder\"", true},
        {"FROM \"\\\"Bob Builder\\\" <bob@example.com>\"", true},
        {"FROM \"com (Bob\"", false},  // the comment reads as a name
        {"HEADER From \"com (Bob\"", true},
        {"TO \"j\xC3\xB6rg <j@x\"", true},
        {"TO \"Eve (x)\"", true},
        {"TO \"=?utf\"", false},
        {"CC \"c@x.org\"", true},
        {"CC \"inside\"", true},
        {"CC \"c(inside)\"", false},
        {"BCC \"\"", false},
        {"OR SUBJECT nothing FROM BOB", true},
        {"NOT HEADER X-Extra second", false},
    };
    for (const auto& [keys, matches] : cases) EXPECT_EQ(Matches(keys, message), matches) << keys;
    EXPECT_TRUE(message.asked.empty());
}

TEST(SearchQuery, BodyAndTextAskForTheFoldedTextOnlyWhenThereIsOne) {
    FakeMessage message("Subject: s\r\n\r\n");
    EXPECT_TRUE(Matches("BODY \"\"", message));
    EXPECT_TRUE(Matches("TEXT \"\"", message));
    EXPECT_TRUE(message.asked.empty());
    EXPECT_FALSE(Matches("BODY \"\xC3\x89T\xC3\x89\"", message));
    EXPECT_FALSE(Matches("TEXT Word", message));
    EXPECT_EQ(message.asked, (std::vector<std::string>{"\xC3\xA9t\xC3\xA9 (BODY)", "word (TEXT)"}));
}

TEST(SearchQuery, OnlyUsAsciiAndUtf8AreCharsetsOfASearch) {
    const struct {
        const char* keys;
        bool badCharset;
    } cases[] = {{"CHARSET UTF-8 ALL", false},
                 {"CHARSET utf8 ALL", false},
                 {"CHARSET US-ASCII ALL", false},
                 {"CHARSET KOI8-R ALL", true},
                 {"CHARSET ISO-8859-1 ALL", true}};
    for (const auto& c : cases) {
        ImapCommand command;
        vx::Str error;
        bool badCharset = false;
        ASSERT_TRUE(
            ImapParser::ParseCommand({{std::string("T SEARCH ") + c.keys}, {}}, command, error));
        ImapSearchQuery query;
        EXPECT_EQ(query.Parse(command.args, 0, error, badCharset), !c.badCharset) << c.keys;
        EXPECT_EQ(badCharset, c.badCharset) << c.keys;
        if (c.badCharset) {
            EXPECT_EQ(error, "[BADCHARSET (US-ASCII UTF-8)] Unknown character set");
        }
    }
}

}  // namespace
