"""The whole chain for IMAP: imaplib and curl -> the mirelink program -> its
web mail client -> HTTP through the proxy settings -> the local HTTPMail
service. What the clients receive is compared with what the service holds,
and the service's mailbox shows what the gateway did (moves, deletions,
read state)."""
import imaplib
import re
import shutil
import subprocess
import time
import unittest

import imap_clients
from gateway_fixture import ALICE, Gateway, Service, free_port, listening
from pop3_chain_test import mailbox


class ImapGatewayRun(Gateway):
    """The program with its IMAP service on a port of its own."""

    def __init__(self, service, **settings):
        self.imap_port = free_port()
        super().__init__(service, PortImap=self.imap_port, **settings)

    def __enter__(self):
        super().__enter__()
        deadline = time.monotonic() + 10
        while not listening(self.imap_port):
            if time.monotonic() > deadline:
                raise RuntimeError("no IMAP listener: " + self.log())
            time.sleep(0.02)
        return self

    def imap(self, user=ALICE):
        client = imaplib.IMAP4("127.0.0.1", self.imap_port, timeout=30)
        client.login(*user)
        return client


def uid_and_size(data):
    found = re.search(rb"UID (\d+) RFC822\.SIZE (\d+)", data)
    return int(found.group(1)), int(found.group(2))


class ImapChain(unittest.TestCase):
    def test_a_client_reads_every_folder_byte_for_byte(self):
        with Service() as service, ImapGatewayRun(service) as gateway:
            client = gateway.imap()
            typ, folders = client.list()
            self.assertEqual("OK", typ)
            names = [line.decode() for line in folders]
            self.assertIn('(\\HasNoChildren \\Junk) "/" "Junk Mail"', names)
            self.assertIn('(\\HasNoChildren) "/" Re&AOc-us', names)
            held = [m for m in mailbox(service, "alice") if m[0] == "inbox"]
            typ, count = client.select("INBOX", readonly=True)
            self.assertEqual([str(len(held)).encode()], count)
            for number, (folder, ident, size) in enumerate(held, 1):
                typ, data = client.fetch(str(number), "(UID RFC822.SIZE BODY.PEEK[])")
                status, body = service.curl(
                    "GET", "http://services.msn.com/mail/alice/inbox/" + ident, ALICE)
                self.assertEqual(200, status)
                self.assertEqual(body, data[0][1], ident)
                self.assertEqual((number, size), uid_and_size(data[0][0]))
            client.logout()

    def test_flags_moves_and_deletions_reach_the_service(self):
        with Service() as service, ImapGatewayRun(service) as gateway:
            client = gateway.imap()
            client.select("INBOX")
            before = [m for m in mailbox(service, "alice") if m[0] == "inbox"]
            self.assertEqual("OK", client.uid("STORE", "1", "+FLAGS", "(\\Seen \\Flagged)")[0])
            typ, _ = client.uid("MOVE", "2", "Work")
            self.assertEqual("OK", typ)
            self.assertEqual("OK", client.store("1", "+FLAGS", "(\\Deleted)")[0])
            typ, data = client.expunge()
            self.assertEqual(b"1", data[-1])
            after = mailbox(service, "alice")
            self.assertIn(("deleted", before[0][1], before[0][2]), after)
            self.assertIn(("folders/Work", before[1][1], before[1][2]), after)
            # The flags go with the message, and last beyond the session.
            client.logout()
            client = gateway.imap()
            client.select('"Deleted Items"')
            typ, data = client.fetch("1:*", "(FLAGS)")
            self.assertIn(b"\\Flagged", b" ".join(data))
            client.logout()

    def test_curl_lists_and_fetches(self):
        with Service() as service, ImapGatewayRun(service) as gateway:
            url = "imap://127.0.0.1:%d/" % gateway.imap_port
            listed = subprocess.run(["curl", "-s", "-u", "alice:wonderland", url],
                                    capture_output=True, timeout=60)
            self.assertEqual(0, listed.returncode, listed.stderr)
            self.assertIn(b'* LIST (\\HasNoChildren) "/" INBOX', listed.stdout)
            fetched = subprocess.run(["curl", "-s", "-u", "alice:wonderland", url + "INBOX;UID=1"],
                                     capture_output=True, timeout=60)
            self.assertEqual(0, fetched.returncode, fetched.stderr)
            ident = [m for m in mailbox(service, "alice") if m[0] == "inbox"][0][1]
            _, body = service.curl("GET", "http://services.msn.com/mail/alice/inbox/" + ident, ALICE)
            self.assertEqual(body, fetched.stdout)

    def test_an_idle_client_stays_until_the_autologout_and_hears_of_it(self):
        # Half an hour compressed: Timeout 1 s, autologout 3 s (the read-only
        # setting ImapAutologout). Silences longer than the Timeout but short
        # of the autologout are nothing; a longer one ends with a BYE and no
        # error in the log.
        with Service() as service, ImapGatewayRun(service, Timeout=1,
                                                  ImapAutologout=3) as gateway:
            client = gateway.imap()
            client.select("INBOX")
            for _ in range(3):
                time.sleep(1.6)
                self.assertEqual("OK", client.noop()[0])
            time.sleep(4)
            with self.assertRaises(imaplib.IMAP4.abort):
                client.noop()
            gateway.wait_for_log("IMAP alice - autologout after ")
            self.assertNotIn("::catch::", gateway.log())
            other = gateway.imap()
            other.logout()
            gateway.wait_for_log("IMAP alice - logged out after ")


