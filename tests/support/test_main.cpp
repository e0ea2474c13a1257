// Every test program runs with settings of its own (settings_sandbox.h).
#include <gtest/gtest.h>

#include "tests/support/settings_sandbox.h"

int main(int argc, char** argv) {
    testing_support::PrepareTestProcess();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
