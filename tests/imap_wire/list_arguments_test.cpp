// The arguments of LIST in its plain and extended forms, and the date an
// APPEND may carry, as tables of valid and invalid input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imap_wire/command_parser.h"
#include "imap_wire/imap_date.h"
#include "imap_wire/list_options.h"

namespace {

// What the parser makes of "T LIST <arguments>", as a table can show it:
// the options set, the reference and the patterns; or "! error".
std::string Parsed(const std::string& arguments) {
    ImapCommandText text;
    text.lines.push_back("T LIST " + arguments);
    ImapCommand command;
    vx::Str error;
    if (!ImapParser::ParseCommand(text, command, error)) return "! parser: " + error;
    ImapListArgs args;
    if (!ImapListOptions::Parse(command.args, args, error)) return "! " + error;
    std::string out;
    if (args.subscribed) out += "subscribed ";
    if (args.specialUse) out += "special-use ";
    if (args.recursiveMatch) out += "recursive ";
    if (args.returnSubscribed) out += "return-subscribed ";
    out += args.extended ? "extended" : "plain";
    out += " [" + args.reference + "]";
    for (const std::string& pattern : args.patterns) out += " " + pattern;
    return out;
}

TEST(ImapListOptions, PlainAndExtendedFormsAreRead) {
    const std::pair<std::string, std::string> cases[] = {
        {"\"\" *", "plain [] *"},
        {"Work/ %", "plain [Work/] %"},
        {"\"\" \"\"", "plain [] "},
        {"(SPECIAL-USE) \"\" *", "special-use extended [] *"},
        {"() \"\" *", "extended [] *"},
        {"\"\" * RETURN (SPECIAL-USE)", "extended [] *"},
        {"\"\" * RETURN (subscribed children)", "return-subscribed extended [] *"},
        {"\"\" * RETURN ()", "extended [] *"},
        {"(subscribed RECURSIVEMATCH remote) \"\" (INBOX Work/%)",
         "subscribed recursive extended [] INBOX Work/%"},
        {"(SPECIAL-USE RECURSIVEMATCH) \"\" %", "special-use recursive extended [] %"},
        {"\"\" (\"a b\"", "! parser: Missing ')'"},
        {"(RECURSIVEMATCH) \"\" *", "! RECURSIVEMATCH needs another selection option"},
        {"(REMOTE RECURSIVEMATCH) \"\" *", "! RECURSIVEMATCH needs another selection option"},
        {"(STATUS) \"\" *", "! Unknown LIST option"},
        {"((SUBSCRIBED)) \"\" *", "! Unknown LIST option"},
        {"\"\" * RETURN (STATUS (MESSAGES))", "! Unknown LIST option"},
        {"\"\" * RETURN", "! Invalid arguments for LIST"},
        {"\"\" * RESULT ()", "! Invalid arguments for LIST"},
        {"\"\" * RETURN () ()", "! Invalid arguments for LIST"},
        {"\"\" ()", "! LIST needs a pattern"},
        {"\"\" ((a))", "! Invalid arguments for LIST"},
        {"\"\"", "! Invalid arguments for LIST"},
        {"() *", "! Invalid arguments for LIST"},
        {"(a) \"\" *", "! Unknown LIST option"},
    };
    for (const auto& [arguments, shown] : cases) EXPECT_EQ(Parsed(arguments), shown) << arguments;
}

TEST(ImapDate, AnAppendsDateIsReadBackAsInternalDateWritesIt) {
    int64_t utc = 0;
    for (int64_t when : {int64_t{0}, int64_t{1709251199}, int64_t{1700000000}}) {
        std::string written = ImapDate::InternalDate(when);
        ASSERT_TRUE(ImapDate::ParseInternalDate(written.substr(1, written.size() - 2), utc))
            << written;
        EXPECT_EQ(utc, when);
    }
    ASSERT_TRUE(ImapDate::ParseInternalDate("05-Mar-2024 10:00:00 +0130", utc));
    EXPECT_EQ(utc, 1709632800 - 5400);
    ASSERT_TRUE(ImapDate::ParseInternalDate("5-mar-2024 10:00:00 -0800", utc));
    EXPECT_EQ(utc, 1709632800 + 8 * 3600);
    for (const char* bad :
         {"31-Feb-2024 10:00:00 +0000", "5-Mar-2024 10:00:00", "5-Mar-2024 24:00:00 +0000",
          "5-Mar-2024 10:00 +0000", "5-Foo-2024 10:00:00 +0000", "5-Mar-2024 10:00:00 +00",
          "5-Mar-2024 10:00:00 +0060", "5-Mar-2024 10:00:00 +00000", "5 Mar 2024 10:00:00 +0000",
          "  5-Mar-2024 10:00:00 +0000", ""})
        EXPECT_FALSE(ImapDate::ParseInternalDate(bad, utc)) << bad;
}

}  // namespace
