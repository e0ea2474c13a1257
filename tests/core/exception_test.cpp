#include <gtest/gtest.h>

#include <stdexcept>

#include "core/boundary.h"
#include "core/exception.h"

namespace {

TEST(Exception, CodeIsAppendedOnlyWhenNotZero) {
    EXPECT_EQ(vx::Exception("Place::Step - text", 5).Message(), "Place::Step - text (5)");
    EXPECT_EQ(vx::Exception("Place::Step - text", -10054).Message(), "Place::Step - text (-10054)");
    EXPECT_EQ(vx::Exception("Place::Step - text", 0).Message(), "Place::Step - text");
    EXPECT_EQ(vx::Exception("x", 5).Code(), 5);
}

TEST(Exception, SocketHandlerCatchesHttpAndClosed) {
    auto kindOf = [](auto thrower) -> std::string {
        try {
            thrower();
        } catch (const vxw::SocketError& e) {
            return "socket:" + e.Message();
        } catch (const vx::Exception& e) {
            return "vx:" + e.Message();
        }
        return "none";
    };
    EXPECT_EQ(kindOf([] { throw vxw::HttpError("h", 401); }), "socket:h (401)");
    EXPECT_EQ(kindOf([] { throw vxw::SocketClosed("c"); }), "socket:c");
    EXPECT_EQ(kindOf([] { throw vxw::WinException(0xC0000005u); }).substr(0, 3), "vx:");
}

TEST(WinException, TextCarriesDescriptionAndUnsignedCode) {
    struct Case {
        uint32_t code;
        const char* message;
    } cases[] = {
        {0xC0000094u, "WINEXCEPTION: The thread attempted to divide an integer value by an integer "
                      "divisor of zero. (3221225620)"},
        {0xC0000005u, "WINEXCEPTION: The thread attempted to read from or write to a virtual address "
                      "for which it does not have the appropriate access. (3221225477)"},
        {0xC00000FDu, "WINEXCEPTION: The thread used up its stack. (3221225725)"},
        {0x80000003u, "WINEXCEPTION: A breakpoint was encountered. (2147483651)"},
        {0x12345678u, "WINEXCEPTION: Unknown Exception. (305419896)"},
    };
    for (const Case& c : cases) {
        vxw::WinException e(c.code);
        EXPECT_EQ(e.Message(), c.message);
        EXPECT_EQ(static_cast<uint32_t>(e.Code()), c.code);
    }
}

TEST(Boundary, BuildsTheThreeStepTexts) {
    std::string text;
    auto report = [&](const std::string& t) { text = t; };
    EXPECT_TRUE(vx::CatchAtBoundary("Place", vx::kUnexpected, [] {}, report));
    EXPECT_EQ(text, "");

    EXPECT_FALSE(vx::CatchAtBoundary("Place", vx::kUnexpected, [] { throw vx::Exception("boom", 3); }, report));
    EXPECT_EQ(text, "Place::catch::vx - boom (3)");

    vx::CatchAtBoundary("Place", vx::kUnexpected, [] { throw std::runtime_error("std boom"); }, report);
    EXPECT_EQ(text, "Place::catch::std - std boom");

    vx::CatchAtBoundary("Place", vx::kUnknownError, [] { throw 42; }, report);
    EXPECT_EQ(text, "Place::catch::all - Unknown error.");
    vx::CatchAtBoundary("WinMain", vx::kUnexpected, [] { throw 42; }, report);
    EXPECT_EQ(text, "WinMain::catch::all - Unexpected.");
}

}  // namespace