def message_bytes(service, folder, ident):
    status, body = service.curl(
        "GET", "http://services.msn.com/mail/alice/%s/%s" % (folder, ident), ALICE)
    assert status == 200, (folder, ident, status)
    return body


class ImapClientsOnTheChain(unittest.TestCase):
    """Clients that need what only the whole chain has: an SMTP service
    beside IMAP, a service without COPY, folders made and removed."""

    @unittest.skipUnless(shutil.which("neomutt"), "neomutt is not installed")
    def test_neomutt_files_a_message_and_keeps_one_sent_copy(self):
        # The service files a copy of what it sends, and has no COPY.
        with Service("--copy-to-sent") as service, ImapGatewayRun(service) as gateway:
            inbox = {m[1]: message_bytes(service, "inbox", m[1])
                     for m in mailbox(service, "alice") if m[0] == "inbox"}
            sent_before = [m for m in mailbox(service, "alice") if m[0] == "sent"]
            result = imap_clients.neomutt_workflow(gateway.imap_port, gateway.smtp_port, *ALICE)
            self.assertEqual((0, 0), (result["send"], result["save"]), result["screens"])
            held = mailbox(service, "alice")
            # One copy of the message sent, the service's own.
            sent = [m for m in held if m[0] == "sent"]
            self.assertEqual(len(sent_before) + 1, len(sent), held)
            self.assertIn(b"Subject: Kept once", message_bytes(service, "sent", sent[-1][1]))
            self.assertIn("The service keeps a copy of this sent message already", gateway.log())
            # The message saved (neomutt starts at the first unread one) left
            # the inbox and is in Work, byte for byte.
            left = set(inbox) - {m[1] for m in held if m[0] == "inbox"}
            self.assertEqual(1, len(left), held)
            work = [message_bytes(service, "folders/Work", m[1]) for m in held
                    if m[0] == "folders/Work"]
            self.assertIn(inbox[left.pop()], work)

    @unittest.skipUnless(shutil.which("mbsync"), "isync is not installed")
    def test_mbsync_makes_and_removes_a_folder(self):
        with Service() as service, ImapGatewayRun(service) as gateway:
            made, listed, removed, left = imap_clients.mbsync_folder_workflow(
                gateway.imap_port, *ALICE)
            self.assertEqual((0, 0), (made, removed))
            self.assertIn("Trips", listed)
            self.assertNotIn("Trips", left)
            self.assertEqual([name for name in listed if name != "Trips"], left)


if __name__ == "__main__":
    unittest.main()
