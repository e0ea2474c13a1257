// The argument parser, sequence sets and dates, as tables of valid and
// invalid input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imap_wire/command_parser.h"
#include "imap_wire/imap_date.h"
#include "imap_wire/sequence_set.h"

namespace {

// The parsed arguments in a form a table can hold: atoms bare, strings in
// quotes (literals as {text}), lists in parentheses.
std::string Show(const std::vector<ImapArg>& args) {
    std::string out;
    for (const ImapArg& arg : args) {
        if (!out.empty()) out += ' ';
        if (arg.IsList())
            out += "(" + Show(arg.list) + ")";
        else if (arg.kind == ImapArg::Kind::String)
            out += arg.literal ? "{" + arg.text + "}" : "\"" + arg.text + "\"";
        else
            out += arg.text;
    }
    return out;
}

TEST(ImapParser, CommandsAreSplitIntoTagNameAndArguments) {
    const struct {
        std::vector<std::string> lines;
        std::vector<std::string> literals;
        std::string shown;  // tag, name, arguments; or "! error"
    } cases[] = {
        {{"a1 noop"}, {}, "a1 NOOP "},
        {{"a1 LOGIN alice \"p a\\\"ss\""}, {}, "a1 LOGIN alice \"p a\"ss\""},
        {{"a1 LOGIN {5}", " {3+}", ""}, {"alice", "x y"}, "a1 LOGIN {alice} {x y}"},
        {{"a1 FETCH 1:* (UID BODY.PEEK[HEADER.FIELDS (FROM \"TO\")]<0.10>)"},
         {},
         "a1 FETCH 1:* (UID BODY.PEEK[HEADER.FIELDS (FROM \"TO\")]<0.10>)"},
        {{"a1 STORE 1 +FLAGS (\\Seen $Label)"}, {}, "a1 STORE 1 +FLAGS (\\Seen $Label)"},
        {{"a1 LIST \"\" *"}, {}, "a1 LIST \"\" *"},
        {{"a1 SEARCH OR (SEEN) NOT (FLAGGED) SUBJECT \"\""},
         {},
         "a1 SEARCH OR (SEEN) NOT (FLAGGED) SUBJECT \"\""},
        {{"a1 X ()"}, {}, "a1 X ()"},
        {{"a1 X \"\xc3\xa9\""}, {}, "a1 X \"\xc3\xa9\""},
        {{"a1 X  a"}, {}, "! Extra space"},
        {{"a1 X a "}, {}, "! Extra space"},
        {{"a1 X (a"}, {}, "! Missing ')'"},
        {{"a1 X a)"}, {}, "! Unexpected ')'"},
        {{"a1 X \"a"}, {}, "! Missing '\"'"},
        {{"a1 X \"a\\b\""}, {}, "! Invalid escape in a quoted string"},
        {{std::string("a1 X \"a\0b\"", 10)}, {}, "! NUL in a quoted string"},
        // "[" is an atom character: unclosed on the line, it is no bracket.
        {{"a1 X BODY[a"}, {}, "a1 X BODY[a"},
        {{"a1 SELECT foo[bar (x)"}, {}, "a1 SELECT foo[bar (x)"},
        {{"a1 X a" + std::string(40, '[') + std::string(40, ']')}, {}, "! Brackets nested too deep"},
        {{"a1 X a[b (c) [d e]"}, {}, "a1 X a[b (c) [d e]"},
        {{"a1 X a[b \"c"}, {}, "! Missing '\"'"},
        {{"a1 X {3}"}, {}, "! Missing literal"},
        {{"a1 X {3}", "", ""}, {"abc"}, "! Incomplete command"},
        {{"a1 X {x}", ""}, {"abc"}, "! Invalid literal"},
        {{"a1 X {3}x{5}", ""}, {"abcde"}, "! Invalid literal"},
        {{"a1 X a{3}", ""}, {"abc"}, "! Unexpected text after a literal"},
        {{"a1 X {3}", "b"}, {"abc"}, "! Missing space between arguments"},
        {{"a1 X " + std::string(40, '(') + std::string(40, ')')}, {}, "! Lists nested too deep"},
        {{"a1"}, {}, "! Missing command"},
        {{"a+1 NOOP"}, {}, "! Invalid tag"},
        {{"a1 NO:OP"}, {}, "! Invalid command name"},
    };
    for (const auto& c : cases) {
        ImapCommandText text{c.lines, c.literals};
        ImapCommand command;
        std::string error;
        bool ok = ImapParser::ParseCommand(text, command, error);
        std::string shown =
            ok ? command.tag + " " + command.name + " " + Show(command.args) : "! " + error;
        EXPECT_EQ(shown, c.shown) << c.lines[0];
    }
}

TEST(ImapParser, LiteralMarksAtTheEndOfALine) {
    const struct {
        std::string line;
        ImapLiteralMark::Kind kind;
        uint64_t size;
    } cases[] = {
        {"a LOGIN {5}", ImapLiteralMark::Kind::Sync, 5},
        {"a LOGIN {0+}", ImapLiteralMark::Kind::NonSync, 0},
        {"a LOGIN {5", ImapLiteralMark::Kind::None, 0},
        {"a LOGIN x}", ImapLiteralMark::Kind::None, 0},
        {"a LOGIN {}", ImapLiteralMark::Kind::Bad, 0},
        {"a LOGIN {-1}", ImapLiteralMark::Kind::Bad, 0},
        {"a LOGIN {99999999999999999999}", ImapLiteralMark::Kind::Bad, 0},
    };
    for (const auto& c : cases) {
        ImapLiteralMark mark = ImapParser::FindLiteralMark(c.line);
        EXPECT_EQ(mark.kind, c.kind) << c.line;
        EXPECT_EQ(mark.size, c.size) << c.line;
    }
}

TEST(ImapParser, SequenceSetsNameTheRightMessages) {
    const struct {
        std::string set;
        uint32_t largest;
        std::vector<uint32_t> in;
        std::vector<uint32_t> out;
    } cases[] = {
        {"1", 5, {1}, {2}},
        {"2:4", 5, {2, 3, 4}, {1, 5}},
        {"4:2", 5, {2, 3, 4}, {1, 5}},
        {"3:*", 5, {3, 5}, {2}},
        {"*", 5, {5}, {4}},
        {"*:3", 5, {3, 4, 5}, {2}},
        {"1,3,5:6", 9, {1, 3, 5, 6}, {2, 4, 7}},
        {"10:*", 4, {4}, {3}},
        {"4294967295", 5, {}, {5}},
    };
    for (const auto& c : cases) {
        SequenceSet set;
        ASSERT_TRUE(set.Parse(c.set)) << c.set;
        for (uint32_t n : c.in) EXPECT_TRUE(set.Contains(n, c.largest)) << c.set << " " << n;
        for (uint32_t n : c.out) EXPECT_FALSE(set.Contains(n, c.largest)) << c.set << " " << n;
    }
    for (const char* bad :
         {"", "0", "1:0", "01", "1,", ",1", "1::2", "a", "4294967296", "1 2", "-1"}) {
        SequenceSet set;
        EXPECT_FALSE(set.Parse(bad)) << bad;
    }
    // Resolved: sorted, merged, and what lies past the last message left out.
    const struct {
        std::string set;
        uint32_t largest;
        std::vector<std::pair<uint32_t, uint32_t>> ranges;
    } resolved[] = {
        {"7,1:3,2,9:*", 8, {{1, 3}, {7, 8}}},
        {"12:10,2", 8, {{2, 2}}},
    };
    for (const auto& c : resolved) {
        SequenceSet set;
        ASSERT_TRUE(set.Parse(c.set));
        EXPECT_EQ(set.Resolve(c.largest), c.ranges) << c.set;
    }
}

TEST(ImapDate, DatesAreReadAndWrittenAsTheRfcsSpellThem) {
    EXPECT_EQ(ImapDate::InternalDate(0), "\" 1-Jan-1970 00:00:00 +0000\"");
    EXPECT_EQ(ImapDate::InternalDate(1709251199), "\"29-Feb-2024 23:59:59 +0000\"");
    int64_t day = 0, utc = 0;
    ASSERT_TRUE(ImapDate::ParseSearchDate("1-Feb-1994", day));
    EXPECT_EQ(day, 760060800);
    EXPECT_FALSE(ImapDate::ParseSearchDate("31-Foo-1994", day));
    EXPECT_FALSE(ImapDate::ParseSearchDate("1-Feb-94", day));
    ASSERT_TRUE(ImapDate::ParseHeaderDate("Tue, 1 Feb 1994 23:30:00 -0200", utc, day));
    EXPECT_EQ(day, 760060800);              // the date as written
    EXPECT_EQ(utc, 760060800 + 91800 - 0);  // 23:30 at -0200 is 01:30 UTC the next day
    ASSERT_TRUE(ImapDate::ParseHeaderDate("2 Feb 94 01:30 GMT", utc, day));
    EXPECT_EQ(utc, 760060800 + 86400 + 5400);
    EXPECT_FALSE(ImapDate::ParseHeaderDate("yesterday", utc, day));
    ASSERT_TRUE(ImapDate::ParseIsoDate("2024-02-29T23:59:59Z", utc));
    EXPECT_EQ(utc, 1709251199);
    ASSERT_TRUE(ImapDate::ParseIsoDate("2024-03-01T01:59:59.250+02:00", utc));
    EXPECT_EQ(utc, 1709251199);
    EXPECT_FALSE(ImapDate::ParseIsoDate("2024-13-01T00:00:00Z", utc));
}

}  // namespace
