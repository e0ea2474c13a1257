"""Faults on both sides of the gateway: the local HTTPMail service cutting a
connection, staying busy or answering too late, and mail clients that vanish
in the middle of a transfer. Each fault ends the affected session with one
log line while another session goes on, and no mail is lost: nothing leaves
the inbox that was not marked and followed by QUIT, and no 250 follows a
message the service did not take."""
import poplib
import smtplib
import socket
import struct
import threading
import time
import unittest

from gateway_fixture import ALICE, BOB, Gateway, Service
from pop3_chain_test import lines, mailbox
from smtp_chain_test import TEXT, connect

POP_END = "PopServer::SessionWorker::catch::"
SMTP_END = "SmtpServer::SmtpWorker::catch::"
CUT = "Hotmail::MakeRequest::Answer - The answer ended early - "
TIMED_OUT = ("vxw::Socket::Receive::WaitUntilReadable - There was an error receiving data "
             "through the socket - 110 (Connection timed out)")


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
            self.assertSessionEnded(g, 0, POP_END, "vxw::Socket::Send::")
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
            self.assertSessionEnded(g, since, SMTP_END,
                                    "SOCKETUTIL_READLINE_RECEIVE: Socket was closed")
            self.assertEqual({}, bystander.sendmail("bob@msn.com", ["alice@hotmail.com"], TEXT))
            bystander.quit()
            self.assertEqual(["bob@msn.com"],
                             [line.split(" ")[1] for line in s.admin("sent").splitlines()])


if __name__ == "__main__":
    unittest.main()
