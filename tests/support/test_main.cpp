// Every test program runs with settings of its own: the settings store of the
// current user is pointed at a fresh folder before any test can touch it.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <cstdlib>

#include "tests/support/temp_dir.h"

namespace {

// Death-test children leave through exit(); remove their folder then too.
testing_support::TempDir* settings = nullptr;
void RemoveSettings() {
    delete settings;
    settings = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    settings = new testing_support::TempDir;
    std::atexit(RemoveSettings);
    setenv("XDG_CONFIG_HOME", settings->Path().c_str(), 1);
    // A peer that vanishes must give an error, as in the program.
    signal(SIGPIPE, SIG_IGN);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
