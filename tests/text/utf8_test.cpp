#include "text/utf8.h"

#include <gtest/gtest.h>

namespace {

using vx::CodePoints;
using vx::StrUtil::DecodeUtf8;
using vx::StrUtil::EncodeUtf8;
using vx::StrUtil::IsUtf8;
using vx::StrUtil::NextUtf8;

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

// What a charset guess trusts as UTF-8: only the forms RFC 3629 allows.
TEST(Utf8, NextTakesOnlyWellFormedSequences) {
    struct Case {
        std::string text;
        size_t length;  // 0: not well-formed
        uint32_t codePoint;
    } cases[] = {
        {"A", 1, 0x41},
        {"\xC3\xA9x", 2, 0xE9},
        {"\xE2\x82\xAC", 3, 0x20AC},
        {"\xF0\x9F\x98\x80", 4, 0x1F600},
        {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
        {"\xF4\x90\x80\x80", 0, 0},  // above U+10FFFF
        {"\xC0\xAF", 0, 0},          // overlong
        {"\xE0\x80\xAF", 0, 0},      // overlong
        {"\xED\xA0\x80", 0, 0},      // a surrogate
        {"\xC3", 0, 0},              // cut off
        {"\xC3\x41", 0, 0},          // no continuation byte
        {"\xA9", 0, 0},              // a continuation byte alone
        {"\xE9t\xE9", 0, 0},         // ISO-8859-1
        {"", 0, 0},
    };
    for (const Case& c : cases) {
        uint32_t codePoint = 0;
        EXPECT_EQ(NextUtf8(c.text, codePoint), c.length) << c.text;
        if (c.length != 0) {
            EXPECT_EQ(codePoint, c.codePoint) << c.text;
        }
    }
    EXPECT_TRUE(IsUtf8("plain, R\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80"));
    EXPECT_TRUE(IsUtf8(""));
    EXPECT_FALSE(IsUtf8("R\xE9sum\xE9"));
    EXPECT_FALSE(IsUtf8("ok \xC3"));
}

}  // namespace
