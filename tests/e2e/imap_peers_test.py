"""Real IMAP clients against two servers holding the same account: Dovecot
and the mirelink gateway in front of the local HTTPMail service. Each
client's workflow runs on both; what the client ends up with (its answers,
its local copy) and what the server holds afterwards must be the same."""
import shutil
import unittest

import imap_clients
from imap_peers import Dovecot, GatewayWithoutImap, ImapGateway, dovecot_available


def differences(a, b, path="result"):
    """Where two results differ, one line each."""
    if isinstance(a, dict) and isinstance(b, dict):
        out = []
        for key in sorted(set(a) | set(b), key=str):
            if key not in a or key not in b:
                out.append("%s[%r]: only on %s" % (path, key, "Dovecot" if key in a else "the gateway"))
            else:
                out += differences(a[key], b[key], "%s[%r]" % (path, key))
        return out
    if a != b:
        return ["%s:\n  Dovecot:     %.600r\n  the gateway: %.600r" % (path, a, b)]
    return []


def run_on(server_class, workflow):
    with server_class() as server:
        result = workflow(server.port, server.user, server.password)
        result["server afterwards"] = imap_clients.snapshot(server.port, server.user,
                                                            server.password)
        return result


@unittest.skipUnless(dovecot_available(), "Dovecot is not installed")
class ClientsOnBothServers(unittest.TestCase):
    gateway_missing = None  # why the gateway cannot be compared, once known

    def compare(self, workflow, sane):
        dovecot = run_on(Dovecot, workflow)
        # The workflow did on Dovecot what it is meant to do.
        sane(dovecot)
        if ClientsOnBothServers.gateway_missing:
            self.skipTest(ClientsOnBothServers.gateway_missing)
        try:
            gateway = run_on(ImapGateway, workflow)
        except GatewayWithoutImap:
            ClientsOnBothServers.gateway_missing = "the gateway does not serve IMAP"
            self.skipTest(ClientsOnBothServers.gateway_missing)
        found = differences(dovecot, gateway)
        self.assertFalse(found, "\n".join(found))

    def test_imaplib(self):
        def sane(result):
            self.assertEqual(("OK", 14), result["select"])
            self.assertTrue(result["uids stable"])
            self.assertEqual(["OK"] * 4, result["store"])
            self.assertEqual(result["after expunge"], result["next session"])
            self.assertEqual(["\\Flagged", "\\Seen"], result["after store"][1])
        self.compare(imap_clients.imaplib_workflow, sane)

    @unittest.skipUnless(shutil.which("curl"), "curl is not installed")
    def test_curl(self):
        def sane(result):
            self.assertEqual(0, result["store"])
            self.assertEqual((0, b"* SEARCH 13 14\r\n"), result["INBOX?SUBJECT%20note"])
        self.compare(imap_clients.curl_workflow, sane)

    @unittest.skipUnless(shutil.which("mutt"), "mutt is not installed")
    def test_mutt(self):
        def sane(result):
            self.assertEqual(0, result["exit"])
            # Every message with content but the one that ends inside its header.
            self.assertEqual(12, len(result["saved"]["."]))
            self.assertEqual(12, len(result["server afterwards"]["INBOX"]["messages"]))
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
        self.assertEqual(15, len(server["INBOX"]["messages"]))
        self.assertEqual(1, len(server["Work"]["messages"]))
        self.assertEqual(0, len(server["Sent Items"]["messages"]))
        self.assertIn(["\\Seen"], [flags for _, flags in server["Junk Mail"]["messages"]])
        self.assertIn("\\Flagged", str(server["INBOX"]["messages"]))
        # mbsync leaves out the messages without a body.
        self.assertGreaterEqual(len(local["INBOX"]), 13)


if __name__ == "__main__":
    unittest.main()
