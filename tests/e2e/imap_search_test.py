"""SEARCH through the whole chain with imaplib: imaplib -> the mirelink
program -> its web mail client -> the local HTTPMail service serving a mail
folder the test writes. A search text in UTF-8 (imaplib sends it as a
literal) finds what a person reads in the messages, and over the same
messages the gateway answers as Dovecot does."""
import imaplib
import os
import subprocess
import unittest

from imap_corpus import Account, crlf
from imap_peers import Dovecot, ImapGateway, dovecot_available

MESSAGES = [
    b"From: Ann <ann@x.org>\nSubject: =?utf-8?b?UsOpc3Vtw6k=?=\n\nplain body\n",
    b"From: bob@example.com (Bob Builder)\nTo: dan@x.org (the boss), \"Eve (x)\" <eve@y.org>\n"
    b"Subject: =?UTF-8?B?Q2Fmw6k=?= =?utf-8?q?_au_lait?=\nX-Extra: first\nX-Extra: second\n\n"
    b"body\n",
    b"From: c@x\nSubject: parts\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
    b"preambleword\n--b\nContent-Type: text/plain; charset=utf-8\n"
    b"Content-Transfer-Encoding: base64\n\nR3LDvMOfZSBhdXMgS8O2bG4K\n"
    b"--b\nContent-Type: image/png\nContent-Transfer-Encoding: base64\n\nc2VjcmV0d29yZA==\n"
    b"--b\nContent-Type: application/octet-stream\n\nplainattachword\n"
    b"--b\nContent-Type: text/html; charset=iso-8859-1\nContent-Transfer-Encoding: quoted-printable"
    b"\n\n<p>Caf=E9 cr=\n=E8me</p>\n--b\nContent-Type: message/rfc822\n\n"
    b"Subject: innersubject\nX-Inner: innerheader\n\ninner body\n--b--\nepilogueword\n",
    b"From: d@x\nSubject: \xce\xa3\xce\x9f\xce\xa6\xce\x99\xce\x91 \xd0\x94\xd0\x9e\xd0\x9c STRASSE\n\n"
    b"body\n",
    b"From: e@x\n\nno subject here\n",
    b"From: f@x\nSubject: =?utf-8?q?a?= =?utf-8?q?b?= =?utf-8?x?abc?= =?utf-8?q?unterminated\n"
    b"Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: quoted-printable\n\n"
    b"soft=\nbreak =C3=\n=A9t=C3=A9 bad=ZZ end=\n",
]

# (key, search text): every one of them answered alike by both servers.
SEARCHES = [
    ("SUBJECT", "R\u00e9sum\u00e9"), ("SUBJECT", "r\u00c9SUM\u00c9"), ("SUBJECT", "N"),
    ("SUBJECT", "UTF"), ("SUBJECT", "Caf\u00e9 au lait"), ("SUBJECT", "Caf\u00e9au"),
    ("SUBJECT", "ab"), ("SUBJECT", "a b"), ("SUBJECT", "=?utf-8?x?abc?="),
    ("SUBJECT", "unterminated"), ("SUBJECT", "\u03c3\u03bf\u03c6\u03b9\u03b1"),
    ("SUBJECT", "\u03c2\u03bf\u03c6"), ("SUBJECT", "\u0434\u043e\u043c"), ("SUBJECT", "ss"),
    ("SUBJECT", ""), ("HEADER X-Extra", "second"), ("HEADER X-Extra", "first"),
    ("HEADER X-Extra", ""), ("FROM", "Builder"), ("FROM", "bob@"), ("FROM", "com (Bob"),
    ("HEADER From", "com (Bob"), ("TO", "boss"), ("TO", "Eve (x)"), ("TO", "eve@y"),
    ("BODY", "gr\u00fc\u00dfe"), ("BODY", "secretword"), ("BODY", "plainattachword"),
    ("BODY", "preambleword"), ("BODY", "epilogueword"), ("BODY", "caf\u00e9 cr\u00e8me"),
    ("BODY", "innersubject"), ("BODY", "inner body"), ("TEXT", "innersubject"),
    ("TEXT", "content-type: image"), ("TEXT", "subject: r\u00e9sum\u00e9"),
    ("BODY", "softbreak"), ("BODY", "\u00e9t\u00e9"), ("BODY", "bad=ZZ"), ("BODY", "end="),
    ("BODY", ""),
]


