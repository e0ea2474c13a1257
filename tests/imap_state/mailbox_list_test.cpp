// LIST patterns, and the service's folders as unique mailbox names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imap_state/mailbox_list.h"

namespace {

TEST(ImapMailboxList, PatternsMatchAsListDefinesThem) {
    const struct {
        std::string pattern;
        std::string name;
        bool matches;
    } cases[] = {
        {"*", "Work/Plans", true},
        {"%", "Work/Plans", false},
        {"%", "Work", true},
        {"Work/%", "Work/Plans", true},
        {"Work/%", "Work/Plans/2024", false},
        {"Work*", "Work/Plans/2024", true},
        {"*/%", "a/b/c", true},
        {"%/%", "a/b/c", false},
        {"inbox", "INBOX", true},
        {"I*", "INBOX", true},
        {"W%s", "Works", true},
        {"W%s", "W/s", false},
        {"", "", true},
        {"Work", "work", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ImapMailboxList::Matches(c.pattern, c.name), c.matches)
            << c.pattern << " " << c.name;
}

TEST(ImapMailboxList, FoldersBecomeUniqueNamesWithTheirUse) {
    ImapMailboxList list({{"u/in", "inbox", "Inbox"},
                          {"u/sent", "sentitems", ""},
                          {"u/a", "", "Inbox"},
                          {"u/b", "", "Reports"},
                          {"u/c", "", "Reports"},
                          {"u/d", "", "Projects//2024/ "},
                          {"u/e", "", "Line\r\nbreak"},
                          {"u/f/", "", ""},
                          {"u/g", "", "Re\xc3\xa7us/Ao\xc3\xbbt"}});
    std::vector<std::string> names;
    for (const ImapMailbox& box : list.All())
        names.push_back(box.wire + (box.Selectable() ? "" : " \\Noselect") +
                        (box.specialUse ? std::string(" ") + box.specialUse : ""));
    EXPECT_EQ(names, (std::vector<std::string>{"INBOX", "Inbox (2)", "Line  break",
                                               "Projects \\Noselect", "Projects/2024", "Reports",
                                               "Reports (2)", "Re&AOc-us \\Noselect",
                                               "Re&AOc-us/Ao&APs-t", "Sent \\Sent", "f"}));
    ASSERT_NE(list.Find("inbox"), nullptr);
    EXPECT_EQ(list.Find("inbox")->folder.url, "u/in");
    EXPECT_EQ(list.Find("Reports (2)")->folder.url, "u/c");
    EXPECT_EQ(list.Find("reports"), nullptr);
}

}  // namespace
