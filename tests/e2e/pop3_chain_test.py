"""The whole chain: a POP3 client (poplib, curl, fetchmail) -> the mirelink
program -> its web mail client -> HTTP through the proxy settings -> the local
HTTPMail service. What the client receives is compared with what the service
holds, and the service's mailbox and journal show what the gateway did."""
import os
import poplib
import re
import socket
import subprocess
import tempfile
import time
import unittest

from gateway_fixture import ALICE, BOB, Gateway, Service

ALL_FOLDERS = dict(CheckOtherFolders=1, CheckBulkFolder=1, CheckSentFolder=1)
# The folder key of each folder of the samples, as the gateway names it.
FOLDER_KEYS = {"folders/Re%C3%A7us": "=?iso-8859-1?B?UmXndXM=?=", "folders/Work": "Work",
               "junk": "bulk", "inbox": "inbox", "sent": "sent"}


def mailbox(service, account):
    """[(folder, id, size)] as the service holds them, in its order."""
    out = []
    for line in service.admin("mailbox/" + account).splitlines():
        path, size = line.split(" ")
        folder, _, ident = path.rpartition("/")
        out.append((folder, ident, int(size)))
    return out


def journal(service):
    """[(exchange, method, status, faults)] of the authenticated requests."""
    out = []
    for line in service.admin("journal").splitlines():
        _, exchange, method, _, status, account, faults = line.split(" ")
        if account != "-":
            out.append((exchange, method, int(status), faults))
    return out


def href(account, folder, ident):
    return "http://services.msn.com/mail/%s/%s/%s" % (account.replace("@", "%40"), folder, ident)


def header_line(key):
    return b"X-Mirelink-Folder: " + key.encode() + b"\r\n"


def lines(text):
    """The lines poplib gives for a multi-line answer carrying text (the
    gateway ends it with CR LF before the final dot)."""
    return (text + b"\r\n").split(b"\r\n")[:-1]


class Pop3Chain(unittest.TestCase):
    def source(self, service, user, url):
        """The message as the service serves it (alice takes Digest only, bob Basic)."""
        if user == BOB:
            status, _, body = service.request("GET", url, BOB)
        else:
            status, body = service.curl("GET", url, user)
        self.assertEqual(200, status)
        return body

    def test_digest_account_with_every_folder_through_poplib(self):
        with Service() as s, Gateway(s, ExtraLogging=1, **ALL_FOLDERS) as g:
            held = mailbox(s, "alice")
            # Folders in byte order of their keys, messages in the service's order.
            listed = sorted((m for m in held if m[0] in FOLDER_KEYS),
                            key=lambda m: FOLDER_KEYS[m[0]].encode())
            self.assertEqual(["=?iso-8859-1?B?UmXndXM=?=", "Work", "Work", "bulk"] +
                             ["inbox"] * 6 + ["sent"],
                             [FOLDER_KEYS[m[0]] for m in listed])
            urls = [href("alice", folder, ident) for folder, ident, _ in listed]
            sources = [self.source(s, ALICE, url) for url in urls]
            self.assertEqual([size for _, _, size in listed], [len(text) for text in sources])

            pop = g.pop(ALICE)
            self.assertEqual((len(listed), sum(len(text) for text in sources)), pop.stat())
            _, listing, _ = pop.list()
            self.assertEqual(["%d %d" % (n, len(text) + len(header_line(FOLDER_KEYS[m[0]])))
                              for n, (m, text) in enumerate(zip(listed, sources), 1)],
                             [entry.decode() for entry in listing])
            _, ids, _ = pop.uidl()
            self.assertEqual(["%d %s" % (n, url[-70:]) for n, url in enumerate(urls, 1)],
                             [entry.decode() for entry in ids])
            for n, (m, text) in enumerate(zip(listed, sources), 1):
                _, got, _ = pop.retr(n)
                self.assertEqual(lines(header_line(FOLDER_KEYS[m[0]]) + text), got, n)
            # TOP 5 1: the header section, the empty line and one body line.
            whole = header_line("inbox") + sources[4]
            cut = whole.index(b"\r\n\r\n") + 4
            _, got, _ = pop.top(5, 1)
            self.assertEqual(lines(whole[:whole.index(b"\r\n", cut) + 2]), got)

            pop.dele(2)
            pop.dele(4)
            self.assertEqual(b"+OK Bye bye...", pop.quit())
            moved = [(f, i) for f, i, _ in mailbox(s, "alice") if f == "deleted"]
            self.assertEqual([("deleted", "msg000009.eml"), ("deleted", listed[1][1]),
                              ("deleted", listed[3][1])], moved)
            log = g.log()
            self.assertIn("PopSession::Client - PASS ****\n", log)
            self.assertNotIn(ALICE[1], log)

    def test_basic_msn_account_through_curl(self):
        with Service() as s, Gateway(s) as g:
            url = "pop3://127.0.0.1:%d/" % g.port

            def curl(*args):
                result = subprocess.run(["curl", "-sS", "--max-time", "30", "-u", "%s:%s" % BOB,
                                         *args], capture_output=True, timeout=60)
                self.assertEqual(0, result.returncode, result.stderr)
                return result.stdout

            held = mailbox(s, "bob@msn.com")
            inbox = [m for m in held if m[0] == "inbox"]
            sources = [self.source(s, BOB, href("bob@msn.com", "inbox", m[1])) for m in inbox]
            # Without CheckOtherFolders only the inbox is offered.
            self.assertEqual("".join("%d %d\r\n" % (n, len(text) + len(header_line("inbox")))
                                     for n, text in enumerate(sources, 1)).encode(), curl(url))
            self.assertEqual(header_line("inbox") + sources[1] + b"\r\n", curl(url + "2"))
            self.assertEqual(b"", curl("-X", "DELE", "-I", url + "1"))
            self.assertEqual([("inbox", inbox[1][1]), ("junk", held[2][1]),
                              ("deleted", inbox[0][1])],
                             [(f, i) for f, i, _ in mailbox(s, "bob@msn.com")])
            # An account name with "@msn" logs in at the MSN data endpoint.
            self.assertIn(" login PROPFIND http://oe.msn.msnmail.hotmail.com:80/cgi-bin/hmdata "
                          "207 bob@msn.com", s.admin("journal"))

    def test_fetchmail_takes_everything_and_the_service_keeps_it_in_deleted_items(self):
        with Service() as s, Gateway(s) as g, tempfile.TemporaryDirectory() as home:
            inbox = [m for m in mailbox(s, "alice") if m[0] == "inbox"]
            delivered = os.path.join(home, "delivered")
            rc = os.path.join(home, "fetchmailrc")
            with open(rc, "w") as f:
                f.write('set no syslog\npoll 127.0.0.1 with proto POP3 port %d and options no dns\n'
                        '  user "alice" there with password "wonderland" is "me" here\n'
                        "  options fetchall nokeep sslproto ''\n"
                        '  mda "sh -c \'cat >> %s\'"\n' % (g.port, delivered))
            os.chmod(rc, 0o600)
            result = subprocess.run(["fetchmail", "-f", rc], env=dict(os.environ, HOME=home),
                                    capture_output=True, timeout=120)
            self.assertEqual(0, result.returncode, result.stdout + result.stderr)
            with open(delivered, "rb") as f:
                text = f.read()
            self.assertEqual(len(inbox), text.count(b"\nX-Mirelink-Folder: inbox\n"))
            self.assertIn(b"Subject: Lines that begin with a dot\n", text)
            self.assertEqual([], [m for m in mailbox(s, "alice") if m[0] == "inbox"])
            self.assertEqual(len(inbox) + 1,
                             len([m for m in mailbox(s, "alice") if m[0] == "deleted"]))

    def test_refused_logins_and_a_retry_in_the_same_session(self):
        with Service() as s, Gateway(s, ExtraLogging=1) as g:
            for user in (ALICE, BOB):
                pop = g.pop()
                pop.user(user[0])
                with self.assertRaises(poplib.error_proto) as refused:
                    pop.pass_("not the password")
                self.assertEqual(b"-ERR Invalid username or password specified",
                                 refused.exception.args[0])
                self.assertEqual(b"+OK You may enter", pop.pass_(user[1]))
                self.assertGreater(pop.stat()[0], 0)
                pop.quit()
            log = g.log()
            self.assertEqual(2, log.count("Hotmail::Login::catch::vx::HttpError - "
                                          "Http::SendRequest::Unauthorized - "))
            for secret in ("not the password", ALICE[1], BOB[1]):
                self.assertNotIn(secret, log)

    def test_a_dropped_connection_moves_nothing(self):
        with Service() as s, Gateway(s) as g:
            before = mailbox(s, "alice")
            with socket.create_connection(("127.0.0.1", g.port), timeout=30) as raw:
                stream = raw.makefile("rb")
                self.assertTrue(stream.readline().startswith(b"+OK Ready when you are "))
                for command, reply in ((b"USER alice", b"+OK Present"),
                                       (b"PASS wonderland", b"+OK You may enter"),
                                       (b"DELE 1", b"+OK Message marked for deletion"),
                                       (b"DELE 2", b"+OK Message marked for deletion")):
                    raw.sendall(command + b"\r\n")
                    self.assertEqual(reply + b"\r\n", stream.readline())
                stream.close()
            # The client's leaving is no error: the end line says so.
            g.wait_for_log("\tPOP3 alice - ")
            self.assertRegex(g.log(), r"\tPOP3 alice - \d+ messages, 0 retrieved, 0 deleted - "
                                      r"closed by the client after ")
            self.assertNotIn("catch", g.log())
            self.assertEqual(before, mailbox(s, "alice"))
            self.assertNotIn("MOVE", s.admin("journal"))

    def test_a_busy_a_moved_and_a_waiting_service(self):
        faults = ["login:redirect", "list:refresh", "get:503", "move:redirect=307"]
        with Service(*sum((["--fault", f] for f in faults), [])) as s, Gateway(s) as g:
            inbox = [m for m in mailbox(s, "alice") if m[0] == "inbox"]
            pop = g.pop(ALICE)
            self.assertEqual(len(inbox), pop.stat()[0])
            started = time.monotonic()
            _, got, _ = pop.retr(1)
            self.assertGreaterEqual(time.monotonic() - started, 4.0)
            pop.dele(1)
            pop.quit()
            self.assertEqual([("login", "PROPFIND", 302, "login:redirect"),
                              ("login", "PROPFIND", 207, "-"),
                              ("list", "PROPFIND", 200, "list:refresh"),
                              ("list", "PROPFIND", 207, "-"),
                              ("get", "GET", 503, "get:503"),
                              ("get", "GET", 200, "-"),
                              ("move", "MOVE", 307, "move:redirect=307"),
                              ("move", "MOVE", 201, "-")], journal(s))
            text = self.source(s, ALICE, href("alice", "deleted", inbox[0][1]))
            self.assertEqual(lines(header_line("inbox") + text), got)

    def test_a_download_that_fails_ends_the_session_and_moves_nothing(self):
        for fault, logged in (("get:refresh:always", "Hotmail::MakeRequest::Refresh - "
                               "Too many refresh follow-ups - "),
                              ("get:404", "Hotmail::GetMessage::Status - Error getting message - "
                               "404 - ")):
            with self.subTest(fault), Service("--fault", fault) as s, Gateway(s) as g:
                before = mailbox(s, "alice")
                pop = g.pop(ALICE)
                pop.dele(2)
                with self.assertRaises((poplib.error_proto, EOFError, OSError)):
                    pop.retr(1)
                pop.close()
                g.wait_for_log("PopServer::SessionWorker::catch::vx - " + logged)
                self.assertIn("Hotmail::GetMessage::catch::vx - " + logged, g.log())
                self.assertEqual(before, mailbox(s, "alice"))
                gets = [e for e in journal(s) if e[0] == "get"]
                self.assertEqual(6 if "refresh" in fault else 1, len(gets))


if __name__ == "__main__":
    unittest.main()
