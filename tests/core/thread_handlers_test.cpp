#include <gtest/gtest.h>

#include <thread>

#include "core/boundary.h"
#include "core/exception.h"
#include "core/thread_handlers.h"

namespace {

// Kept out of the compiler's and the sanitizer's sight: the point is the
// processor's own trap.
volatile int quotient;
__attribute__((noinline, no_sanitize("undefined"))) void Divide(volatile int a, volatile int b) {
    quotient = a / b;
}

TEST(ThreadHandlers, IntegerDivisionByZeroEndsOnlyThatThreadsWork) {
    std::string reported;
    std::thread session([&] {
        vxw::InstallThreadHandlers();
        vx::CatchAtBoundary("PopServer::SessionWorker", vx::kUnknownError, [] { Divide(1, 0); },
                            [&](const std::string& text) { reported = text; });
    });
    session.join();
    EXPECT_EQ(reported,
              "PopServer::SessionWorker::catch::vx - WINEXCEPTION: The thread attempted to divide an "
              "integer value by an integer divisor of zero. (3221225620)");
    // The process and this thread go on; a second fault is translated again.
    std::thread again([&] {
        vxw::InstallThreadHandlers();
        try {
            Divide(2, 0);
        } catch (const vxw::WinException& e) {
            reported = std::to_string(static_cast<uint32_t>(e.Code()));
        }
        try {
            Divide(3, 0);
        } catch (const vxw::WinException& e) {
            reported += "+" + std::to_string(static_cast<uint32_t>(e.Code()));
        }
    });
    again.join();
    EXPECT_EQ(reported, "3221225620+3221225620");
}

__attribute__((noinline, no_sanitize("undefined"))) void StoreThrough(volatile int* pointer) {
    *pointer = 1;
}

TEST(ThreadHandlersDeathTest, InvalidAccessIsLoggedAndEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            vxw::InstallThreadHandlers();
            StoreThrough(nullptr);
        },
        testing::ExitedWithCode(70),
        "WINEXCEPTION: The thread attempted to read from or write to a virtual address for which it "
        "does not have the appropriate access. \\(3221225477\\)");
}

}  // namespace
