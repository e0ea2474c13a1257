"""Faults on both sides of the gateway: the local HTTPMail service cutting a
connection, staying busy, answering too late or not at all, and mail clients
that vanish in the middle of a transfer. Each fault ends the affected session
with one log line while another session goes on, and no mail is lost: nothing
leaves the inbox that was not marked and followed by QUIT, and no 250 follows
a message the service did not take. A service that fails is never taken for
a wrong password, and the client always hears why its session ends."""
import imaplib
import os
import poplib
import re
import smtplib
import socket
import struct
import subprocess
import tempfile
import threading
import time
import unittest

from gateway_fixture import ALICE, BOB, Gateway, Service, free_port
from pop3_chain_test import lines, mailbox
from smtp_chain_test import TEXT, connect

POP_END = "PopServer::SessionWorker::catch::"
SMTP_END = "SmtpServer::SmtpWorker::catch::"
CUT = "Hotmail::MakeRequest::Answer - The answer ended early - "
TIMED_OUT = ("vxw::Socket::Receive::WaitUntilReadable - There was an error receiving data "
             "through the socket - 110 (Connection timed out)")
POP_UNAVAILABLE = b"-ERR [SYS/TEMP] The web mail service is unavailable - try again later"
SMTP_UNAVAILABLE = (454, b"4.7.0 Temporary authentication failure")
STAMPED = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\t-\t")


def fetchmail(gateway, home):
    """Runs fetchmail once against the gateway's POP3 service as alice;
    returns its exit code and what it printed."""
    rc = os.path.join(home, "fetchmailrc")
    with open(rc, "w") as f:
        f.write('set no syslog\npoll 127.0.0.1 with proto POP3 port %d and options no dns\n'
                '  user "alice" there with password "wonderland" is "me" here\n'
                "  options fetchall sslproto ''\n"
                '  mda "sh -c \'cat >> %s\'"\n' % (gateway.port, os.path.join(home, "mail")))
    os.chmod(rc, 0o600)
    result = subprocess.run(["fetchmail", "-f", rc], env=dict(os.environ, HOME=home),
                            capture_output=True, timeout=120)
    return result.returncode, (result.stdout + result.stderr).decode(errors="replace")


def set_faults(service, *rules):
    status, _, body = service.request("PUT", "/_admin/faults", body="\n".join(rules).encode())
    assert status == 200, body


def inbox(service, account="alice"):
    return [ident for folder, ident, _ in mailbox(service, account) if folder == "inbox"]


def run_until_cut(steps):
    """Runs (name, call) steps in order; the name of the first that failed,
    or None when all went through."""
    for name, call in steps:
        try:
            call()
        except (poplib.error_proto, smtplib.SMTPException, EOFError, OSError):
            return name
    return None