class SearchAccount(Account):
    def __init__(self):
        super().__init__()
        self.folders = {name: [] for name in self.folders}
        self.folders["INBOX"] = [(crlf(m), False) for m in MESSAGES]


# imap-tools, as a user of it searches: the UTF-8 text inline in a quoted
# string (8-bit, as Dovecot accepts it), no literal. It is Debian's module,
# run by Debian's python3 whichever interpreter runs this test.
IMAP_TOOLS = """
import sys
from imap_tools import AND, MailBoxUnencrypted
with MailBoxUnencrypted("127.0.0.1", int(sys.argv[1])).login(sys.argv[2], sys.argv[3]) as box:
    print(" ".join(m.subject for m in box.fetch(AND(subject=sys.argv[4]), charset="utf-8")))
"""
SYSTEM_PYTHON = "/usr/bin/python3"


def imap_tools_available():
    return os.path.exists(SYSTEM_PYTHON) and subprocess.run(
        [SYSTEM_PYTHON, "-c", "import imap_tools"], capture_output=True).returncode == 0


def login(server):
    client = imaplib.IMAP4("127.0.0.1", server.port, timeout=60)
    client.login(server.user, server.password)
    client.select("INBOX", readonly=True)
    return client


def search(client, key, text):
    """The message numbers found; the text goes as a literal in UTF-8."""
    client.literal = text.encode()
    typ, data = client.search("UTF-8", key)
    return typ, data[0].decode().split()


class SearchThroughTheChain(unittest.TestCase):
    def test_a_utf8_subject_is_found(self):
        with ImapGateway(SearchAccount()) as gateway:
            client = login(gateway)
            self.assertEqual(("OK", ["1"]), search(client, "SUBJECT", "R\u00e9sum\u00e9"))
            self.assertEqual(("OK", ["3"]), search(client, "BODY", "GR\u00dc\u00dfE"))
            # Not the encoded word's letters.
            self.assertEqual(("OK", []), search(client, "SUBJECT", "UsOp"))
            tag = client._new_tag()
            client.send(tag + b" SEARCH CHARSET KOI8-R ALL\r\n")
            self.assertEqual(tag + b" NO [BADCHARSET (US-ASCII UTF-8)] Unknown character set",
                             client.readline().rstrip())
            client.logout()

    @unittest.skipUnless(imap_tools_available(), "imap-tools is not installed")
    def test_imap_tools_finds_a_non_ascii_subject(self):
        with ImapGateway(SearchAccount()) as gateway:
            found = subprocess.run(
                [SYSTEM_PYTHON, "-c", IMAP_TOOLS, str(gateway.port), gateway.user,
                 gateway.password, "r\u00e9sum\u00e9"],
                capture_output=True, text=True, timeout=120)
            self.assertEqual(0, found.returncode, found.stderr[-2000:])
            self.assertEqual("R\u00e9sum\u00e9", found.stdout.strip())

    @unittest.skipUnless(dovecot_available(), "Dovecot is not installed")
    def test_answers_as_dovecot_does(self):
        answers = {}
        for server in (Dovecot, ImapGateway):
            with server(SearchAccount()) as running:
                client = login(running)
                answers[server] = [search(client, key, text) for key, text in SEARCHES]
                client.logout()
        for (key, text), dovecot, gateway in zip(SEARCHES, answers[Dovecot], answers[ImapGateway]):
            self.assertEqual(dovecot, gateway, "%s %r" % (key, text))


if __name__ == "__main__":
    unittest.main()
