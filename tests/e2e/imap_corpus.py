"""Messages that are hard to take apart, and the account that holds them,
served alike by Dovecot (a Maildir) and by the local HTTPMail service (a mail
folder), so that what each IMAP server makes of them can be compared."""
import base64
import os

CRLF = b"\r\n"


def crlf(text):
    """Every line break as CR LF, as the HTTPMail service serves a message."""
    return text.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


# (name, message). Line breaks are LF here and CR LF once loaded.
TRICKY = [
    ("plain", b"From: Ann Example <ann@example.org>\nTo: Dan <dan@example.org>\n"
              b"Subject: Lunch\nDate: Tue, 1 Jul 2003 10:52:37 +0200\n"
              b"Message-ID: <lunch@example.org>\n\nAt noon?\n"),
    ("alternative", b"From: ann@example.org\nSubject: =?utf-8?q?R=C3=A9union?=\n"
                    b"MIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=\"alt\"\n\n"
                    b"--alt\nContent-Type: text/plain; charset=utf-8\n"
                    b"Content-Transfer-Encoding: quoted-printable\n\nR=C3=A9union =E0 9h\n"
                    b"--alt\nContent-Type: text/html; charset=utf-8\n"
                    b"Content-Transfer-Encoding: 8bit\n\n<p>R\xc3\xa9union</p>\n--alt--\n"),
    ("nested", b"From: a@example.org\nTo: b@example.org, c@example.org\nSubject: nested\n"
               b"Content-Type: multipart/mixed; boundary=out\n\npreamble\n--out\n"
               b"Content-Type: text/plain\n\nsee attached\n--out\n"
               b"Content-Type: message/rfc822\nContent-Disposition: attachment\n\n"
               b"From: inner@example.org\nSubject: inner\nMessage-ID: <in@x>\n"
               b"Content-Type: multipart/related; boundary=\"in ner\"; type=\"text/html\"\n\n"
               b"--in ner\nContent-Type: text/html\nContent-ID: <c1>\n\n<img src=cid:c2>\n"
               b"--in ner\nContent-Type: image/png; name=\"a.png\"\nContent-ID: <c2>\n"
               b"Content-Transfer-Encoding: base64\nContent-Description: a picture\n\n"
               b"iVBORw0KGgo=\n--in ner--\n\n--out\n"
               b"Content-Type: application/pdf; name*0=\"long\"; name*1=\"name.pdf\"\n"
               b"Content-Disposition: attachment; filename=\"r.pdf\"; size=5\n"
               b"Content-Language: en, de\nContent-Location: http://example.org/r.pdf\n"
               b"Content-MD5: Q2hlY2sgSW50ZWdyaXR5IQ==\nContent-Transfer-Encoding: base64\n\n"
               b"JVBERi0=\n--out--\nepilogue\n"),
    ("broken boundaries", b"Subject: t\nContent-Type: multipart/mixed; boundary=b\n\n"
                          b"--b\nContent-Type: text/plain\n--b\n\n--b\n\nx\n\n"
                          b"--b\nno header line\nmore\n\nbody\n--bx\n\nprefix\n--b--  \n"),
    ("no boundary", b"Subject: nb\nContent-Type: multipart/mixed\n\n--b\n\nx\n"),
    ("unclosed", b"From: a@b\nSubject: s\n x\nTo: c@d\nContent-Type: multipart/mixed; boundary=out\n\n"
                 b"--out\nContent-Type: multipart/alternative; boundary=in\n\n--in\n\nplain\n"
                 b"--out\nContent-Type: message/rfc822\n\nFrom: x@y\n"
                 b"Content-Type: multipart/mixed; boundary=deep\n\n--deep\n\nd1\n--out--\n"),
    ("digest", b"Subject: digest\nContent-Type: multipart/digest; boundary=d\n\n--d\n\n"
               b"Subject: one\nFrom: one@x\n\nfirst\n--d\nContent-Type: text/plain\n\nsecond\n"
               b"--d\n\n--d--\n"),
    ("header only", b"Subject: only a header\nFrom: a@b"),
    ("empty", b""),
    ("addresses", b"Subject: caf\xc3\xa9 \x01x\nFrom: J\xc3\xb6rg <j@x>, =?utf-8?q?J=C3=B6rg?= <k@x>\n"
                  b"To: undisclosed-recipients:;\n"
                  b"Cc: user@host (Comment Name), \"Quoted Name\" <q@h> (c2), "
                  b"<@route1,@route2:r@h>, bare, @nohost, x@, \"\" <e@f>\n"
                  b"Bcc: a.b@c (x (nested) y), \"a, b\" <ab@x>, \"q\\\"t\" <qt@x>\n"
                  b"Reply-To:\nSender:  \nIn-Reply-To: <a@b>\n  <c@d>\n"
                  b"Message-ID:   <m@id> \nDate: bad date\n\nx\n"),
    ("more addresses", b"From: <>\nSender: \"Sec Retary\" <sec@x>\nReply-To: list: a@x, \"B\" <b@x>;, c@x\n"
                       b"To: \"a b\"@x, x@[1.2.3.4], Team: (none);, ,d@x,\n"
                       b"Cc: =?utf-8?b?w4lsaXNl?= <e@x>, \"=?utf-8?q?J=C3=B6?=\" <j@x>, "
                       b"Mr. Smith <s@x>, (lead) l@x\n"
                       b"Subject: =?utf-8?q?a?= =?utf-8?q?b?=\nMessage-ID: <id with space@x>\n\nx\n"),
    ("forwarded whole", b"From: fw@x\nSubject: Fwd\nContent-Type: message/rfc822\n\n"
                        b"From: orig@x\nSubject: original\nContent-Type: multipart/mixed; boundary=o\n\n"
                        b"--o\n\nfirst\n--o\nContent-Type: text/html\n\n<i>second</i>\n--o--\n"),
    ("odd types", b"Subject: odd\nContent-Type: multipart/mixed; boundary=\"=_x\"\n\n--=_x\n"
                  b"Content-Type: foo\n\n1\n--=_x\nContent-Type: text\n\n2\n--=_x\n"
                  b"Content-Type: text/plain; charset\n\n3\n--=_x\n"
                  b"Content-Type: TEXT/Html; Format=Flowed\nContent-Transfer-Encoding: Base64\n\n"
                  b"NA==\n--=_x\nContent-Type: message/rfc822\n\n--=_x--\n"),
    ("folded", b"Subject: a\n  folded\tline \nFrom: Ann\n <a@b>\nTo: \"Long, Name\"\n\t<l@n>\n"
               b"Content-Type: text/plain;\n charset=\"iso-8859-1\"\n\nbody\n"),
]


