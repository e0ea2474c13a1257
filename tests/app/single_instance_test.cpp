#include "app/single_instance.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tests/support/test_platform.h"

namespace {

TEST(SingleInstance, SecondCopyIsRefusedUntilTheFirstIsGone) {
    testing_support::TempDir runtime;
    testing_support::SetEnvironment("XDG_RUNTIME_DIR",
                                    runtime.Path());  // where the lock file goes on Linux
    app::SingleInstance first, second;
    EXPECT_TRUE(first.Acquire());
    EXPECT_FALSE(second.Acquire());
    first.Release();
    EXPECT_TRUE(second.Acquire());
}

}  // namespace
