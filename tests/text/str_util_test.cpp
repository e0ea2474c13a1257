#include "text/str_util.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace vx::StrUtil;
using Tokens = std::vector<std::string>;

// The charset and the decoded bytes of each word of an encoded header text.
std::vector<std::pair<std::string, std::string>> Words(const std::string& header) {
    std::vector<std::pair<std::string, std::string>> words;
    Tokens tokens;
    Tokenize(tokens, header, " ", "", false);
    for (const std::string& word : tokens) {
        Tokens parts;
        Tokenize(parts, word, "?", "", false);
        EXPECT_EQ(parts.size(), 5u) << word;
        if (parts.size() != 5) break;
        EXPECT_EQ(parts[0], "=");
        EXPECT_EQ(parts[2], "B");
        EXPECT_EQ(parts[4], "=");
        words.emplace_back(parts[1], Base64Decode(parts[3]));
    }
    return words;
}

TEST(EncodeHeaderText, LeavesAsciiAloneAndEncodesTheRestInTheSmallestSet) {
    EXPECT_EQ(EncodeHeaderText("John Smith <js@example.com>"), "John Smith <js@example.com>");
    EXPECT_EQ(EncodeHeaderText("Jos\xC3\xA9"), "=?iso-8859-1?B?Sm9z6Q==?=");
    EXPECT_EQ(EncodeHeaderText("\xE2\x82\xAC \xC3\xA9"), "=?iso-8859-15?B?pCDp?=");
    auto words = Words(EncodeHeaderText("\xD0\x9F\xD1\x80\xD0\xB8"));  // Cyrillic
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0], std::make_pair(std::string("iso-8859-5"), std::string("\xBF\xE0\xD8")));
}

TEST(EncodeHeaderText, CutsLongTextIntoWordsOfAtLeastSixtyBytesWithoutSplittingCharacters) {
    std::string latin;
    for (int i = 0; i < 130; ++i) latin += "\xC3\xA9";
    auto words = Words(EncodeHeaderText(latin));
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].second.size(), 60u);
    EXPECT_EQ(words[1].second.size(), 60u);
    EXPECT_EQ(words[2].second, std::string(10, '\xE9'));

    // Four-byte characters after one ASCII byte: a word passes 60 bytes by its last character.
    std::string wide = "a";
    for (int i = 0; i < 20; ++i) wide += "\xF0\x9F\x98\x80";
    words = Words(EncodeHeaderText(wide));
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].first, "UTF-8");
    EXPECT_EQ(words[0].second.size(), 61u);
    EXPECT_EQ(words[0].second + words[1].second, wide);
}

TEST(ConvertToUtf8, ReadsTheNamedSet) {
    EXPECT_EQ(ConvertToUtf8("windows-1252", "\x93hi\x94"), "\xE2\x80\x9Chi\xE2\x80\x9D");
    EXPECT_EQ(ConvertToUtf8("Shift_JIS", "\x82\xA0"), "\xE3\x81\x82");
    EXPECT_EQ(ConvertToUtf8("x-unknown", "\xE9"), "\xC3\xA9");
    EXPECT_EQ(ConvertToUtf8("utf8", "\xFF\xFE"), "\xFF\xFE");  // unchanged, even when invalid
    EXPECT_EQ(ConvertToUtf8("UTF-8", ""), "");
}

TEST(Tokenize, SplitsOnDelimitersAndKeepsQuotedStretches) {
    struct Case {
        std::string text, delimiters, quotes;
        bool collapse;
        Tokens expected;
    } cases[] = {
        {"a  b", " ", "", false, {"a", "", "b"}},
        {"a  b", " ", "", true, {"a", "b"}},
        {"a b ", " ", "", false, {"a", "b", ""}},
        {" a", " ", "", true, {"", "a"}},
        {"", " ", "", false, {}},
        {"realm=\"a, b\", qop='x,y'", ",", "\"'", false, {"realm=\"a, b\"", " qop='x,y'"}},
        {"x \"open rest", " ", "\"", false, {"x", "\"open rest"}},
        {"a\tb c", " \t", "", false, {"a", "b", "c"}},
        {std::string("a\0b", 3), " ", "", false, {std::string("a\0b", 3)}},
    };
    for (const Case& c : cases) {
        Tokens tokens{"kept"}, expected{"kept"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        Tokenize(tokens, c.text, c.delimiters, c.quotes, c.collapse);
        EXPECT_EQ(tokens, expected) << c.text;
    }
}

TEST(SplitUrl, FindsSchemeHostPortAndPath) {
    struct Case {
        std::string url, scheme, host;
        int port;
        std::string path;
    } cases[] = {
        {"http://mail.example.com:8080/svc/x?y", "http", "mail.example.com", 8080, "/svc/x?y"},
        {"https://example.com/p", "https", "example.com", 443, "/p"},
        {"HTTP://example.com", "HTTP", "example.com", 80, ""},
        {"ftp://files", "ftp", "files", 21, ""},
        {"gopher://h/x", "gopher", "h", -1, "/x"},
        {"http://h/p:81", "http", "h", 80, "/p:81"},
        {"http://h:x/p", "http", "h", 0, "/p"},
        {"http://h:99999999999", "http", "h", INT_MAX, ""},
        {"/just/a/path", "", "", -1, "/just/a/path"},
    };
    for (const Case& c : cases) {
        UrlParts parts = SplitUrl(c.url);
        EXPECT_EQ(parts.scheme, c.scheme) << c.url;
        EXPECT_EQ(parts.host, c.host) << c.url;
        EXPECT_EQ(parts.port, c.port) << c.url;
        EXPECT_EQ(parts.path, c.path) << c.url;
    }
}

TEST(Numbers, FormatLikeTheCLibrary) {
    EXPECT_EQ(IntToStr(-5), "-5");
    EXPECT_EQ(IntToStr(INT32_MIN), "-2147483648");
    EXPECT_EQ(UIntToStr(4294967295u), "4294967295");
    EXPECT_EQ(HexStr(0xAB), "000000ab");
    EXPECT_EQ(HexStr(0xDEADBEEF), "deadbeef");
}

}  // namespace