def mutf7(name):
    """A mailbox name in modified UTF-7 (RFC 3501 5.1.3), as Dovecot names
    its folders on disk."""
    out, run = [], ""
    def flush():
        if run:
            data = base64.b64encode(run.encode("utf-16-be")).decode().rstrip("=")
            out.append("&" + data.replace("/", ",") + "-")
    for c in name:
        if 0x20 <= ord(c) <= 0x7e:
            flush()
            run = ""
            out.append("&-" if c == "&" else c)
        else:
            run += c
    flush()
    return "".join(out)


class Account:
    """The account the client workflows use: folders by IMAP name, each a
    list of (message, seen). Special folders carry their special use."""

    USER = "dan"
    PASSWORD = "secret-pw"
    # IMAP name -> (HTTPMail folder on disk, special use or None)
    FOLDERS = {
        "INBOX": ("inbox", None),
        "Junk Mail": ("junk", "\\Junk"),
        "Sent Items": ("sent", "\\Sent"),
        "Deleted Items": ("deleted", "\\Trash"),
        "MSN Promotions": ("promo", None),
        "Work": ("folders/Work", None),
        "Re\u00e7us": ("folders/Re\u00e7us", None),
    }

    def __init__(self):
        ordinary = [b"From: f%d@example.org\nTo: dan@example.org\nSubject: note %d\n"
                    b"Date: Wed, %d Jan 2025 08:00:00 +0000\n\nline %d\n" % (i, i, i + 1, i)
                    for i in range(6)]
        self.folders = {
            "INBOX": [(crlf(m), i % 2 == 0) for i, (_, m) in enumerate(TRICKY)]
                     + [(crlf(ordinary[0]), False), (crlf(ordinary[1]), True)],
            "Junk Mail": [(crlf(ordinary[2]), False)],
            "Sent Items": [(crlf(ordinary[3]), True)],
            "Deleted Items": [(crlf(ordinary[4]), True)],
            "MSN Promotions": [],
            "Work": [(crlf(ordinary[5]), False), (crlf(TRICKY[2][1]), True)],
            "Re\u00e7us": [],
        }

    def write_mail_dir(self, root):
        """The HTTPMail service's --mail-dir layout. The service keeps no read
        state on disk, so every message starts unread there."""
        account = os.path.join(root, self.USER)
        os.makedirs(account)
        with open(os.path.join(account, "account"), "w") as f:
            f.write("password = %s\nauth = basic\n" % self.PASSWORD)
        for name, messages in self.folders.items():
            folder = os.path.join(account, self.FOLDERS[name][0])
            os.makedirs(folder, exist_ok=True)
            for i, (message, _) in enumerate(messages):
                with open(os.path.join(folder, "%03d.eml" % (i + 1)), "wb") as f:
                    f.write(message)

    def write_maildir(self, home, seen=True):
        """Dovecot's Maildir++ in the "fs" layout ("/" between levels); with
        seen, the read state goes into the file names."""
        for number, (name, messages) in enumerate(self.folders.items()):
            folder = os.path.join(home, "Maildir", "" if name == "INBOX" else mutf7(name))
            for sub in ("cur", "new", "tmp"):
                os.makedirs(os.path.join(folder, sub), exist_ok=True)
            for i, (message, read) in enumerate(messages):
                flags = "S" if seen and read else ""
                # Unique in the whole account: Dovecot keys messages by it.
                path = os.path.join(folder, "cur", "%d.%d_%03d.corpus:2,%s" % (1700000000 + i, number,
                                                                             i, flags))
                with open(path, "wb") as f:
                    f.write(message)
