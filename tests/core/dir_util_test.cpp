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
