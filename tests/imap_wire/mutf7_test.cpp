#include "imap_wire/mutf7.h"

#include <gtest/gtest.h>

namespace {

struct RoundTrip {
    const char* utf8;
    const char* name;
};

const RoundTrip kRoundTrips[] = {
    {"INBOX", "INBOX"},
    {"", ""},
    {"Tom & Jerry", "Tom &- Jerry"},
    {"&", "&-"},
    {"&&", "&-&-"},
    {"Entw\xc3\xbcrfe", "Entw&APw-rfe"},
    // RFC 3501 5.1.3's own example: Japanese and ASCII in one name.
    {"~peter/mail/\xe5\x8f\xb0\xe5\x8c\x97/\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e",
     "~peter/mail/&U,BTFw-/&ZeVnLIqe-"},
    {"\xc3\xa4&\xc3\xb6", "&AOQ-&-&APY-"},
    {"\xc3\xa4\xc3\xb6\xc3\xbc", "&AOQA9gD8-"},
    // Outside the basic plane: a surrogate pair.
    {"\xf0\x9f\x98\x80 smile", "&2D3eAA- smile"},
    // Control characters are no printable ASCII and are encoded.
    {"a\tb", "a&AAk-b"},
    {"\x7f", "&AH8-"},
};

TEST(Mutf7Test, EncodesAndDecodesBack) {
    for (const RoundTrip& c : kRoundTrips) {
        EXPECT_EQ(Mutf7::Encode(c.utf8), c.name) << c.utf8;
        vx::Str decoded;
        EXPECT_TRUE(Mutf7::Decode(c.name, decoded)) << c.name;
        EXPECT_EQ(decoded, c.utf8) << c.name;
    }
}

TEST(Mutf7Test, BrokenUtf8BecomesTheReplacementCharacter) {
    const RoundTrip cases[] = {
        {"a\xff"
         "b",
         "a&,,0-b"},
        {"\xc3", "&,,0-"},               // cut short
        {"\xc0\xaf", "&,,3,,Q-"},        // overlong "/": each byte replaced
        {"\xed\xa0\x80", "&,,3,,f,9-"},  // an encoded surrogate
    };
    for (const RoundTrip& c : cases) EXPECT_EQ(Mutf7::Encode(c.utf8), c.name) << c.name;
    EXPECT_EQ(Mutf7::Encode(std::string_view("a\0b", 3)), "a&,,0-b");
}

TEST(Mutf7Test, RefusesEveryFormTheEncoderWouldNotWrite) {
    const char* invalid[] = {
        "&",            // unterminated
        "a&AOQ",        // unterminated run
        "&AOQ/-",       // "/" is not in the alphabet
        "&AOQ=-",       // no padding in modified Base64
        "&AOR-",        // pad bits not zero
        "&AOQA-",       // a whole superfluous character
        "&AGE-",        // "a" encoded
        "&ACY-",        // "&" encoded
        "&AAA-",        // NUL
        "&2D0-",        // a high surrogate alone
        "&3gA-",        // a low surrogate alone
        "&2D3YPQ-",     // a high surrogate followed by another
        "&AOQ-&APY-",   // two runs back to back
        "caf\xc3\xa9",  // 8-bit bytes
        "a\tb",         // a control character as itself
        "a\x7f",
    };
    for (const char* name : invalid) {
        vx::Str decoded;
        EXPECT_FALSE(Mutf7::Decode(name, decoded)) << name;
    }
}

}  // namespace
