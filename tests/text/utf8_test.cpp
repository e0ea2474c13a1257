#include "text/utf8.h"

#include <gtest/gtest.h>

namespace {

using vx::CodePoints;
using vx::StrUtil::DecodeUtf8;
using vx::StrUtil::EncodeUtf8;

TEST(Utf8, DecodeSkipsWhatIsMalformed) {
    struct Case {
        std::string text;
        CodePoints expected;
    } cases[] = {
        {std::string("A\0B", 3), {0x41, 0, 0x42}},
        {"\xC3\xA9", {0xE9}},
        {"\xE3\x81\x82", {0x3042}},
        {"\xF0\x9F\x98\x80", {0x1F600}},
        {"\xFD\xBF\xBF\xBF\xBF\xBF", {0x7FFFFFFF}},
        {"\x80\x41\xBF", {0x41}},  // stray continuation bytes
        {"a\xE3\x81", {0x61}},     // sequence cut off by the end
        {"\xE3\x41", {0x41}},      // lead skipped, what follows read again
        {"\xC3\x41", {0xC1}},      // following bytes are not checked
        {"\xC0\x80\x41", {0x41}},  // decodes to 0: nothing, lead only consumed
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeUtf8(c.text), c.expected) << c.text;
}

TEST(Utf8, EncodeUsesOneToSixBytes) {
    struct Case {
        uint32_t codePoint;
        std::string expected;
    } cases[] = {
        {0, std::string(1, '\0')},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x1FFFFF, "\xF7\xBF\xBF\xBF"},
        {0x200000, "\xF8\x88\x80\x80\x80"},
        {0x3FFFFFF, "\xFB\xBF\xBF\xBF\xBF"},
        {0x4000000, "\xFC\x84\x80\x80\x80\x80"},
        {0x7FFFFFFF, "\xFD\xBF\xBF\xBF\xBF\xBF"},
    };
    for (const Case& c : cases) {
        std::string out = "previous";
        EncodeUtf8(out, c.codePoint);
        EXPECT_EQ(out, c.expected) << c.codePoint;
        if (c.codePoint != 0) {
            EXPECT_EQ(DecodeUtf8(out), CodePoints{c.codePoint}) << c.codePoint;
        }
    }
}

TEST(Utf8, EncodeLeavesTheOutputAloneForTopBitValues) {
    std::string out = "kept";
    EncodeUtf8(out, 0x80000000);
    EXPECT_EQ(out, "kept");
    EncodeUtf8(out, 0xFFFFFFFF);
    EXPECT_EQ(out, "kept");
}

}  // namespace
