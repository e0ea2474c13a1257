"""The whole chain for sending: smtplib -> the mirelink program -> its web
mail client -> a POST through the proxy settings -> the local HTTPMail
service, whose control pages show what it received."""
import os
import smtplib
import subprocess
import tempfile
import unittest

from gateway_fixture import ALICE, BOB, Gateway, Service

TEXT = ("From: alice@hotmail.com\r\nSubject: dots\r\n\r\n"
        ".leading dot\r\n..two dots\r\n.\r\nlast line\r\n")
ENVELOPE = ("MAIL FROM:<alice@hotmail.com>\r\nRCPT TO:<bob@msn.com>\r\n"
            "RCPT TO:<carol@example.org>\r\n\r\n")


def connect(gateway, user, mechanism="PLAIN"):
    client = smtplib.SMTP("127.0.0.1", gateway.smtp_port, timeout=30)
    client.ehlo("client.example")
    client.user, client.password = user
    client.auth(mechanism, getattr(client, "auth_" + mechanism.lower()),
                initial_response_ok=mechanism == "PLAIN")
    return client


class SmtpChain(unittest.TestCase):
    def test_submissions_reach_the_service_as_sent(self):
        with Service() as s, Gateway(s, ExtraLogging=1) as g:
            for user, mechanism in ((ALICE, "PLAIN"), (BOB, "LOGIN")):
                client = connect(g, user, mechanism)
                self.assertEqual({}, client.sendmail("alice@hotmail.com",
                                                     ["bob@msn.com", "carol@example.org"], TEXT))
                client.quit()
            self.assertEqual(ENVELOPE + TEXT, s.admin("sent/1"))
            self.assertEqual(ENVELOPE + TEXT, s.admin("sent/2"))
            self.assertEqual(["alice", "bob@msn.com"],
                             [line.split(" ")[1] for line in s.admin("sent").splitlines()])
            client = smtplib.SMTP("127.0.0.1", g.smtp_port, timeout=30)
            client.ehlo("client.example")
            client.user, client.password = ALICE[0], "not the password"
            with self.assertRaises(smtplib.SMTPAuthenticationError):
                client.auth("PLAIN", client.auth_plain)
            client.quit()
            log = g.log()
            for secret in ("not the password", ALICE[1], BOB[1]):
                self.assertNotIn(secret, log)

    def test_curl_and_swaks_submit_a_file(self):
        with Service() as s, Gateway(s) as g, tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "message.eml")
            with open(path, "w", newline="") as f:
                f.write(TEXT)
            curl = ["curl", "-sS", "--max-time", "30", "-u", "%s:%s" % ALICE,
                    "--mail-from", "alice@hotmail.com", "--mail-rcpt", "bob@msn.com",
                    "--mail-rcpt", "carol@example.org", "--upload-file", path]
            swaks = ["swaks", "--server", "127.0.0.1", "--port", str(g.smtp_port),
                     "--auth", "PLAIN", "--auth-user", BOB[0], "--auth-password", BOB[1],
                     "--from", "alice@hotmail.com", "--to", "bob@msn.com,carol@example.org",
                     "--data", "@" + path]
            # curl answers the 334 challenges of both mechanisms; swaks sends
            # its PLAIN credentials with the AUTH command.
            for command in (curl + ["--login-options", "AUTH=LOGIN"],
                            curl + ["--login-options", "AUTH=PLAIN"], swaks):
                if command[0] == "curl":
                    command.append("smtp://127.0.0.1:%d" % g.smtp_port)
                result = subprocess.run(command, capture_output=True, timeout=60)
                self.assertEqual(0, result.returncode, result.stdout + result.stderr)
            # swaks ends the data with CR LF "." CR LF even after a final CR LF.
            self.assertEqual([ENVELOPE + TEXT, ENVELOPE + TEXT, ENVELOPE + TEXT + "\r\n"],
                             [s.admin("sent/%d" % n) for n in (1, 2, 3)])
            self.assertEqual(["alice", "alice", "bob@msn.com"],
                             [line.split(" ")[1] for line in s.admin("sent").splitlines()])

    def test_a_refused_submission_is_never_acknowledged(self):
        with Service("--fault", "post:500") as s, Gateway(s) as g:
            client = connect(g, ALICE)
            with self.assertRaises(smtplib.SMTPDataError) as refused:
                client.sendmail("alice@hotmail.com", ["bob@msn.com"], TEXT)
            self.assertEqual(554, refused.exception.smtp_code)
            g.wait_for_log("SmtpServer::SmtpWorker::catch::vx - Hotmail::SendMail::Code - "
                           "Error sending message - alice@hotmail.com - 500 - ")
            self.assertEqual("", s.admin("sent"))


if __name__ == "__main__":
    unittest.main()
