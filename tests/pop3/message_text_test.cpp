#include "pop3/message_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "pop3/dot_stuffer.h"
#include "tests/support/random.h"

namespace {

// The stuffing rule in its plainest form, for comparison.
std::string ReferenceStuff(const std::string& text) {
    std::string out = !text.empty() && text[0] == '.' ? "." : "";
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (i >= 1 && text[i - 1] == '\r' && text[i] == '\n' && i + 1 < text.size() &&
            text[i + 1] == '.') {
            out += '.';
        }
    }
    return out;
}

TEST(DotStuffer, MatchesTheRuleWhereverTheTextIsCut) {
    const std::string samples[] = {
        ".starts with a dot\r\n..two\r\n.\r\nend.",
        "a\r\n.\r\n\r\n.\r\n.",
        "bare\n.lf stays\r.cr stays\r\n",
        "",
        ".",
        "\r\n.",
        std::string("\0.\r\n.\xff", 6),
    };
    std::mt19937 random(11);
    for (const std::string& text : samples) {
        for (int round = 0; round < 50; ++round) {
            DotStuffer stuffer;
            std::string out;
            for (size_t at = 0; at < text.size();) {
                size_t piece = std::min<size_t>(text.size() - at, testing_support::RandomBelow(4));
                // Bytes that need no stuffing may be passed on as they are.
                if (testing_support::RandomBelow(2) == 0 &&
                    stuffer.PassesUnchanged(text.data() + at, piece)) {
                    out.append(text.data() + at, piece);
                } else {
                    stuffer.Feed(text.data() + at, piece, out);
                }
                at += piece;
            }
            ASSERT_EQ(out, ReferenceStuff(text)) << "text: " << text;
        }
    }
}

TEST(MessageText, CutToTopLinesWholeAndInPieces) {
    const std::string header = "X-Mirelink-Folder: inbox\r\n";
    const std::string head = header + "Subject: s\r\nFrom: f\r\n\r\n";
    struct Case {
        std::string text;
        int64_t lines;
        std::string expected;
    } cases[] = {
        {head + "one\r\ntwo\r\nthree\r\n", 0, head},
        {head + "one\r\ntwo\r\nthree\r\n", 2, head + "one\r\ntwo\r\n"},
        {head + "one\r\ntwo\r\nthree\r\n", 3, head + "one\r\ntwo\r\nthree\r\n"},
        {head + "one\r\ntwo\r\nthree\r\n", 5, head + "one\r\ntwo\r\nthree\r\n"},
        {head + "one\r\ntwo\r\nthree", 2, head + "one\r\ntwo\r\n"},
        {head, 0, head},  // ends right after the header section
        {header + "no empty line\r\n", 0, header + "no empty line\r\n"},
        {header + "\r\nbody\r\n", 0, header + "\r\n"},                 // empty header section
        {head + "one\r\n", -1, header + "Subject: s\r\nFrom: f\r\n"},  // atoi("-1")
        {head + "one\r\n", -100, head + "one\r\n"},
        {head + "one\r\n", -3, header},
        {"a\r\n\r\n\r\n\r\nb", 1, "a\r\n\r\n\r\n"},  // empty body lines count
        {"a\r\n\r\n\r\n\r\nb", -1, "a\r\n"},
        {"a\r\n\r\n\rx\n\r\nb\r\nc", 1, "a\r\n\r\n\rx\n\r\n"},  // bare CR and LF end no line
    };
    for (auto& c : cases) {
        std::string text = c.text;
        CutToTopLines(text, c.lines);
        EXPECT_EQ(text, c.expected) << "lines " << c.lines << " of: " << c.text;
        // The same cut on the text in pieces of every size, and in two pieces
        // cut at every place.
        auto cutInPieces = [&](size_t first, size_t rest) {
            TopLinesCut cut(c.lines);
            std::string out;
            bool more = true;
            for (size_t at = 0, piece = first; more && at < c.text.size(); at += piece, piece = rest)
                more = cut.Feed(c.text.data() + at, std::min(piece, c.text.size() - at), out);
            if (more) cut.Finish(out);
            return out;
        };
        for (size_t piece = 1; piece <= c.text.size(); ++piece) {
            ASSERT_EQ(cutInPieces(piece, piece), c.expected)
                << "lines " << c.lines << " in pieces of " << piece << " of: " << c.text;
            ASSERT_EQ(cutInPieces(piece, c.text.size()), c.expected)
                << "lines " << c.lines << " cut at " << piece << " of: " << c.text;
        }
    }
}

TEST(MessageText, HeaderLineAndUniqueId) {
    EXPECT_EQ(FolderHeaderLine("junk"), "X-Mirelink-Folder: junk\r\n");
    std::string href(30, 'a');
    href += std::string(70, 'b');
    EXPECT_EQ(UniqueId(href), std::string(70, 'b'));
    EXPECT_EQ(UniqueId("short"), "short");
}

}  // namespace
