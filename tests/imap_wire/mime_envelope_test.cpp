// Expected envelopes are what Dovecot 2.3 answers for the same headers, but
// that a text it sends as a literal only for a quote goes as a quoted string
// with escapes here.
#include "imap_wire/mime_envelope.h"

#include <gtest/gtest.h>

namespace {

struct EnvelopeCase {
    const char* name;
    const char* header;
    const char* envelope;
};

const EnvelopeCase kEnvelopeCases[] = {
    {"no header", "", "(NIL NIL NIL NIL NIL NIL NIL NIL NIL NIL)"},
    {"names, a group among mailboxes, sender and reply-to from From",
     "From: \"Joe Q. Public\" <joe@example.com>\r\n"
     "To: a@b.c, Group: x@y.z, \"q\\\"t\" <p@q.r>;\r\n"
     "Subject: =?utf-8?q?h=C3=A9llo?= there\r\nDate: Tue, 1 Jul 2003 10:52:37 +0200\r\n"
     "Message-ID: <1@x>\r\n\r\n",
     "(\"Tue, 1 Jul 2003 10:52:37 +0200\" \"=?utf-8?q?h=C3=A9llo?= there\" "
     "((\"Joe Q. Public\" NIL \"joe\" \"example.com\")) ((\"Joe Q. Public\" NIL \"joe\" "
     "\"example.com\")) ((\"Joe Q. Public\" NIL \"joe\" \"example.com\")) ((NIL NIL \"a\" \"b.c\")"
     "(NIL NIL \"Group\" NIL)(NIL NIL \"x\" \"y.z\")(\"q\\\"t\" NIL \"p\" \"q.r\")(NIL NIL NIL "
     "NIL)) "
     "NIL NIL NIL \"<1@x>\")"},
    {"8-bit text, comments as names, routes, missing parts, folded fields",
     "Subject: caf\xc3\xa9 \x01x\r\nFrom: J\xc3\xb6rg <j@x>, =?utf-8?q?J=C3=B6rg?= <k@x>\r\n"
     "To: undisclosed-recipients:;\r\n"
     "Cc: user@host (Comment Name), \"Quoted Name\" <q@h> (c2), <@route1,@route2:r@h>, bare, "
     "@nohost, x@, \"\" <e@f>\r\nBcc: a.b@c (x (nested) y)\r\nReply-To:\r\nSender:  \r\n"
     "In-Reply-To: <a@b>\r\n  <c@d>\r\nMessage-ID:   <m@id> \r\nDate: bad date\r\n\r\n",
     "(\"bad date\" {8}\r\ncaf\xc3\xa9 \x01x (({5}\r\nJ\xc3\xb6rg NIL \"j\" \"x\")"
     "(\"=?utf-8?q?J=C3=B6rg?=\" NIL \"k\" \"x\")) (({5}\r\nJ\xc3\xb6rg NIL \"j\" \"x\")"
     "(\"=?utf-8?q?J=C3=B6rg?=\" NIL \"k\" \"x\")) (({5}\r\nJ\xc3\xb6rg NIL \"j\" \"x\")"
     "(\"=?utf-8?q?J=C3=B6rg?=\" NIL \"k\" \"x\")) ((NIL NIL \"undisclosed-recipients\" NIL)"
     "(NIL NIL NIL NIL)) ((\"Comment Name\" NIL \"user\" \"host\")(\"Quoted Name\" NIL \"q\" \"h\")"
     "(NIL \"@route1,@route2\" \"r\" \"h\")(NIL NIL \"bare\" \"MISSING_DOMAIN\")"
     "(NIL NIL \"MISSING_MAILBOX\" \"nohost\")(NIL NIL \"x\" \"MISSING_DOMAIN\")"
     "(NIL NIL \"e\" \"f\")) ((\"x (nested) y\" NIL \"a.b\" \"c\")) \"<a@b>  <c@d>\" \"<m@id> \")"},
    // Dovecot answers MISSING_MAILBOX@MISSING_DOMAIN for each empty element;
    // RFC 5322 4.4 allows them, and they name nobody.
    {"a quoted local part keeps its blank; empty list elements name nobody",
     "To: \"a b\"@x, x@[1.2.3.4], ,d@x,\r\nCc: (just a comment)\r\n\r\n",
     "(NIL NIL NIL NIL NIL ((NIL NIL \"a b\" \"x\")(NIL NIL \"x\" \"[1.2.3.4]\")"
     "(NIL NIL \"d\" \"x\")) NIL NIL NIL NIL)"},
    {"blanks in a folded subject simplified, bare LF",
     "Subject: a\n  folded\tline \nFrom: Ann <a@b>\n\n",
     "(NIL \"a folded line\" ((\"Ann\" NIL \"a\" \"b\")) ((\"Ann\" NIL \"a\" \"b\")) "
     "((\"Ann\" NIL \"a\" \"b\")) NIL NIL NIL NIL NIL)"},
};

TEST(MimeEnvelopeTest, EnvelopeOfTrickyHeaders) {
    for (const EnvelopeCase& c : kEnvelopeCases)
        EXPECT_EQ(WriteEnvelope(c.header), c.envelope) << c.name;
}

}  // namespace
