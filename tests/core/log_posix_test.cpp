#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "core/log.h"
#include "tests/support/temp_dir.h"

namespace {

// An installed program cannot write beside its binary; with ExtraLogging the
// log holds whole conversations, so only the user may read it.
TEST(LogFile, LivesInTheStateFolderReadableByTheUserOnlyAndComesBackWithItsFolder) {
    std::string path = LogFilePath();
    EXPECT_EQ(path, std::string(getenv("XDG_STATE_HOME")) + "/Palisandre/mirelink.log");
    testing_support::RemoveTree(path.substr(0, path.rfind('/')));
    ASSERT_TRUE(Log("after the folder went"));
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

}  // namespace
