"""The quick start as a user runs it: scripts/demo.sh with its ports, in the
build folder of the tests (MIRELINK_DEMO_BUILD), judged by what it prints."""
import os
import signal
import socket
import subprocess
import time
import unittest

from gateway_fixture import free_port

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "demo.sh")
BUILD = os.environ.get("MIRELINK_DEMO_BUILD", "")


@unittest.skipUnless(BUILD, "MIRELINK_DEMO_BUILD names the build folder to use")
class Demo(unittest.TestCase):
    def taken(self, port):
        """Another program listening on the loopback port."""
        other = socket.socket()
        self.addCleanup(other.close)
        other.bind(("127.0.0.1", port))
        other.listen()

    def start(self, *ports):
        process = subprocess.Popen(["bash", SCRIPT, *ports], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   text=True, start_new_session=True,
                                   env=dict(os.environ, MIRELINK_DEMO_BUILD=BUILD))
        self.addCleanup(lambda: process.poll() is None and os.killpg(process.pid, signal.SIGKILL))
        return process

    def test_a_port_another_program_listens_on_is_named_with_the_ports_to_choose(self):
        ports = [free_port(), free_port(), free_port()]
        for taken in (0, 2):  # POP3 (the demo once said it ran), IMAP alone (its lines vanished)
            with self.subTest(taken=taken):
                self.taken(ports[taken])
                process = self.start(*map(str, ports))
                out, errors = process.communicate(timeout=300)
                self.assertEqual(process.returncode, 1, errors)
                self.assertNotIn("Mirelink is running", out)
                name = ("POP3", "SMTP", "IMAP")[taken]
                self.assertIn("demo: %s could not listen on 127.0.0.1:%d (is another program using the port?)"
                              % (name, ports[taken]), errors)
                self.assertIn("demo: choose free ports: bash scripts/demo.sh <POP3 port> <SMTP port> <IMAP port>",
                              errors)
                ports[taken] = free_port()

    def test_ports_with_leading_zeros_are_decimal(self):
        ports = [free_port(), free_port(), free_port()]
        process = self.start(*("0%d" % port for port in ports))
        said = []
        deadline = time.monotonic() + 300
        while time.monotonic() < deadline:
            line = process.stdout.readline()
            if not line:
                break
            said.append(line)
            if line.startswith("Press Ctrl-C"):
                break
        text = "".join(said)
        self.assertIn("Mirelink is running", text, process.stderr.read() if process.poll() is not None else text)
        for name, port in zip(("POP3", "SMTP", "IMAP"), ports):
            self.assertIn("  %s on 127.0.0.1:%d\n" % (name, port), text)
        self.assertIn("curl -s pop3://127.0.0.1:%d/ -u alice:wonderland" % ports[0], text)
        self.assertIn("curl -s imap://127.0.0.1:%d/INBOX" % ports[2], text)
        self.assertIn("IMAP server 127.0.0.1 port %d," % ports[2], " ".join(text.split()))
        os.killpg(process.pid, signal.SIGINT)
        process.communicate(timeout=30)
        self.assertEqual(process.returncode, 0)


if __name__ == "__main__":
    unittest.main()
