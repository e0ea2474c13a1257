// Header values as a search reads them: encoded words (RFC 2047) in both
// forms and many charsets, what is malformed left as written, address lists
// without their comments, and the charset names mail uses.
#include "mime/header_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mime/mime_address.h"
#include "mime/mime_charset.h"

namespace {

using Cases = std::vector<std::pair<std::string, std::string>>;

TEST(HeaderText, EncodedWordsAreDecodedAndWhatIsMalformedStays) {
    const Cases cases = {
        {"=?utf-8?b?UsOpc3Vtw6k=?=", "R\xC3\xA9sum\xC3\xA9"},
        {"=?UTF-8?Q?R=C3=A9sum=C3=a9?=", "R\xC3\xA9sum\xC3\xA9"},
        {"=?utf-8?b?w6k?=", "\xC3\xA9"},  // padding left out
        {"=?iso-8859-1?q?caf=E9_cr=E8me?=", "caf\xC3\xA9 cr\xC3\xA8me"},
        {"=?windows-1251?b?xO7s?=", "\xD0\x94\xD0\xBE\xD0\xBC"},
        {"=?iso-2022-jp?b?GyRCRnxLXBsoQg==?=", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"=?shift_jis?B?k/qWew==?=", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"=?utf-8*en?q?hi?=", "hi"},  // an RFC 2231 language
        {"=?utf-8?q?a_b=3F=ZZ?=", "a b?=ZZ"},
        // Adjacent words join; blanks elsewhere stay.
        {"=?utf-8?q?a?= =?utf-8?q?b?=", "ab"},
        {"=?utf-8?q?a?=\r\n\t=?utf-8?q?b?=", "ab"},
        {"=?utf-8?q?a?= b =?utf-8?q?c?= d", "a b c d"},
        {"x=?utf-8?q?a?=y", "xay"},
        {"==?utf-8?q?a?=", "=a"},
        // Malformed: left as written, and the blank before one stays.
        {"=?utf-8?x?abc?=", "=?utf-8?x?abc?="},
        {"=?utf-8?q?a?= =?utf-8?x?abc?=", "a =?utf-8?x?abc?="},
        {"=?utf-8?q?unterminated", "=?utf-8?q?unterminated"},
        {"=?utf-8?b?w6k!?=", "=?utf-8?b?w6k!?="},
        {"=?utf-8?q?two words?=", "=?utf-8?q?two words?="},
        {"=??q?nocharset?=", "=??q?nocharset?="},
        {"=?utf-8?q?\?=", ""},
        // Charsets the tables lack: UTF-8 where it is, else ISO-8859-1.
        {"=?x-unknown?q?caf=E9?=", "caf\xC3\xA9"},
        {"=?koi8-r?q?caf=C3=A9?=", "caf\xC3\xA9"},
        {"=?utf-8?q?caf=E9?=", "caf\xC3\xA9"},
        // Raw bytes outside encoded words.
        {"Caf\xC3\xA9", "Caf\xC3\xA9"},
        {"Caf\xE9", "Caf\xC3\xA9"},
        {"a\r\n b", "a b"},
        {"", ""},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(DecodeHeaderText(value), text) << value;
}

TEST(HeaderText, ASectionReadsAsNameAndDecodedValuePerLine) {
    EXPECT_EQ(DecodeHeaderSection("Subject: =?utf-8?q?R=C3=A9?=\r\n =?utf-8?q?sum=C3=A9?=\r\n"
                                  "X-Extra:  two\r\n  lines\r\nno colon\r\n\r\nbody\r\n"),
              "Subject: R\xC3\xA9sum\xC3\xA9\r\nX-Extra: two  lines\r\nno colon: \r\n");
}

TEST(HeaderText, AddressesReadAsDovecotShowsThem) {
    const Cases cases = {
        {"bob@example.com (Bob Builder)", "\"Bob Builder\" <bob@example.com>"},
        {"bob(inner)@example.com", "inner <bob@example.com>"},
        {"bob(inner)@example(c2).com (Bob)", "Bob <bob@example.com>"},
        {"(lead) l@x", "l@x"},
        {"Ann <ann@x.org> (comment)", "Ann <ann@x.org>"},
        {"Mr. Smith <s@x>, \"Q, R\" <q@r>", "\"Mr. Smith\" <s@x>, \"Q, R\" <q@r>"},
        {"\"q\\\"t\" <qt@x>, \"a b\"@x", "\"q\\\"t\" <qt@x>, \"a b\"@x"},
        {"=?utf-8?q?J=C3=B6rg_M?= <j@x>", "J\xC3\xB6rg M <j@x>"},
        {"\"=?utf-8?q?J=C3=B6?=\" <j@x>", "J\xC3\xB6 <j@x>"},
        {"Team: a@b, C <c@d>;, e@f", "Team: a@b, C <c@d>;, e@f"},
        {"undisclosed-recipients:;", "undisclosed-recipients: ;"},
        {"<@route1,@route2:r@h>", "<@route1,@route2:r@h>"},
        {"bare, @nohost", "bare@MISSING_DOMAIN, MISSING_MAILBOX@nohost"},
        {"", ""},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(MimeAddressText(value), text) << value;
}

TEST(HeaderText, CharsetsGoByTheNamesMailUses) {
    const struct {
        const char* charset;
        std::string bytes;
        std::string text;
    } cases[] = {
        {"iso-8859-1", "caf\xE9", "caf\xC3\xA9"},
        {"LATIN1", "caf\xE9", "caf\xC3\xA9"},
        {"iso_8859-1:1987", "caf\xE9", "caf\xC3\xA9"},
        {"ISO8859-15", "\xA4", "\xE2\x82\xAC"},
        {"cp1251", "\xC4\xEE\xEC", "\xD0\x94\xD0\xBE\xD0\xBC"},
        {"windows-1253", "\xD3", "\xCE\xA3"},
        {"sjis", "\x93\xFA\x96\x7B", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"euc-jp", "\xC6\xFC\xCB\xDC", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"gbk", "\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},
        {"big5", "\xA4\xA4\xA4\xE5", "\xE4\xB8\xAD\xE6\x96\x87"},
        {"us-ascii", "caf\xC3\xA9", "caf\xC3\xA9"},
        {"x-unknown", "caf\xE9", "caf\xC3\xA9"},
        {"utf-8", "caf\xE9", "caf\xC3\xA9"},
        {"iso-8859-99", "caf\xE9", "caf\xC3\xA9"},
        {"", "plain", "plain"},
    };
    for (const auto& c : cases) {
        std::string out;
        MimeCharset(c.charset).AppendUtf8(out, c.bytes);
        EXPECT_EQ(out, c.text) << c.charset;
    }
}

}  // namespace
