#include "imap_wire/mime_section.h"

#include <gtest/gtest.h>

#include "mime/mime_parser.h"

namespace {

TEST(MimeSectionTest, ParsesWhatClientsSendAndRefusesTheRest) {
    struct Valid {
        const char* inside;
        const char* name;  // as the reply names it
    };
    const Valid valid[] = {
        {"", ""},
        {"TEXT", "TEXT"},
        {"header", "HEADER"},
        {"1", "1"},
        {"1.2.3", "1.2.3"},
        {"1.mime", "1.MIME"},
        {"2.Text", "2.TEXT"},
        {"header.fields (from Subject)", "HEADER.FIELDS (FROM SUBJECT)"},
        {"1.HEADER.FIELDS.NOT (\"X-Y\" \"a b\")", "1.HEADER.FIELDS.NOT (X-Y \"A B\")"},
        {"0", "0"},
    };
    for (const Valid& c : valid) {
        MimeSection section;
        ASSERT_TRUE(ParseMimeSection(c.inside, section)) << c.inside;
        EXPECT_EQ(MimeSectionName(section), c.name);
    }
    const char* invalid[] = {
        "MIME",
        "1.",
        ".1",
        "1..2",
        "TEXTS",
        "1.2.X",
        "HEADER.FIELDS",
        "HEADER.FIELDS ()",
        "HEADER.FIELDS (a",
        "HEADER.FIELDS (a))",
        "HEADER.FIELDS  (a)",
        "HEADER.FIELDS (a  b)",
        "HEADER (a)",
        "TEXT ",
        "4294967296",
        "HEADER.FIELDS (a{)",
    };
    for (const char* inside : invalid) {
        MimeSection section;
        EXPECT_FALSE(ParseMimeSection(inside, section)) << inside;
    }
}

struct SectionCase {
    const char* section;
    const char* bytes;
};

vx::Str Fetch(const vx::Str& message, const MimePart& root, const char* inside) {
    MimeSection section;
    EXPECT_TRUE(ParseMimeSection(inside, section)) << inside;
    MimeSectionData data = ResolveMimeSection(root, section);
    if (data.kind == MimeSectionData::Kind::Bytes) return data.bytes;
    EXPECT_LE(data.offset + data.size, message.size()) << inside;
    return message.substr(data.offset, data.size);
}

// What Dovecot 2.3 answers for each section of the same messages.
TEST(MimeSectionTest, SectionsOfNestedMessagesAndBrokenParts) {
    const vx::Str nested =
        "From: a@b\r\nSubject: s\r\n x\r\nTo: c@d\r\nContent-Type: multipart/mixed; "
        "boundary=out\r\n"
        "\r\n--out\r\nContent-Type: multipart/alternative; boundary=in\r\n\r\n--in\r\n\r\nplain\r\n"
        "--out\r\nContent-Type: message/rfc822\r\n\r\nFrom: x@y\r\n"
        "Content-Type: multipart/mixed; boundary=deep\r\n\r\n--deep\r\n\r\nd1\r\n--out--\r\n";
    const SectionCase nestedCases[] = {
        {"", nested.c_str()},
        {"HEADER.FIELDS (subject \"TO\" from)", "From: a@b\r\nSubject: s\r\n x\r\nTo: c@d\r\n\r\n"},
        {"HEADER.FIELDS.NOT (subject to)",
         "From: a@b\r\nContent-Type: multipart/mixed; boundary=out\r\n\r\n"},
        {"HEADER.FIELDS (X-None)", "\r\n"},
        {"2.HEADER", "From: x@y\r\nContent-Type: multipart/mixed; boundary=deep\r\n\r\n"},
        {"2", "From: x@y\r\nContent-Type: multipart/mixed; boundary=deep\r\n\r\n--deep\r\n\r\nd1"},
        {"2.1", "d1"},
        {"2.TEXT", "--deep\r\n\r\nd1"},
        {"2.1.MIME", "\r\n"},
        {"2.1.1", "d1"},
        {"1.1", "plain"},
        {"1.1.TEXT", ""},
        {"2.HEADER.FIELDS (from)", "From: x@y\r\n\r\n"},
        {"2.MIME", "Content-Type: message/rfc822\r\n\r\n"},
        {"3", ""},
    };
    MimePart root = ParseMimeMessage(nested);
    for (const SectionCase& c : nestedCases)
        EXPECT_EQ(Fetch(nested, root, c.section), c.bytes) << c.section;

    const vx::Str broken =
        "Subject: t\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n--b\r\n\r\n--b\r\n\r\nx\r\n\r\n"
        "--b\r\nno header line\r\nmore\r\n\r\nbody\r\n--bx\r\n\r\nprefix\r\n--b--  \r\n";
    const SectionCase brokenCases[] = {
        {"1.MIME", "Content-Type: text/plain"},
        {"1", ""},
        {"2.MIME", ""},
        {"3", "x\r\n"},
        {"4.MIME", "no header line\r\nmore\r\n\r\n"},
        {"4", "body"},
        {"4.1", "body"},
        {"5", "prefix"},
        {"1.HEADER", ""},
        {"1.TEXT", ""},
        {"6", ""},
        {"0", ""},
    };
    root = ParseMimeMessage(broken);
    for (const SectionCase& c : brokenCases)
        EXPECT_EQ(Fetch(broken, root, c.section), c.bytes) << c.section;

    const vx::Str single = "Subject: one\r\n\r\nonly\r\n";
    root = ParseMimeMessage(single);
    EXPECT_EQ(Fetch(single, root, "1"), "only\r\n");
    EXPECT_EQ(Fetch(single, root, "HEADER"), "Subject: one\r\n\r\n");
    EXPECT_EQ(Fetch(single, root, "TEXT"), "only\r\n");
    EXPECT_EQ(Fetch(single, root, "2"), "");

    // No body and no blank line: none in the header fetches either.
    const vx::Str headerOnly = "Subject: only\r\nFrom: a@b";
    root = ParseMimeMessage(headerOnly);
    EXPECT_EQ(Fetch(headerOnly, root, "HEADER.FIELDS (FROM)"), "From: a@b\r\n");
    EXPECT_EQ(Fetch(headerOnly, root, "HEADER.FIELDS.NOT (FROM)"), "Subject: only\r\n");
    root = ParseMimeMessage("");
    EXPECT_EQ(Fetch("", root, "HEADER.FIELDS (FROM)"), "");
    const vx::Str lf = "Subject: lf\n\nbody";
    root = ParseMimeMessage(lf);
    EXPECT_EQ(Fetch(lf, root, "HEADER.FIELDS (SUBJECT)"), "Subject: lf\n\r\n");
}

TEST(MimeSectionTest, PartialFetchesClipToTheSection) {
    MimeSectionData range;
    range.offset = 100;
    range.size = 10;
    MimeSectionData bytes;
    bytes.kind = MimeSectionData::Kind::Bytes;
    bytes.bytes = "0123456789";
    struct Clip {
        uint64_t start, count, offset, size;
    };
    const Clip clips[] = {
        {0, 10, 100, 10}, {3, 5, 103, 5},   {3, 100, 103, 7}, {9, 1, 109, 1},
        {10, 1, 110, 0},  {300, 5, 110, 0}, {0, 0, 100, 0},   {2, UINT64_MAX, 102, 8},
    };
    for (const Clip& c : clips) {
        MimeSectionData clipped = ClipMimeSection(range, c.start, c.count);
        EXPECT_EQ(clipped.offset, c.offset) << c.start << "." << c.count;
        EXPECT_EQ(clipped.size, c.size) << c.start << "." << c.count;
        EXPECT_EQ(ClipMimeSection(bytes, c.start, c.count).bytes,
                  bytes.bytes.substr(c.offset - 100, c.size));
    }
}

}  // namespace
