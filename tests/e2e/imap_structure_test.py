"""The message model against a real IMAP server: for every message of the
corpus, ENVELOPE, BODYSTRUCTURE, BODY and the BODY[section] of every part as
Dovecot answers them and as the model makes them (mime_dump)."""
import os
import subprocess
import tempfile
import unittest

import imap_wire
from imap_clients import departure
from imap_corpus import TRICKY, Account, crlf
from imap_peers import Dovecot, dovecot_available

MIME_DUMP = os.environ.get("MIME_DUMP_BIN", "mime_dump")


def part_numbers(structure, prefix=""):
    """Every part number a BODYSTRUCTURE holds, depth first."""
    numbers = []
    if isinstance(structure[0], list):  # a multipart: its parts, then the subtype
        for i, part in enumerate(p for p in structure if isinstance(p, list)):
            number = prefix + str(i + 1)
            numbers.append(number)
            numbers += part_numbers(part, number + ".")
    elif (isinstance(structure[0], bytes) and structure[0].lower() == b"message"
          and structure[1].lower() == b"rfc822"):
        inner = structure[8]
        if isinstance(inner[0], list):
            numbers += part_numbers(inner, prefix)
        else:
            numbers.append(prefix + "1")
    return numbers


def sections(structure):
    found = ["", "HEADER", "TEXT", "HEADER.FIELDS (FROM TO SUBJECT DATE)",
             "HEADER.FIELDS.NOT (FROM CONTENT-TYPE)", "1", "1.MIME", "9", "9.MIME"]
    for number in part_numbers(structure):
        found += [number, number + ".MIME", number + ".HEADER", number + ".TEXT",
                  number + ".HEADER.FIELDS (SUBJECT FROM)", number + ".9"]
    return list(dict.fromkeys(found))


class StructureAgainstDovecot(unittest.TestCase):
    @unittest.skipUnless(dovecot_available(), "Dovecot is not installed")
    def test_every_part_of_every_tricky_message(self):
        account = Account()
        account.folders = {name: [] for name in account.folders}
        account.folders["INBOX"] = [(crlf(message), False) for _, message in TRICKY]
        with Dovecot(account) as dovecot, tempfile.TemporaryDirectory() as scratch:
            imap = imap_wire.Connection(dovecot.port)
            try:
                imap.ok(b"LOGIN %s %s" % (dovecot.user.encode(), dovecot.password.encode()))
                imap.ok(b"SELECT INBOX")
                for number, (name, message) in enumerate(TRICKY, 1):
                    with self.subTest(message=name):
                        self.compare(imap, number, crlf(message), scratch)
            finally:
                imap.close()

    def compare(self, imap, number, message, scratch):
        structure = imap.fetch(b"%d" % number, b"BODYSTRUCTURE")[number]["BODYSTRUCTURE"]
        wanted = sections(structure)
        items = b"ENVELOPE BODYSTRUCTURE BODY " + b" ".join(
            b"BODY.PEEK[%s]" % s.encode() for s in wanted)
        dovecot = imap.fetch(b"%d" % number, items)[number]
        dovecot.pop("FLAGS", None)
        path = os.path.join(scratch, "message")
        with open(path, "wb") as f:
            f.write(message)
        dump = subprocess.run([MIME_DUMP, path, *wanted], capture_output=True, timeout=30,
                              check=True).stdout
        values, _ = imap_wire.parse(dump)
        pairs = values[3]
        model = {pairs[i].upper(): pairs[i + 1] for i in range(0, len(pairs), 2)}
        self.assertEqual(sorted(dovecot), sorted(model))
        for item in dovecot:
            if not departure(item, dovecot[item], model[item]):
                self.assertEqual(dovecot[item], model[item], item)


if __name__ == "__main__":
    unittest.main()
