"""The whole chain for sending: smtplib -> the mirelink program -> its web
mail client -> a POST through the proxy settings -> the local HTTPMail
service, whose control pages show what it received."""
import smtplib
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

    def test_a_refused_submission_is_never_acknowledged(self):
        with Service("--fault", "post:500") as s, Gateway(s) as g:
            client = connect(g, ALICE)
            with self.assertRaises(smtplib.SMTPServerDisconnected):
                client.sendmail("alice@hotmail.com", ["bob@msn.com"], TEXT)
            g.wait_for_log("SmtpServer::SmtpWorker::catch::vx - Hotmail::SendMail::Code - "
                           "Error sending message - alice@hotmail.com - 500 - ")
            self.assertEqual("", s.admin("sent"))


if __name__ == "__main__":
    unittest.main()
