"""The Windows program under Wine, end to end: Linux mail clients -> mirelink.exe
-> its web mail client -> HTTP through its proxy settings -> the local HTTPMail
service on Linux. Also its life as a Windows user meets it (one copy at a
time, /detach, the close request, the log beside the program) and settings that
move between the Linux program's file and the Windows registry."""
import poplib
import re
import smtplib
import subprocess
import time
import unittest

from wine_program import (ALICE, BOB, KEY, Installation, LinuxProgram, Service, close_program,
                          free_port, listening, reg_file, registry_value, set_registry,
                          wait_until, wine, windows_path)

PROXY_USER = ("carol", 'p@ss "word"')  # a password that needs escaping in a .reg file
TEXT = "From: alice@hotmail.com\r\nSubject: from Wine\r\n\r\n.leading dot\r\nlast line\r\n"
LINE = re.compile(rb"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\t-\t[^\r\n]*\r\n")


def settings(service, **more):
    values = {"Address": "127.0.0.1", "Port": free_port(), "PortSmtp": free_port(),
              "Timeout": 10, "Delay": 0, "ProxyAddress": "127.0.0.1", "ProxyPort": service.port,
              "ProxyUsername": PROXY_USER[0], "ProxyPassword": PROXY_USER[1]}
    values.update(more)
    return values


def inbox_count(service, account):
    return sum(1 for line in service.admin("mailbox/" + account).splitlines()
               if line.startswith("inbox/"))


def read_alices_mail(port):
    """Logs in through poplib and fetches every message; returns them."""
    client = poplib.POP3("127.0.0.1", port, timeout=30)
    client.user(ALICE[0])
    client.pass_(ALICE[1])
    count, _ = client.stat()
    messages = [b"\r\n".join(client.retr(n)[1]) for n in range(1, count + 1)]
    client.quit()
    return messages


class WindowsProgram(unittest.TestCase):
    def setUp(self):
        self.installation = Installation()
        self.addCleanup(self.installation.close)

    def test_mail_clients_read_and_send_through_the_windows_program(self):
        with Service("--proxy-auth", "%s:%s" % PROXY_USER) as s:
            values = settings(s, ExtraLogging=1)
            set_registry(values)
            program = self.installation.start_listening(values["Port"], values["PortSmtp"])

            # A clear-text proxy password is stored protected at once.
            self.assertTrue(registry_value("ProxyPassword").startswith(" ~ ~ "))
            url = "pop3://127.0.0.1:%d/" % values["Port"]
            listed = subprocess.run(["curl", "-sS", "--max-time", "30", "-u", "%s:%s" % BOB, url],
                                    capture_output=True, timeout=60)
            self.assertEqual(0, listed.returncode, listed.stderr)
            self.assertEqual(inbox_count(s, "bob@msn.com"), len(listed.stdout.splitlines()))

            messages = read_alices_mail(values["Port"])
            self.assertTrue(messages)
            for text in messages:
                self.assertTrue(text.startswith(b"X-Mirelink-Folder: inbox\r\n"))
            client = poplib.POP3("127.0.0.1", values["Port"], timeout=30)
            client.user(ALICE[0])
            client.pass_(ALICE[1])
            client.dele(1)
            client.quit()
            self.assertEqual(len(messages) - 1, inbox_count(s, "alice"))

            client = smtplib.SMTP("127.0.0.1", values["PortSmtp"], timeout=30)
            client.login(*BOB)
            self.assertEqual({}, client.sendmail("bob@msn.com", ["alice@hotmail.com"], TEXT))
            client.quit()
            self.assertTrue(s.admin("sent/1").endswith(TEXT))

            # A second copy leaves at once and the first serves on.
            started = time.monotonic()
            second = self.installation.start()
            self.assertEqual(0, second.wait(30))
            self.assertLess(time.monotonic() - started, 15)
            self.assertEqual(len(messages) - 1, len(read_alices_mail(values["Port"])))

            self.assertEqual(0, self.installation.stop(program)[0])
            self.assertFalse(listening(values["Port"]))
            log = self.installation.log_bytes()
            self.assertRegex(log, rb"\t-\tStarting - 3\.6\r\n")
            self.assertIn(b"\t-\tPopSession::Client - PASS ****\r\n", log)
            self.assertNotIn(ALICE[1].encode(), log)
            self.assertNotIn(b"catch", log)
            # Every line ends with CR LF; lines are whole (a message's own line
            # breaks become tabs in the protocol lines).
            self.assertEqual(b"", LINE.sub(b"", log))

            # The other way: the registry exported by regedit (UTF-16) becomes
            # the Linux program's settings file, password and all.
            self.assertExportIsReadOnLinux(values)

    def assertExportIsReadOnLinux(self, values):
        linux = LinuxProgram(self.installation.folder)
        code, output = wine("regedit", "/E", windows_path(linux.store), KEY)
        self.assertEqual(0, code, output)
        with open(linux.store, "rb") as f:
            self.assertEqual(b"\xff\xfe", f.read(2))
        with linux:
            self.assertTrue(wait_until(lambda: listening(values["Port"])))
            # Only the right proxy password gets past the service's 407.
            self.assertTrue(read_alices_mail(values["Port"]))

    def test_settings_written_by_the_linux_program_are_imported_with_regedit(self):
        with Service("--proxy-auth", "%s:%s" % PROXY_USER) as s:
            values = settings(s)
            linux = LinuxProgram(self.installation.folder)
            with open(linux.store, "w", newline="") as f:
                f.write(reg_file(values))
            # The Linux program takes the file and writes it back with the
            # password protected: that is the file a user moves to Windows.
            with linux:
                self.assertTrue(wait_until(lambda: listening(values["Port"])))
            with open(linux.store, encoding="utf-8") as f:
                self.assertIn('"ProxyPassword"=" ~ ~ ', f.read())

            wine("reg", "delete", KEY, "/f")
            code, output = wine("regedit", "/S", windows_path(linux.store))
            self.assertEqual(0, code, output)
            program = self.installation.start_listening(values["Port"], values["PortSmtp"])
            self.assertTrue(read_alices_mail(values["Port"]))
            self.assertEqual(0, self.installation.stop(program)[0])

    def test_detach_starts_a_copy_that_runs_on_its_own(self):
        with Service() as s:
            values = settings(s, ProxyUsername="", ProxyPassword="")
            set_registry(values)
            launcher = self.installation.start("/detach")
            self.assertEqual(0, launcher.wait(30))
            self.assertTrue(wait_until(lambda: listening(values["Port"])), self.installation.log())
            detached = self.installation.other_processes()
            self.assertEqual(1, len(detached))
            close_program()
            self.assertTrue(wait_until(lambda: not self.installation.other_processes()))
            self.assertFalse(listening(values["Port"]))


if __name__ == "__main__":
    unittest.main()
