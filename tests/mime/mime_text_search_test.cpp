// What BODY and TEXT find in a message: only the text a person reads, read
// from the message in pieces as the spool file gives them.
#include "mime/mime_text_search.h"

#include <gtest/gtest.h>

#include <string>

#include "mime/mime_parser.h"
#include "tests/support/random.h"
#include "text/base64.h"
#include "text/case_fold.h"

namespace {

// Gives the message's bytes in pieces of at most maxPiece (random sizes
// when random), and counts what the search read.
struct Reader {
    const std::string& message;
    size_t maxPiece;
    bool random;
    uint64_t read = 0;

    MimeRangeReader Function() {
        return [this](uint64_t offset, uint64_t size, vxw::BodySink& sink) {
            while (size > 0) {
                size_t piece = random ? 1 + testing_support::RandomBelow(maxPiece) : maxPiece;
                piece = static_cast<size_t>(std::min<uint64_t>(piece, size));
                read += piece;
                if (!sink.Put(message.data() + offset, piece)) return;
                offset += piece;
                size -= piece;
            }
        };
    }
};

bool Contains(const std::string& message, const std::string& text, bool headers,
              size_t maxPiece = 65536, bool random = false) {
    MimePart root = ParseMimeMessage(message);
    vx::TextFinder finder(vx::FoldCase(text));
    Reader reader{message, maxPiece, random};
    return MimeTextContains(root, headers, finder, reader.Function());
}

const std::string kMixed =
    "From: c@x\r\nSubject: =?utf-8?q?R=C3=A9sum=C3=A9?=\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=b\r\n\r\npreambleword\r\n"
    "--b\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    "R3LDvMOfZSBhdXMgS8O2bG4K\r\n"
    "--b\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    "c2VjcmV0d29yZA==\r\n"
    "--b\r\nContent-Type: application/octet-stream\r\n\r\nplainattachword\r\n"
    "--b\r\nContent-Type: text/html; charset=iso-8859-1\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n\r\n<p>Caf=E9 cr=\r\n=E8me</p>\r\n"
    "--b\r\nContent-Type: message/rfc822\r\n\r\n"
    "Subject: =?iso-8859-7?b?08/WycE=?=\r\nX-Inner: innerheader\r\n\r\ninner body\r\n"
    "--b\r\nContent-Type: text/plain; charset=koi8-r\r\n\r\nunknown caf\xE9\r\n"
    "--b--\r\nepilogueword\r\n";

TEST(MimeTextSearch, OnlyTextPartsAndWithHeadersEveryHeaderCount) {
    const struct {
        const char* needle;
        bool body;  // BODY finds it
        bool text;  // TEXT finds it
    } cases[] = {
        {"GR\u00DC\u00DFE AUS", true, true},       // base64, UTF-8, folded
        {"caf\xC3\xA9 cr\xC3\xA8me", true, true},  // quoted-printable, ISO-8859-1
        {"inner body", true, true},
        {"unknown caf\xC3\xA9", true, true},  // a set the tables lack
        {"secretword", false, false},         // an image
        {"plainattachword", false, false},    // an attachment of another type
        {"preambleword", false, false},
        {"epilogueword", false, false},
        {"subject: r\xC3\xA9sum\xC3\xA9", false, true},
        {"\xCF\x83\xCE\xBF\xCF\x86\xCE\xB9\xCE\xB1", false, true},  // σοφια, the enclosed subject
        {"x-inner: innerheader", false, true},
        {"content-type: image/png", false, true},
        {"R3LDvMOf", false, false},  // the encoded form
        {"=?utf-8?q?", false, false},
        {"caf=E9", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Contains(kMixed, c.needle, false), c.body) << c.needle;
        EXPECT_EQ(Contains(kMixed, c.needle, true), c.text) << c.needle;
        EXPECT_EQ(Contains(kMixed, c.needle, true, 7, true), c.text) << c.needle;
    }
}

TEST(MimeTextSearch, PlainAndHeaderOnlyMessages) {
    const std::string plain = "Subject: s\r\n\r\nline one\r\nline two\r\n";
    EXPECT_TRUE(Contains(plain, "ONE\r\nLINE", false));
    EXPECT_FALSE(Contains(plain, "subject", false));
    EXPECT_TRUE(Contains("Subject: only a header\r\nFrom: a@b", "from: a@b", true));
    EXPECT_FALSE(Contains("Subject: only a header\r\nFrom: a@b", "a@b", false));
    EXPECT_FALSE(Contains("", "x", true));
    EXPECT_TRUE(Contains("", "", true));
}

// A word across two blocks of the spool file, and across the cut of a
// line too long to wait for, is found; nothing needs the whole body.
TEST(MimeTextSearch, AMatchAcrossTwoBlocksIsFound) {
    const std::string word =
        "\xC3\x89t\xC3\xA9 \xCE\xA3\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1";  // Été Σοφία
    const std::string folded = vx::FoldCase(word);
    const std::string text = std::string(65530, 'x') + "\r\n" + word + "\r\n";
    std::string encoded;
    for (size_t at = 0; at < text.size(); at += 57)
        encoded += vx::EncodeBase64(text.substr(at, 57)) + "\r\n";
    std::string longLine;
    for (int i = 0; i < 50000; ++i) longLine += "\xC3\xA9";
    const std::string header = "Content-Type: text/plain; charset=utf-8\r\n";
    const std::string messages[] = {
        header + "\r\n" + text,
        header + "Content-Transfer-Encoding: base64\r\n\r\n" + encoded,
        // One line of 100 kB: read in pieces, cut between characters.
        header + "\r\n" + longLine + word,
    };
    for (const std::string& message : messages) {
        EXPECT_TRUE(Contains(message, folded, false)) << message.substr(0, 80);
        EXPECT_TRUE(Contains(message, folded, false, 4096, true)) << message.substr(0, 80);
        EXPECT_FALSE(Contains(message, folded + "!", false)) << message.substr(0, 80);
    }
    EXPECT_TRUE(Contains(messages[2], "\xC3\xA9" + folded, false, 4096, true));
}

TEST(MimeTextSearch, ReadingStopsOnceFound) {
    const std::string message = "Subject: s\r\n\r\nfound early\r\n" + std::string(1000000, 'x');
    MimePart root = ParseMimeMessage(message);
    vx::TextFinder finder("found");
    Reader reader{message, 65536, false};
    EXPECT_TRUE(MimeTextContains(root, false, finder, reader.Function()));
    EXPECT_EQ(reader.read, 65536u);
}

}  // namespace
