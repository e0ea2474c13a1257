#include "http/md5.h"

#include <gtest/gtest.h>

#include "core/exception.h"
#include "tests/http/error_text.h"

namespace {

using testing_support::ErrorText;
using vxw::MD5;
using vxw::Md5Hex;

TEST(Md5, ReproducesTheRfc1321TestSuite) {
    struct Case {
        const char* input;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) EXPECT_EQ(Md5Hex(c.input), c.digest) << c.input;
}

TEST(Md5, PiecewiseUpdatesAcrossBlockEdgesEqualOneUpdate) {
    // Lengths around the 56- and 64-byte edges of padding and blocks, fed in odd pieces.
    for (size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
        std::string text(length, '\0');
        for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>(i * 7 + 3);
        MD5 md5;
        for (size_t at = 0; at < length; at += 13)
            md5.update(text.data() + at, std::min<size_t>(13, length - at));
        md5.finalize();
        char hex[33];
        md5.hex_digest(hex);
        EXPECT_EQ(std::string(hex), Md5Hex(text)) << length;
    }
}

TEST(Md5, MisuseThrowsItsThreeTexts) {
    MD5 md5;
    char hex[33];
    EXPECT_EQ(ErrorText([&] { md5.hex_digest(hex); }),
              "MD5::hex_digest:  Can't get digest if you haven't finalized the digest!");
    md5.finalize();
    EXPECT_EQ(ErrorText([&] { md5.update("x", 1); }),
              "MD5::update:  Can't update a finalized digest!");
    EXPECT_EQ(ErrorText([&] { md5.finalize(); }), "MD5::finalize:  Already finalized this digest!");
    md5.hex_digest(hex);
    EXPECT_STREQ(hex, "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace
