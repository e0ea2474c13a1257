"""mirelink.exe under Wine serving IMAP to Python's imaplib, in front of the
local HTTPMail service; what imaplib ends up with must be what it gets from
Dovecot holding the same account (tests/e2e/imap_peers_test.py does the same
for the Linux program)."""
import tempfile
import unittest

from wine_program import Installation, Service, free_port, listening, set_registry, wait_until

from imap_clients import differences, imaplib_workflow, run_on, snapshot  # noqa: E402
from imap_corpus import Account  # noqa: E402
from imap_peers import Dovecot, dovecot_available, mark_read  # noqa: E402


class WineGateway:
    """mirelink.exe with IMAP on, the account in the local service; use as a
    context manager."""

    def __init__(self, test):
        self.test = test
        self.account = Account()
        self.user, self.password = self.account.USER, self.account.PASSWORD

    def __enter__(self):
        self.installation = Installation()
        self.folder = tempfile.TemporaryDirectory()
        self.service = None
        self.program = None
        try:
            self._start()
        except BaseException:
            self._close()
            raise
        return self

    def _start(self):
        self.account.write_mail_dir(self.folder.name)
        # Without mailheader fields in listings every header comes from the
        # message, byte for byte (see imap_peers.ImapGateway).
        self.service = Service("--mail-dir", self.folder.name, "--write-back", "--copy-and-delete",
                               "--no-header-properties")
        self.service.__enter__()
        mark_read(self.service, self.account)
        self.port = free_port()
        values = {"Address": "127.0.0.1", "Port": free_port(), "PortSmtp": free_port(),
                  "PortImap": self.port, "Timeout": 10, "Delay": 0,
                  "ProxyAddress": "127.0.0.1", "ProxyPort": self.service.port}
        set_registry(values)
        self.program = self.installation.start()
        # A loaded machine may take Wine a while: generous, as the wait ends early.
        ports = (values["Port"], values["PortSmtp"])
        if not wait_until(lambda: all(listening(p) for p in ports) or self.program.poll() is not None,
                          120) or self.program.poll() is not None:
            raise AssertionError("mirelink.exe does not listen on %s: %s" % (ports, self.installation.log()))
        if not wait_until(lambda: listening(self.port), 10):
            raise AssertionError("mirelink.exe does not serve IMAP: " + self.installation.log())

    def _close(self):
        code = 0
        try:
            if self.program:
                code = self.installation.stop(self.program)[0]
        finally:
            # Whatever failed, no copy of the program is left running in the
            # prefix, where it would hold the single-instance mutex.
            self.installation.close()
            if self.service:
                self.service.__exit__(None, None, None)
            self.folder.cleanup()
        return code

    def __exit__(self, *exc):
        code = self._close()
        if exc[0] is None:
            self.test.assertEqual(0, code)


class WindowsImap(unittest.TestCase):
    @unittest.skipUnless(dovecot_available(), "Dovecot is not installed")
    def test_imaplib_sees_what_it_sees_on_dovecot(self):
        dovecot = run_on(Dovecot, imaplib_workflow)
        with WineGateway(self) as gateway:
            windows = imaplib_workflow(gateway.port, gateway.user, gateway.password)
            windows["server afterwards"] = snapshot(gateway.port, gateway.user, gateway.password)
        found = differences(dovecot, windows)
        self.assertFalse(found, "\n".join(found))


if __name__ == "__main__":
    unittest.main()
