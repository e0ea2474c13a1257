#include <gtest/gtest.h>
#include <stdlib.h>

#include "app/single_instance.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(SingleInstance, SecondCopyIsRefusedUntilTheFirstIsGone) {
    testing_support::TempDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    app::SingleInstance first, second;
    EXPECT_TRUE(first.Acquire());
    EXPECT_FALSE(second.Acquire());
    first.Release();
    EXPECT_TRUE(second.Acquire());
}

}  // namespace
