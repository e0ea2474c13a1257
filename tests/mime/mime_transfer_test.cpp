// Transfer encodings undone on bodies cut anywhere: the same text whole and
// in random pieces, broken input included.
#include "mime/mime_transfer.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/random.h"

namespace {

std::string Decode(const std::string& encoding, const std::string& body, size_t maxPiece) {
    MimeTransferDecoder decoder(encoding);
    std::string out;
    for (size_t at = 0; at < body.size();) {
        size_t piece = maxPiece == 0 ? body.size() : 1 + testing_support::RandomBelow(maxPiece);
        decoder.Decode(std::string_view(body).substr(at, piece), out);
        at += piece;
    }
    decoder.Finish(out);
    return out;
}

TEST(MimeTransfer, BodiesDecodeAlikeWholeAndInPieces) {
    const struct {
        const char* encoding;
        std::string body;
        std::string text;
    } cases[] = {
        {"quoted-printable", "caf=E9 cr=e8me", "caf\xE9 cr\xE8me"},
        {"Quoted-Printable", "soft=\r\nbreak, soft=\nbreak", "softbreak, softbreak"},
        {"quoted-printable", "blanks after=  \t\r\nthe equals", "blanks afterthe equals"},
        {"quoted-printable", "=C3=\r\n=A9t=C3=A9", "\xC3\xA9t\xC3\xA9"},
        {"quoted-printable", "trailing  \t\r\nline \nend  ", "trailing\r\nline\nend"},
        {"quoted-printable", "keep  inner\tblanks", "keep  inner\tblanks"},
        {"quoted-printable", "a = b, bad=ZZ, =4 and ==41", "a = b, bad=ZZ, =4 and =A"},
        {"quoted-printable", "a=3D=3d", "a=="},
        {"quoted-printable", "end=", "end"},
        {"quoted-printable", "end=4", "end=4"},
        {"quoted-printable", "cr=\rx", "cr=\rx"},
        {"base64", "R3LDvMOfZSBhdXMgS8O2bG4K", "Gr\u00FC\u00DFe aus K\u00F6ln\n"},
        {"BASE64", "SGVs\r\nbG8=\r\n", "Hello"},
        {"base64", "SGVsbG8", "Hello"},  // padding left out
        {"base64", "SGVsbG8g\r\nd29y!bGQ*", "Hello world"},
        {"base64", "SGk=SGk=", "HiHi"},
        {"base64", "S", ""},
        {"7bit", "as=20is \r\n", "as=20is \r\n"},
        {"x-uuencode", "begin 644", "begin 644"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decode(c.encoding, c.body, 0), c.text) << c.body;
        for (int round = 0; round < 20; ++round)
            ASSERT_EQ(Decode(c.encoding, c.body, 4), c.text) << c.body << " round " << round;
    }
}

// A line of blanks with no end in sight is passed on, not held.
TEST(MimeTransfer, QuotedPrintableHoldsLittle) {
    MimeTransferDecoder decoder("quoted-printable");
    std::string out;
    decoder.Decode(std::string(100000, ' '), out);
    EXPECT_GE(out.size(), 99000u);
}

}  // namespace