class Faults(unittest.TestCase):
    def assertSessionEnded(self, gateway, since, place, text):
        """Exactly one session ended with an error after log offset `since`,
        and its line carries `text`."""
        deadline = time.monotonic() + 10
        while place + "vx - " + text not in gateway.log()[since:]:
            self.assertLess(time.monotonic(), deadline, gateway.log()[since:])
            time.sleep(0.02)
        ends = [line for line in gateway.log()[since:].splitlines() if place in line]
        self.assertEqual(1, len(ends), ends)

    def assertBystanderServed(self, service, bystander):
        """A session opened before the fault still fetches and ends cleanly."""
        _, got, _ = bystander.retr(1)
        _, _, source = service.request("GET", "http://services.msn.com/mail/bob%40msn.com/inbox/" +
                                       inbox(service, "bob@msn.com")[0], BOB)
        self.assertEqual(lines(b"X-Mirelink-Folder: inbox\r\n" + source), got)
        self.assertEqual(b"+OK Bye bye...", bystander.quit())

    def test_service_faults_end_only_the_affected_pop3_session(self):
        # The client marks 2, fetches 1, marks 1 and quits; the fault cuts the
        # script at its step. Only a completed QUIT moves marked messages, and
        # a move whose answer is cut may already have happened at the service.
        cases = [("list:drop-mid-body", "PASS", CUT, []),
                 ("get:drop-mid-body", "RETR", CUT, []),
                 ("get:503:2", "RETR", "Hotmail::GetMessage::Status - Error getting message - "
                  "503 - ", []),
                 ("move:drop-mid-body", "QUIT", CUT, [0])]
        with Service() as s, Gateway(s) as g:
            for rule, cut_at, logged, moved in cases:
                with self.subTest(rule):
                    before, since = inbox(s), len(g.log())
                    bystander = g.pop(BOB)
                    set_faults(s, rule)
                    pop = g.pop()
                    failed = run_until_cut([("USER", lambda: pop.user(ALICE[0])),
                                            ("PASS", lambda: pop.pass_(ALICE[1])),
                                            ("DELE 2", lambda: pop.dele(2)),
                                            ("RETR", lambda: pop.retr(1)),
                                            ("DELE 1", lambda: pop.dele(1)),
                                            ("QUIT", pop.quit)])
                    pop.close()
                    self.assertEqual(cut_at, failed)
                    self.assertSessionEnded(g, since, POP_END, logged)
                    set_faults(s)
                    self.assertBystanderServed(s, bystander)
                    self.assertEqual([m for n, m in enumerate(before) if n not in moved], inbox(s))

    def test_a_refused_submission_is_never_acknowledged_and_others_are(self):
        with Service() as s, Gateway(s) as g:
            bystander = connect(g, BOB)
            set_faults(s, "post:503:2")
            client = connect(g, ALICE)
            with self.assertRaises(smtplib.SMTPDataError) as refused:
                client.sendmail("alice@hotmail.com", ["bob@msn.com"], TEXT)
            self.assertEqual(554, refused.exception.smtp_code)
            self.assertSessionEnded(g, 0, SMTP_END, "Hotmail::SendMail::Code - Error sending "
                                    "message - alice@hotmail.com - 503 - ")
            self.assertEqual({}, bystander.sendmail("bob@msn.com", ["alice@hotmail.com"], TEXT))
            bystander.quit()
            self.assertEqual(["bob@msn.com"],
                             [line.split(" ")[1] for line in s.admin("sent").splitlines()])

    def test_a_service_slower_than_the_timeout(self):
        with Service() as s, Gateway(s, Timeout=1) as g:
            before = inbox(s)
            set_faults(s, "get:slow=3000")
            pop = g.pop(ALICE)
            pop.dele(2)
            cut = []
            waiting = threading.Thread(target=lambda: cut.append(run_until_cut(
                [("RETR", lambda: pop.retr(1)), ("QUIT", pop.quit)])))
            waiting.start()
            # While that session waits for the service, another is served.
            while "get:slow=3000 matched=1" not in s.admin("faults"):
                time.sleep(0.01)
            bystander = g.pop(BOB)
            self.assertBystanderServed(s, bystander)
            waiting.join()
            pop.close()
            self.assertEqual(["RETR"], cut)
            self.assertSessionEnded(g, 0, POP_END, TIMED_OUT)
            self.assertEqual(before, inbox(s))

            since = len(g.log())
            set_faults(s, "post:slow=3000")
            client = connect(g, ALICE)
            with self.assertRaises(smtplib.SMTPDataError) as failed:
                client.sendmail("alice@hotmail.com", ["bob@msn.com"], TEXT)
            self.assertEqual(451, failed.exception.smtp_code)
            self.assertSessionEnded(g, since, SMTP_END, TIMED_OUT)

    def assertTemporary(self, gateway):
        """Each client hears that the service failed, not that the password
        was wrong, and keeps it: poplib, curl, fetchmail, smtplib, imaplib."""
        pop = gateway.pop()
        pop.user(ALICE[0])
        with self.assertRaises(poplib.error_proto) as failed:
            pop.pass_(ALICE[1])
        self.assertEqual(POP_UNAVAILABLE, failed.exception.args[0])
        self.assertEqual(b"", pop.file.read())  # and then the connection closes
        pop.close()
        curl = subprocess.run(["curl", "-sS", "--max-time", "60", "-u", "%s:%s" % ALICE,
                               "pop3://127.0.0.1:%d/" % gateway.port], capture_output=True)
        # curl calls any -ERR to PASS "Access denied"; before, it read nothing.
        self.assertNotIn(b"response reading failed", curl.stderr)
        self.assertNotEqual(0, curl.returncode)
        with tempfile.TemporaryDirectory() as home:
            code, said = fetchmail(gateway, home)
            self.assertIn("Server busy error on alice@127.0.0.1", said)
            self.assertNotIn("Authorization failure", said)
            self.assertNotIn("socket error", said)
            self.assertNotEqual(0, code)
        smtp = smtplib.SMTP("127.0.0.1", gateway.smtp_port, timeout=60)
        smtp.ehlo("client.example")
        smtp.user, smtp.password = ALICE
        with self.assertRaises(smtplib.SMTPAuthenticationError) as refused:
            smtp.auth("PLAIN", smtp.auth_plain)
        self.assertEqual(SMTP_UNAVAILABLE, (refused.exception.smtp_code,
                                            refused.exception.smtp_error))
        with self.assertRaises(smtplib.SMTPServerDisconnected):
            smtp.noop()
        imap = imaplib.IMAP4("127.0.0.1", gateway.values["PortImap"], timeout=60)
        with self.assertRaises(imaplib.IMAP4.error) as no:
            imap.login(*ALICE)
        self.assertIn("[UNAVAILABLE]", str(no.exception))
        self.assertNotIn("AUTHENTICATIONFAILED", str(no.exception))
        imap.logout()

    def assertOneLinePerSession(self, gateway, error):
        """Every line of the log has its time stamp (an error page is one
        line of it), and each failed login names its protocol and account."""
        gateway.wait_for_log("IMAP alice - ")
        log = gateway.log()
        for line in log.splitlines():
            self.assertRegex(line, STAMPED)
        for protocol in ("POP3", "SMTP"):
            self.assertIn("\t%s alice - " % protocol, log)
            self.assertIn("\t%s alice - no login - service not available after " % protocol, log)
        self.assertIn(error, log)
        self.assertNotIn("Invalid username", log)

    def test_a_service_that_fails_every_login_is_no_wrong_password(self):
        with Service("--fault", "login:503:always") as s, \
                Gateway(s, PortImap=free_port()) as g:
            self.assertTemporary(g)
            self.assertOneLinePerSession(
                g, "Hotmail::Login::Status - The service answered the login with HTTP/1.1 503 "
                   "Service Unavailable")

    def test_a_service_out_of_reach_or_failing_to_list_is_no_wrong_password(self):
        cases = [("connection refused", {"ProxyPort": free_port()}, [],
                  "Error connecting socket to 127.0.0.1 on port"),
                 ("no such host", {"ProxyAddress": "no-such-host.invalid"}, [],
                  "Error in host lookup - no-such-host.invalid"),
                 ("listing answered 500", {}, ["--fault", "list:500:always"],
                  "Hotmail::AppendList::Status - Error listing messages - 500 - ")]
        for name, settings, faults, error in cases:
            with self.subTest(name), Service(*faults) as s, Gateway(s, **settings) as g:
                pop = g.pop()
                pop.user(ALICE[0])
                with self.assertRaises(poplib.error_proto) as failed:
                    pop.pass_(ALICE[1])
                self.assertEqual(POP_UNAVAILABLE, failed.exception.args[0])
                pop.close()
                with tempfile.TemporaryDirectory() as home:
                    code, said = fetchmail(g, home)
                    self.assertIn("Server busy error", said)
                    self.assertNotIn("socket error", said)
                if faults:
                    continue  # SMTP does not list
                smtp = smtplib.SMTP("127.0.0.1", g.smtp_port, timeout=60)
                smtp.ehlo("client.example")
                smtp.user, smtp.password = ALICE
                with self.assertRaises(smtplib.SMTPAuthenticationError) as refused:
                    smtp.auth("PLAIN", smtp.auth_plain)
                self.assertEqual(454, refused.exception.smtp_code)
                g.wait_for_log("SMTP alice - no login - service not available after ")
                self.assertIn(error, g.log())

    def test_a_line_that_never_ends_is_answered_before_the_close(self):
        # A bare LF or CR is no line end; an IMAP literal announced and never
        # sent leaves the command open. The wait ends after Timeout, with why.
        with Service() as s, Gateway(s, Timeout=1, PortImap=free_port()) as g:
            cases = [(g.port, b"USER alice\nPASS wonderland", b"",
                      b"-ERR Timed out waiting for the client\r\n"),
                     (g.smtp_port, b"EHLO me\rAUTH PLAIN", b"",
                      b"421 4.4.2 Timed out waiting for the client\r\n"),
                     (g.values["PortImap"], b"a LOGIN alice {10}\r\n",
                      b"+ Ready for literal data\r\n",
                      b"* BYE Timed out waiting for the client\r\n")]
            for port, sent, first, last in cases:
                with self.subTest(last), socket.create_connection(("127.0.0.1", port),
                                                                  timeout=30) as raw:
                    stream = raw.makefile("rb")
                    stream.readline()  # the greeting
                    raw.sendall(sent)
                    self.assertEqual(first + last, stream.read())
            g.wait_for_log("\tIMAP - timed out waiting for the client after ")
            self.assertNotIn("catch", g.log())

    def test_a_client_that_leaves_or_is_too_slow_is_no_error(self):
        with Service() as s, Gateway(s, Timeout=1) as g:
            pop = g.pop(ALICE)
            pop.quit()
            g.wait_for_log("POP3 alice - ")
            pop = g.pop(ALICE)
            pop.close()
            with socket.create_connection(("127.0.0.1", g.port), timeout=30) as raw:
                stream = raw.makefile("rb")
                stream.readline()
                raw.sendall(b"USER alice\nPASS wonderland")  # bare LF, never a CR LF
                self.assertEqual(b"-ERR Timed out waiting for the client\r\n", stream.readline())
                self.assertEqual(b"", stream.read())
            g.wait_for_log(" - no login - timed out waiting for the client after ")
            log = g.log()
            self.assertRegex(log, r"\tPOP3 alice - \d+ messages?, 0 retrieved, 0 deleted - "
                                  r"\d+\.\d s\n")
            self.assertRegex(log, r"\tPOP3 alice - \d+ messages?, 0 retrieved, 0 deleted - "
                                  r"closed by the client after ")
            self.assertNotIn("catch", log)
            self.assertNotIn("Socket was closed", log)

    def test_clients_that_vanish_mid_transfer(self):
        size = 20 * 1000 * 1000
        with Service("--fill", "1x%d" % size) as s, Gateway(s, OperaCompat=1) as g:
            before = inbox(s)
            bystander = g.pop(BOB)
            pop = g.pop(ALICE)
            big = max((int(size), int(n)) for n, size in
                      (entry.split() for entry in pop.list()[1]))[1]
            pop.dele(1)
            pop._putcmd("RETR %d" % big)
            self.assertTrue(pop.file.readline().startswith(b"+OK"))
            pop.file.read(100000)
            # A reset, as the system sends for a client that dies with data unread.
            pop.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            pop.close()
            # A client that leaves is no failure of the session: its end line
            # says so, and no error line.
            g.wait_for_log("\tPOP3 alice - ")
            self.assertRegex(g.log(), r"\tPOP3 alice - \d+ messages?, 0 retrieved, 0 deleted - "
                                      r"closed by the client after ")
            self.assertNotIn(POP_END, g.log())
            self.assertBystanderServed(s, bystander)
            self.assertEqual(before, inbox(s))

            since = len(g.log())
            bystander = connect(g, BOB)
            client = connect(g, ALICE)
            client.mail("alice@hotmail.com")
            client.rcpt("bob@msn.com")
            client.putcmd("DATA")
            self.assertEqual(354, client.getreply()[0])
            client.send(TEXT[:len(TEXT) // 2].encode())
            client.close()
            g.wait_for_log("\tSMTP alice - 0 messages sent, 0 recipients - closed by the client "
                           "after ")
            self.assertNotIn(SMTP_END, g.log()[since:])
            self.assertEqual({}, bystander.sendmail("bob@msn.com", ["alice@hotmail.com"], TEXT))
            bystander.quit()
            self.assertEqual(["bob@msn.com"],
                             [line.split(" ")[1] for line in s.admin("sent").splitlines()])


if __name__ == "__main__":
    unittest.main()
