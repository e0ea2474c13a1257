"""Real IMAP clients against two servers holding the same account: Dovecot
and the mirelink gateway in front of the local HTTPMail service. Each
client's workflow runs on both; what the client ends up with (its answers,
its local copy) and what the server holds afterwards must be the same."""
import functools
import shutil
import unittest

import imap_clients
from imap_clients import differences, run_on
from imap_corpus import Account
from imap_peers import Dovecot, ImapGateway, dovecot_available

INBOX = len(Account().folders["INBOX"])  # messages in the inbox at the start


@unittest.skipUnless(dovecot_available(), "Dovecot is not installed")
class ClientsOnBothServers(unittest.TestCase):
    def compare(self, workflow, sane, gateway_class=ImapGateway):
        dovecot = run_on(Dovecot, workflow)
        # The workflow did on Dovecot what it is meant to do.
        sane(dovecot)
        # A gateway that does not serve IMAP fails here (ImapGateway raises).
        gateway = run_on(gateway_class, workflow)
        found = differences(dovecot, gateway)
        self.assertFalse(found, "\n".join(found))

    def test_header_sweep_from_listing_properties(self):
        """With the mailheader fields in the listing the gateway answers a
        header sweep without downloading; a reader sees the same fields."""
        def sane(result):
            self.assertEqual(list(range(1, INBOX + 1)), [k for k in result if isinstance(k, int)])
            self.assertIn(("subject", "Lunch"), result[1])
        self.compare(imap_clients.header_sweep_workflow, sane,
                     functools.partial(ImapGateway, header_properties=True))

    def test_imaplib(self):
        def sane(result):
            self.assertEqual(("OK", INBOX), result["select"])
            self.assertTrue(result["uids stable"])
            self.assertEqual(["OK"] * 4, result["store"])
            self.assertEqual(result["after expunge"], result["next session"])
            self.assertEqual(["\\Flagged", "\\Seen"], result["after store"][1])
        self.compare(imap_clients.imaplib_workflow, sane)

    @unittest.skipUnless(shutil.which("curl"), "curl is not installed")
    def test_curl(self):
        def sane(result):
            self.assertEqual(0, result["store"])
            # The two ordinary notes come last.
            self.assertEqual((0, b"* SEARCH %d %d\r\n" % (INBOX - 1, INBOX)),
                             result["INBOX?SUBJECT%20note"])
        self.compare(imap_clients.curl_workflow, sane)

    @unittest.skipUnless(shutil.which("mutt"), "mutt is not installed")
    def test_mutt(self):
        def sane(result):
            self.assertEqual(0, result["exit"])
            # Every message with content but the one that ends inside its header.
            self.assertEqual(INBOX - 2, len(result["saved"]["."]))
            self.assertEqual(INBOX - 2, len(result["server afterwards"]["INBOX"]["messages"]))
        self.compare(imap_clients.mutt_workflow, sane)

    @unittest.skipUnless(shutil.which("mbsync"), "isync is not installed")
    def test_mbsync(self):
        self.compare(imap_clients.mbsync_workflow, self.sane_sync)

    @unittest.skipUnless(shutil.which("offlineimap"), "offlineimap3 is not installed")
    def test_offlineimap(self):
        self.compare(imap_clients.offlineimap_workflow, self.sane_sync)

    def sane_sync(self, result):
        self.assertEqual((0, 0, 0), (result["first"], result["second"], result["third"]))
        server = result["server afterwards"]
        local = result["after third"]
        self.assertEqual(INBOX + 1, len(server["INBOX"]["messages"]))
        self.assertEqual(1, len(server["Work"]["messages"]))
        self.assertEqual(0, len(server["Sent Items"]["messages"]))
        self.assertIn(["\\Seen"], [flags for _, flags in server["Junk Mail"]["messages"]])
        self.assertIn("\\Flagged", str(server["INBOX"]["messages"]))
        # mbsync leaves out the messages without a body.
        self.assertGreaterEqual(len(local["INBOX"]), INBOX - 1)


if __name__ == "__main__":
    unittest.main()
