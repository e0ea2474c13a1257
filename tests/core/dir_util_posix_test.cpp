#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "core/dir_util.h"
#include "tests/support/temp_dir.h"

namespace {

// Puts the environment back for the cases that follow.
class StateBase : public testing::Test {
protected:
    void TearDown() override {
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_STATE_HOME", (vxw::DirUtil::GetProgramPath() + "state").c_str(), 1);
    }
    std::string home = getenv("HOME") != nullptr ? getenv("HOME") : "/";
    testing_support::TempDir dir;
};

// A relative or empty base is to be ignored, as the base directory rules say;
// the folders made on the way are the user's alone.
TEST_F(StateBase, FallsBackToTheHomeFoldersLocalStateAndIsPrivate) {
    setenv("HOME", dir.Path().c_str(), 1);
    for (const char* base : {"relative/state", ""}) {
        setenv("XDG_STATE_HOME", base, 1);
        EXPECT_EQ(vxw::DirUtil::GetStateFolder(), dir.Path() + "/.local/state/Palisandre/") << base;
    }
    unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(vxw::DirUtil::GetStateFolder(), dir.Path() + "/.local/state/Palisandre/");
    for (const char* folder : {"/.local", "/.local/state", "/.local/state/Palisandre"}) {
        struct stat info;
        ASSERT_EQ(stat((dir.Path() + folder).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
    }
}

}  // namespace
