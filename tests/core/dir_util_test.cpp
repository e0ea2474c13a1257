#include "core/dir_util.h"

#include <gtest/gtest.h>

#include "core/exception.h"
#include "core/file_util.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_platform.h"

namespace {

using vxw::DirUtil::CreatePath;

TEST(DirUtil, ProgramPathEndsWithSeparatorAndHoldsTheProgram) {
    std::string path = vxw::DirUtil::GetProgramPath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), vxw::DirUtil::kSeparator);
    EXPECT_TRUE(vxw::DirUtil::FileExists(path + "core_tests" + testing_support::kProgramSuffix));
    EXPECT_FALSE(vxw::DirUtil::FileExists(path));  // a folder is not a file
}

TEST(DirUtil, CreatePathMakesEveryMissingFolderAndIsQuietWhenAllExist) {
    testing_support::TempDir dir;
    std::string deep = dir.File("a/b/c");
    CreatePath(deep);
    EXPECT_TRUE(vxw::DirUtil::FolderExists(deep));
    EXPECT_NO_THROW(CreatePath(deep + "/"));
}

// The variable each system's rules give the state folder by.
TEST(DirUtil, StateFolderIsMadeBelowTheUsersStateBase) {
    testing_support::TempDir dir;
    std::string base = dir.File("base");
    testing_support::SetEnvironment("XDG_STATE_HOME", base);
    testing_support::SetEnvironment("LOCALAPPDATA", base);
    std::string folder = vxw::DirUtil::GetStateFolder();
    testing_support::SetEnvironment("XDG_STATE_HOME", vxw::DirUtil::GetProgramPath() + "state");
    testing_support::SetEnvironment("LOCALAPPDATA", vxw::DirUtil::GetProgramPath() + "state");
    const char sep = vxw::DirUtil::kSeparator;
    std::string onLinux = base + sep + "Palisandre" + sep;
    std::string onWindows = onLinux + "Mirelink" + sep;
    EXPECT_TRUE(folder == (sep == '/' ? onLinux : onWindows)) << folder;
    EXPECT_TRUE(vxw::DirUtil::FolderExists(folder));
}

TEST(DirUtil, CreatePathNamesTheFolderThatFailed) {
    testing_support::TempDir dir;
    ASSERT_TRUE(SaveToFile(dir.File("file"), "x"));
    try {
        CreatePath(dir.File("file/sub/deeper"));
        FAIL();
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Message(), "VXW_DIRUTIL_CREATEPATH_CREATEFOLDER: Error creating path - " +
                                   dir.File("file/sub/deeper") + " - " + dir.File("file"));
    }
}

}  // namespace
