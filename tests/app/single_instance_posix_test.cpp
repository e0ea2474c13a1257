// The lock file where other users could reach it: a link or a file of
// someone else's put where the lock belongs is never written through.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "app/single_instance.h"
#include "core/exception.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_platform.h"

namespace {

std::string Read(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(SingleInstancePosix, APlantedLinkOrForeignFileIsNotWrittenThrough) {
    testing_support::TempDir runtime;
    testing_support::SetEnvironment("XDG_RUNTIME_DIR", runtime.Path());
    const std::string lock = runtime.Path() + "/" + app::SingleInstance::kName;
    const std::string victim = runtime.Path() + "/victim";
    std::ofstream(victim) << "precious";
    ASSERT_EQ(symlink(victim.c_str(), lock.c_str()), 0);
    app::SingleInstance instance;
    EXPECT_THROW(instance.Acquire(), vx::Exception);
    EXPECT_EQ(Read(victim), "precious");
    // A plain file that others may read is no lock of ours either.
    ASSERT_EQ(unlink(lock.c_str()), 0);
    std::ofstream(lock) << "1\n";
    ASSERT_EQ(chmod(lock.c_str(), 0644), 0);
    EXPECT_THROW(instance.Acquire(), vx::Exception);
    ASSERT_EQ(chmod(lock.c_str(), 0600), 0);
    EXPECT_TRUE(instance.Acquire());
    EXPECT_EQ(app::SingleInstance::Holder(app::SingleInstance::kName), getpid());
}

// Without a runtime folder the lock goes to the user's state folder, made
// for the user alone, and not to the shared temporary folder.
TEST(SingleInstancePosix, WithoutARuntimeFolderTheLockIsInThePrivateStateFolder) {
    testing_support::TempDir state;
    unsetenv("XDG_RUNTIME_DIR");
    testing_support::SetEnvironment("XDG_STATE_HOME", state.Path());
    EXPECT_EQ(app::SingleInstance::Place("x"), state.Path() + "/Palisandre/x");
    struct stat info;
    ASSERT_EQ(stat((state.Path() + "/Palisandre").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

}  // namespace
