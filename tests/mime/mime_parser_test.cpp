// The parser and the BODYSTRUCTURE writer together: each message's expected
// structure is what a real IMAP server (Dovecot 2.3) answers for it, except
// where a comment says otherwise.
#include "mime/mime_parser.h"

#include <gtest/gtest.h>

#include "imap_wire/mime_bodystructure.h"
#include "tests/support/random.h"

namespace {

// Offsets and line counts of every part, depth first:
// "[h<offset>+<size> b<offset>+<size>/<lines> <children>]".
vx::Str Describe(const MimePart& part) {
    vx::Str out = "[h" + std::to_string(part.headerOffset) + "+" + std::to_string(part.headerSize) +
                  " b" + std::to_string(part.bodyOffset) + "+" + std::to_string(part.bodySize) +
                  "/" + std::to_string(part.bodyLines);
    for (const MimePart& child : part.children) out += " " + Describe(child);
    return out + "]";
}

struct StructureCase {
    const char* name;
    const char* message;
    const char* bodystructure;
};

const StructureCase kStructureCases[] = {
    {"boundary edge cases",
     "Subject: t\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
     "--b\r\nContent-Type: text/plain\r\n--b\r\n\r\n--b\r\n\r\nx\r\n\r\n"
     "--b\r\nno header line\r\nmore\r\n\r\nbody\r\n--bx\r\n\r\nprefix\r\n--b--  \r\n",
     "((\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 0 0 NIL NIL NIL NIL)"
     "(\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 0 0 NIL NIL NIL NIL)"
     "(\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 3 1 NIL NIL NIL NIL)"
     "(\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 4 0 NIL NIL NIL NIL)"
     "(\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 6 0 NIL NIL NIL NIL)"
     " \"mixed\" (\"boundary\" \"b\") NIL NIL NIL)"},
    {"every content field, letter case kept",
     "Content-Type: TEXT/Html\r\nContent-Transfer-Encoding: Base64\r\nContent-ID: <id1>\r\n"
     "Content-Description: desc \"q\"\r\nContent-MD5: abc\r\n"
     "Content-Disposition: Attachment; FileName=\"a b.txt\"; size=3\r\n"
     "Content-Language: en, DE\r\nContent-Location: http://x/y\r\n\r\nPGI+\r\n",
     "(\"TEXT\" \"Html\" (\"charset\" \"us-ascii\") \"<id1>\" \"desc \\\"q\\\"\" \"Base64\" 6 1 "
     "\"abc\" (\"Attachment\" (\"FileName\" \"a b.txt\" \"size\" \"3\")) (\"en\" \"DE\") "
     "\"http://x/y\")"},
    {"parameters with a comment and a quoted value",
     "Content-Type: text/plain; format=flowed; CHARSET=\"UTF-8\" (comment)\r\n\r\nx\r\n",
     "(\"text\" \"plain\" (\"format\" \"flowed\" \"CHARSET\" \"UTF-8\") NIL NIL \"7bit\" 3 1 NIL "
     "NIL NIL NIL)"},
    {"multipart without a boundary: one empty part",
     "Content-Type: multipart/mixed\r\n\r\n--b\r\n\r\nx\r\n",
     "((\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 0 0 NIL NIL NIL NIL) "
     "\"mixed\" NIL NIL NIL NIL)"},
    {"digest: parts are messages unless they say otherwise",
     "Content-Type: multipart/digest; boundary=b\r\n\r\n--b\r\n\r\nSubject: s\r\n\r\nx\r\n"
     "--b\r\nContent-Type: text/plain\r\n\r\ny\r\n--b--\r\n",
     "((\"message\" \"rfc822\" NIL NIL NIL \"7bit\" 15 (NIL \"s\" NIL NIL NIL NIL NIL NIL NIL NIL) "
     "(\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 1 0 NIL NIL NIL NIL) 2 NIL "
     "NIL NIL NIL)(\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 1 0 NIL NIL NIL "
     "NIL) \"digest\" (\"boundary\" \"b\") NIL NIL NIL)"},
    {"no line count outside text", "Content-Type: application/octet-stream; name=x\r\n\r\nabc",
     "(\"application\" \"octet-stream\" (\"name\" \"x\") NIL NIL \"7bit\" 3 NIL NIL NIL NIL)"},
    {"a header without its empty line", "Subject: only header\r\nFrom: a@b",
     "(\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 0 0 NIL NIL NIL NIL)"},
    {"an empty message", "",
     "(\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 0 0 NIL NIL NIL NIL)"},
    {"a type without a subtype", "Content-Type: foo\r\n\r\nx",
     "(\"foo\" \"\" NIL NIL NIL \"7bit\" 1 NIL NIL NIL NIL)"},
    {"a parameter without a value is dropped", "Content-Type: text/plain; charset\r\n\r\nx",
     "(\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 1 0 NIL NIL NIL NIL)"},
    // Dovecot joins "name*0"/"name*1" too but mangles a lone "file*" into
    // "file*1*"; here an encoded parameter keeps its name.
    {"bare LF, nested multiparts, split parameters, the first Content-Type wins",
     "Subject: a\n  folded\tline \nFrom: Ann <a@b>\nContent-Type: multipart/mixed; boundary=out\n\n"
     "--out\nContent-Type: multipart/alternative; boundary=in\n\n--in\n\nplain\n--in\n"
     "Content-Type: text/html\n\n<b>\n--out\n"
     "Content-Type: application/x; name*0=\"a\"; name*1=\"b\"; file*=utf-8''%C3%A9\n"
     "Content-Type: text/plain\n\nzz\n--out--\n",
     "(((\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 5 0 NIL NIL NIL NIL)"
     "(\"text\" \"html\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 3 0 NIL NIL NIL NIL) "
     "\"alternative\" (\"boundary\" \"in\") NIL NIL NIL)(\"application\" \"x\" (\"name\" \"ab\" "
     "\"file*\" \"utf-8''%C3%A9\") NIL NIL \"7bit\" 2 NIL NIL NIL NIL) \"mixed\" (\"boundary\" "
     "\"out\") NIL NIL NIL)"},
    {"an outer boundary ends inner parts; a message part holds a multipart",
     "From: a@b\r\nSubject: s\r\n x\r\nTo: c@d\r\nContent-Type: multipart/mixed; "
     "boundary=out\r\n\r\n"
     "--out\r\nContent-Type: multipart/alternative; boundary=in\r\n\r\n--in\r\n\r\nplain\r\n"
     "--out\r\nContent-Type: message/rfc822\r\n\r\nFrom: x@y\r\n"
     "Content-Type: multipart/mixed; boundary=deep\r\n\r\n--deep\r\n\r\nd1\r\n--out--\r\n",
     "(((\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 5 0 NIL NIL NIL NIL) "
     "\"alternative\" (\"boundary\" \"in\") NIL NIL NIL)(\"message\" \"rfc822\" NIL NIL NIL "
     "\"7bit\" "
     "71 (NIL NIL ((NIL NIL \"x\" \"y\")) ((NIL NIL \"x\" \"y\")) ((NIL NIL \"x\" \"y\")) NIL NIL "
     "NIL "
     "NIL NIL) ((\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 2 0 NIL NIL NIL "
     "NIL) "
     "\"mixed\" (\"boundary\" \"deep\") NIL NIL NIL) 5 NIL NIL NIL NIL) \"mixed\" (\"boundary\" "
     "\"out\") NIL NIL NIL)"},
    {"a boundary that begins with another one",
     "Content-Type: multipart/mixed; boundary=ab\r\n\r\n--ab\r\n"
     "Content-Type: multipart/mixed; "
     "boundary=a\r\n\r\n--a\r\n\r\none\r\n--ab\r\n\r\ntwo\r\n--ab--\r\n",
     "(((\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 3 0 NIL NIL NIL NIL) "
     "\"mixed\" (\"boundary\" \"a\") NIL NIL NIL)(\"text\" \"plain\" (\"charset\" \"us-ascii\") "
     "NIL "
     "NIL \"7bit\" 3 0 NIL NIL NIL NIL) \"mixed\" (\"boundary\" \"ab\") NIL NIL NIL)"},
};

TEST(MimeParserTest, StructureOfTrickyMessages) {
    for (const StructureCase& c : kStructureCases) {
        MimePart root = ParseMimeMessage(c.message);
        EXPECT_EQ(WriteBodyStructure(root, true), c.bodystructure) << c.name;
    }
}

TEST(MimeParserTest, BodyLeavesOutTheExtensionData) {
    MimePart root = ParseMimeMessage(kStructureCases[4].message);
    EXPECT_EQ(WriteBodyStructure(root, false),
              "((\"message\" \"rfc822\" NIL NIL NIL \"7bit\" 15 (NIL \"s\" NIL NIL NIL NIL NIL NIL "
              "NIL NIL) (\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 1 0) 2)"
              "(\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 1 0) \"digest\")");
}

TEST(MimeParserTest, OffsetsOfHeadersAndBodies) {
    // One nested message; every header and body where it lies, line ends
    // before boundaries left out of the bodies.
    const char* message =
        "A: 1\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"  // 0..51
        "pre\r\n--b\r\n"                                             // 51..61
        "Content-Type: message/rfc822\r\n\r\n"                       // 61..93
        "B: 2\r\n\r\nhi\nthere\r\n"                                  // 93..111
        "--b--\r\nepilogue";                                         // 111..126
    EXPECT_EQ(Describe(ParseMimeMessage(message)),
              "[h0+51 b51+75/9 [h61+32 b93+16/3 [h93+8 b101+8/1]]]");

    // An empty message in a digest: the boundary takes back the empty line,
    // and the message inside stays within its part.
    EXPECT_EQ(Describe(ParseMimeMessage("Content-Type: multipart/digest; boundary=d\r\n\r\n"
                                        "--d\r\n\r\n--d--\r\n")),
              "[h0+46 b46+14/3 [h51+0 b51+0/0 [h51+0 b51+0/0]]]");
    // An inner boundary line right before an outer one: the empty part it
    // opens stays inside its multipart.
    EXPECT_EQ(Describe(ParseMimeMessage("Content-Type: multipart/mixed; boundary=o\r\n\r\n"
                                        "--o\r\nContent-Type: multipart/mixed; boundary=i\r\n\r\n"
                                        "--i\r\n--o--\r\n")),
              "[h0+45 b45+62/5 [h50+45 b95+3/0 [h98+0 b98+0/0]]]");
}

TEST(MimeParserTest, SameTreeHoweverTheMessageIsCut) {
    vx::Str large = "Content-Type: multipart/mixed; boundary=\"=_long_boundary_\"\r\n\r\n";
    for (int i = 0; i < 40; ++i) {
        large += "--=_long_boundary_\r\nContent-Type: text/plain\r\n\r\n";
        large += vx::Str(static_cast<size_t>(i * 7), 'x') + "\r\n-\r\n--=_long\r\n\r\n";
    }
    large += "--=_long_boundary_--\r\n";
    std::vector<vx::Str> messages = {large};
    for (const StructureCase& c : kStructureCases) messages.push_back(c.message);
    for (const vx::Str& message : messages) {
        MimePart whole = ParseMimeMessage(message);
        vx::Str expected = Describe(whole) + WriteBodyStructure(whole, true);
        for (int round = 0; round < 30; ++round) {
            MimeParser parser;
            size_t at = 0;
            while (at < message.size()) {
                size_t piece = 1 + testing_support::RandomBelow(round < 5 ? 2 : 40);
                piece = std::min(piece, message.size() - at);
                parser.Feed(message.data() + at, piece);
                at += piece;
            }
            MimePart cut = parser.Finish();
            ASSERT_EQ(Describe(cut) + WriteBodyStructure(cut, true), expected) << message;
        }
    }
}

TEST(MimeParserTest, TheHeaderIsDoneAtItsEmptyLine) {
    const vx::Str message = "Subject: s\r\nFrom: a@b\r\n\r\nbody\r\n";
    MimeParser parser;
    for (size_t at = 0; at < message.size(); ++at) {
        EXPECT_FALSE(parser.HeaderDone()) << at;
        parser.Feed(message.data() + at, 1);
        if (parser.HeaderDone()) {
            EXPECT_EQ(at + 1, message.find("body"));
            break;
        }
    }
    MimePart root = parser.Finish();
    EXPECT_EQ(root.header, "Subject: s\r\nFrom: a@b\r\n\r\n");
    EXPECT_EQ(root.bodySize, 0u);
}

TEST(MimeParserTest, LimitsKeepTheParserBoundedAndTheOffsetsExact) {
    // Nesting deeper than the limit: the innermost multipart is plain content.
    vx::Str deep;
    for (size_t i = 0; i < MimeParser::kMaxDepth + 5; ++i)
        deep += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\r\n\r\n--b" +
                std::to_string(i) + "\r\n";
    deep += "\r\nend\r\n";
    MimePart root = ParseMimeMessage(deep);
    size_t depth = 0;
    for (const MimePart* part = &root; !part->children.empty(); part = &part->children.front())
        ++depth;
    EXPECT_EQ(depth, MimeParser::kMaxDepth - 1);

    // More parts than the limit: the last part takes the rest.
    vx::Str many = "Content-Type: multipart/mixed; boundary=b\r\n\r\n";
    for (size_t i = 0; i < MimeParser::kMaxParts + 10; ++i) many += "--b\r\n\r\nx\r\n";
    root = ParseMimeMessage(many);
    EXPECT_EQ(root.children.size(), MimeParser::kMaxParts - 1);
    EXPECT_EQ(root.bodyOffset + root.bodySize, many.size());

    // A huge header: cut where it is kept, exact where it ends.
    vx::Str big = "X: " + vx::Str(MimeParser::kMaxHeaderKept + 100, 'h') + "\r\n\r\nbody";
    root = ParseMimeMessage(big);
    EXPECT_EQ(root.header.size(), MimeParser::kMaxHeaderKept);
    EXPECT_FALSE(root.headerComplete);
    EXPECT_EQ(root.headerSize, big.size() - 4);
    EXPECT_EQ(root.bodySize, 4u);
}

}  // namespace
