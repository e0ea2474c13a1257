#include "text/base64.h"

#include <gtest/gtest.h>

#include "text/dw_encoded_word.h"
#include "text/str_util.h"

namespace {

using vx::StrUtil::Base64Decode;
using vx::StrUtil::Base64Encode;

TEST(Base64, EncodesOnOneLineWithPadding) {
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("M"), "TQ==");
    EXPECT_EQ(Base64Encode("Ma"), "TWE=");
    EXPECT_EQ(Base64Encode("Man"), "TWFu");
    EXPECT_EQ(Base64Encode(std::string("\0\xFF\xFE", 3)), "AP/+");
    std::string encoded = Base64Encode(std::string(57, 'x'));
    EXPECT_EQ(encoded.size(), 76u);
    EXPECT_EQ(Base64Encode(std::string(300, 'x')).find_first_of("\r\n"), std::string::npos);
}

TEST(Base64, DecodesLenientlyAndStopsAtTheFirstPad) {
    struct Case {
        const char* text;
        std::string expected;
        bool error;
    } cases[] = {
        {"TWFu", "Man", false},   {"TW\r\nF u\t", "Man", false},
        {"TWE=", "Ma", false},    {"TQ==", "M", false},
        {"TQ==TWFu", "M", false},  // nothing after the first pad
        {"TWFuTQ", "Man", false},  // a cut-off group gives nothing
        {"T*W.Fu", "Man", true},   // foreign characters skipped but noticed
        {"=", "", false},         {"", "", false},
    };
    for (const Case& c : cases) {
        bool error = false;
        EXPECT_EQ(vx::DecodeBase64(c.text, &error), c.expected) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_EQ(Base64Decode(c.text), c.expected) << c.text;
    }
}

TEST(Base64, RoundTripsEveryByteValue) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    for (size_t size = 0; size < 5; ++size) {
        std::string piece = bytes.substr(size) + bytes.substr(0, size);
        EXPECT_EQ(Base64Decode(Base64Encode(piece)), piece);
    }
}

TEST(DwEncodedWord, AssemblesBase64WordsOnlyWhenModified) {
    vx::DwEncodedWord word;
    EXPECT_EQ(word.ClassId(), 22);
    EXPECT_STREQ(word.ClassName(), "DwEncodedWord");
    word.Assemble();
    EXPECT_EQ(word.AsString(), "");  // nothing set, nothing to assemble

    word.SetCharset("ISO-8859-1");
    word.SetEncodingType('B');
    word.SetDecodedText("\xE9");
    EXPECT_TRUE(word.IsModified());
    word.Assemble();
    EXPECT_EQ(word.AsString(), "=?ISO-8859-1?B?6Q==?=");
    EXPECT_FALSE(word.IsModified());

    word.SetEncodingType('b');
    word.Assemble();
    EXPECT_EQ(word.AsString(), "=?ISO-8859-1?b?6Q==?=");
}

TEST(DwEncodedWord, ModifyingMarksTheEnclosingComponents) {
    vx::DwEncodedWord outer, inner;
    inner.SetParent(&outer);
    EXPECT_FALSE(outer.IsModified());
    inner.SetDecodedText("x");
    EXPECT_TRUE(outer.IsModified());
}

}  // namespace
