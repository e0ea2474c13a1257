#include <gtest/gtest.h>

#include "gateway/command_line.h"

namespace {

TEST(CommandLine, DetachOnlyAsTheWholeArgumentTextInItsOwnCase) {
    EXPECT_TRUE(app::IsDetachRequest("/detach"));
    for (const char* text : {"/detach ", "/DETACH", " /detach", "/detach /hklm", ""}) {
        EXPECT_FALSE(app::IsDetachRequest(text)) << '"' << text << '"';
    }
}

TEST(CommandLine, SwitchesAnywhereInAnyCase) {
    struct Case {
        const char* line;
        bool hklm, hideicon;
    } cases[] = {
        {"/usr/bin/mirelink /hklm", true, false},
        {"/usr/bin/mirelink /HKLM /HideIcon", true, true},
        {"/usr/bin/mirelink --x/hklmish", true, false},  // inside a longer word counts too
        {"/opt/hklm/mirelink", true, false},             // the program path is searched as well
        {"/opt/xhklm/mirelink", false, false},
        {"mirelink /hklmx", true, false},
        {"mirelink", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(app::HasSwitch(c.line, "/hklm"), c.hklm) << c.line;
        EXPECT_EQ(app::HasSwitch(c.line, "/hideicon"), c.hideicon) << c.line;
    }
}

}  // namespace
