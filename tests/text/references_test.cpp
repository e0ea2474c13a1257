#include <gtest/gtest.h>

#include "text/str_util.h"

namespace {

using vx::StrUtil::GetElementVal;
using vx::StrUtil::XmlToText;

TEST(XmlToText, DecodesReferencesAndLeavesTheRest) {
    struct Case {
        std::string text;
        std::string expected;
    } cases[] = {
        {"a &amp; b", "a & b"},
        {"&lt;D:href&gt;", "<D:href>"},
        {"Pat&apos;s mail", "Pat's mail"},  // XML's fifth entity, not in the HTML table
        {"&#65;&#x41;&x41;&#X41;", "AAAA"},
        {"&#233;&eacute;&Eacute;", "\xC3\xA9\xC3\xA9\xC3\x89"},
        {"&nbsp;", " "},
        {"&euro;", "\xE2\x82\xAC"},
        {"&#;&x;&#x;&#abc;", "----"},                // numbers without digits
        {"&#65abc;", "A"},                           // digits read up to the first non-digit
        {"&#4294967361;", "A"},                      // numbers wrap modulo 2^32
        {"&#-1;&#2147483648;", ""},                  // beyond what UTF-8 can carry
        {"x&unknown;y", "xy"},                       // an unknown entity disappears
        {"&abcdefghijklmn;", ""},                    // a 14-character name is looked up
        {"&abcdefghijklmno;", "&abcdefghijklmno;"},  // ";" beyond reach
        {"&amp", "&amp"},
        {"a&", "a&"},
        {"& amp;", ""},
        {"&amp;amp;", "&amp;"},  // inserted text is not read again
        {std::string("&am\0p;", 6), std::string("&am\0p;", 6)},
        {"<a href=\"x\">&quot;</a>", "<a href=\"x\">\"</a>"},
    };
    for (const Case& c : cases) EXPECT_EQ(XmlToText(c.text), c.expected) << c.text;
}

TEST(XmlToText, ReferenceToZeroGivesANulByte) {
    EXPECT_EQ(XmlToText("a&#0;b"), std::string("a\0b", 3));
}

TEST(GetElementVal, NeverLooksPastTheTextItIsGiven) {
    const std::string whole = "&amp;";
    std::string value = "unchanged";
    size_t consumed = 0;
    EXPECT_FALSE(GetElementVal(std::string_view(whole).substr(0, 4), value, consumed));
    EXPECT_EQ(value, "unchanged");
    EXPECT_FALSE(GetElementVal(std::string_view(), value, consumed));
    EXPECT_FALSE(GetElementVal("x&amp;", value, consumed));
    ASSERT_TRUE(GetElementVal(whole, value, consumed));
    EXPECT_EQ(value, "&");
    EXPECT_EQ(consumed, 5u);
}

}  // namespace
