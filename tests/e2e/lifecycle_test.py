"""The program's life as a user meets it: switches, one copy at a time,
settings applied by a restart, stopping while a client holds a session, and
what it does when a port, the settings or the log cannot be had."""
import os
import poplib
import shutil
import signal
import smtplib
import socket
import subprocess
import tempfile
import time
import unittest

from gateway_fixture import MIRELINK, free_port, listening, log_path, private_environment, reg_file


def wait_until(condition, seconds=10):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.02)
    return True


def program_of(pid):
    try:
        return os.readlink("/proc/%s/exe" % pid)
    except OSError:
        return None


class Installation:
    """A copy of the program in a folder of its own, with private settings,
    runtime and state folders; several processes may run from it."""

    def __init__(self, **settings):
        self.folder = tempfile.mkdtemp(prefix="mirelink-life-")
        self.program = os.path.join(self.folder, "mirelink")
        shutil.copy2(MIRELINK, self.program)
        self.settings_file = os.path.join(self.folder, "config/Palisandre/Mirelink.reg")
        for sub in ("config/Palisandre", "run"):
            os.makedirs(os.path.join(self.folder, sub), mode=0o700)
        self.values = {"Address": "127.0.0.1", "Port": free_port(), "PortSmtp": free_port(),
                       "Timeout": 10, "Delay": 0, "ProxyAddress": "127.0.0.1", "ProxyPort": 9}
        self.write_settings(**settings)
        self.processes = []

    def write_settings(self, **settings):
        self.values.update(settings)
        with open(self.settings_file, "w") as f:
            f.write(reg_file(self.values))

    def start(self, *args):
        environment = private_environment(self.folder)
        process = subprocess.Popen([self.program, *args], env=environment,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.processes.append(process)
        return process

    def start_listening(self):
        process = self.start()
        self.assertListening(process, self.values["Port"])
        self.assertListening(process, self.values["PortSmtp"])
        return process

    def assertListening(self, process, port):
        if not wait_until(lambda: listening(port) or process.poll() is not None):
            raise AssertionError("nothing listens on %d: %s" % (port, self.log()))
        if process.poll() is not None:
            raise AssertionError("the program ended: %s" % self.log())

    def log(self):
        try:
            with open(log_path(self.folder), "rb") as f:
                return f.read().decode("utf-8", errors="replace")
        except (FileNotFoundError, IsADirectoryError):
            return ""

    def stop(self, process, seconds=20):
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
        code = process.wait(seconds)
        return code, process.stderr.read().decode(errors="replace")

    def close(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
            process.stdout.close()
            process.stderr.close()
        shutil.rmtree(self.folder, ignore_errors=True)


class Lifecycle(unittest.TestCase):
    def setUp(self):
        self.installation = Installation()
        self.addCleanup(self.installation.close)

    def test_help_and_version(self):
        for args, expected in ((["--version"], "3.6\n"), (["--help"], "Usage: mirelink")):
            process = self.installation.start(*args)
            self.assertEqual(process.wait(10), 0)
            self.assertTrue(process.stdout.read().decode().startswith(expected))

    def test_first_start_writes_the_version_line_and_sigterm_ends_with_0(self):
        os.remove(self.installation.settings_file)  # a first run writes the defaults
        process = self.installation.start()
        self.assertTrue(wait_until(lambda: "Starting - 3.6" in self.installation.log()))
        code, errors = self.installation.stop(process)
        self.assertEqual((code, errors), (0, ""))
        with open(self.installation.settings_file, encoding="utf-8") as f:
            stored = f.read()
        # Ports a normal user may bind: POP3 1110, SMTP 1025, IMAP 1143.
        for line in ('"Port"=dword:00000456', '"PortSmtp"=dword:00000401',
                     '"PortImap"=dword:00000477'):
            self.assertIn(line, stored)

    def test_two_copies_started_at_once_leave_one_running(self):
        first, second = self.installation.start(), self.installation.start()
        self.assertTrue(wait_until(lambda: first.poll() is not None or second.poll() is not None))
        ended, running = (first, second) if first.poll() is not None else (second, first)
        self.assertEqual(ended.wait(), 0)
        self.installation.assertListening(running, self.installation.values["Port"])
        # A later copy is refused too, and the running one keeps serving.
        self.assertEqual(self.installation.start().wait(10), 0)
        client = poplib.POP3("127.0.0.1", self.installation.values["Port"], timeout=10)
        self.assertTrue(client.getwelcome().startswith(b"+OK Ready when you are "))
        client.quit()
        self.assertEqual(self.installation.stop(running)[0], 0)

    def test_a_settings_change_takes_effect_at_the_next_start(self):
        process = self.installation.start_listening()
        self.assertEqual(self.installation.stop(process)[0], 0)
        old_port = self.installation.values["Port"]
        self.installation.write_settings(Port=free_port(), ExtraLogging=1)
        process = self.installation.start_listening()
        self.assertFalse(listening(old_port))
        client = poplib.POP3("127.0.0.1", self.installation.values["Port"], timeout=10)
        client.quit()
        self.assertTrue(wait_until(lambda: "PopSession::Client - QUIT" in self.installation.log()))
        self.assertEqual(self.installation.stop(process)[0], 0)

    def test_sigterm_waits_for_an_idle_session_until_it_ends(self):
        process = self.installation.start_listening()
        client = poplib.POP3("127.0.0.1", self.installation.values["Port"], timeout=10)
        process.send_signal(signal.SIGTERM)
        time.sleep(0.5)
        self.assertIsNone(process.poll(), "the program must wait for the session")
        self.assertFalse(listening(self.installation.values["Port"]), "no new connections")
        client.quit()
        self.assertEqual(process.wait(10), 0)

    def test_sigterm_with_a_silent_client_ends_when_its_read_times_out(self):
        self.installation.write_settings(Timeout=2)
        process = self.installation.start_listening()
        silent = socket.create_connection(("127.0.0.1", self.installation.values["PortSmtp"]))
        self.addCleanup(silent.close)
        silent.recv(100)  # the greeting
        started = time.monotonic()
        process.send_signal(signal.SIGTERM)
        self.assertEqual(process.wait(15), 0)
        self.assertGreater(time.monotonic() - started, 1.0)

    def test_a_taken_pop3_port_is_logged_and_smtp_serves_on(self):
        taken = socket.socket()
        self.addCleanup(taken.close)
        taken.bind(("127.0.0.1", self.installation.values["Port"]))
        taken.listen()
        process = self.installation.start()
        self.installation.assertListening(process, self.installation.values["PortSmtp"])
        self.assertTrue(wait_until(lambda: "vxw::Worker::DoWork::catch::vx - vxw::Socket::Listen::bind"
                                   in self.installation.log()), self.installation.log())
        with smtplib.SMTP("127.0.0.1", self.installation.values["PortSmtp"], timeout=10) as smtp:
            self.assertEqual(smtp.ehlo()[0], 250)
        self.assertEqual(self.installation.stop(process)[0], 0)

    def test_settings_that_cannot_be_opened_end_the_start_with_1(self):
        os.remove(self.installation.settings_file)
        os.mkdir(self.installation.settings_file)  # a folder where the file belongs
        process = self.installation.start()
        self.assertEqual(process.wait(10), 1)
        errors = process.stderr.read().decode()
        self.assertEqual(errors, "WinMain::catch::vx - Config::LoadConfig::Create - "
                                 "Error creating key - Software\\Palisandre\\Mirelink\n")

    def test_a_log_that_cannot_be_written_goes_to_standard_error(self):
        os.makedirs(log_path(self.installation.folder))
        taken = socket.socket()
        self.addCleanup(taken.close)
        taken.bind(("127.0.0.1", self.installation.values["Port"]))
        taken.listen()
        process = self.installation.start()
        self.installation.assertListening(process, self.installation.values["PortSmtp"])
        time.sleep(0.3)
        code, errors = self.installation.stop(process)
        self.assertEqual(code, 0)
        self.assertIn("\t-\tvxw::Worker::DoWork::catch::vx - vxw::Socket::Listen::bind", errors)

    def test_detach_starts_a_copy_that_runs_on_its_own(self):
        launcher = self.installation.start("/detach")
        self.assertEqual(launcher.wait(10), 0)
        port = self.installation.values["Port"]
        self.assertTrue(wait_until(lambda: listening(port)), self.installation.log())
        detached = [pid for pid in os.listdir("/proc")
                    if pid.isdigit() and program_of(pid) == self.installation.program]
        self.assertEqual(len(detached), 1)
        os.kill(int(detached[0]), signal.SIGTERM)
        self.assertTrue(wait_until(lambda: not listening(port)))
        # "/detach" with anything more is no relaunch: the program runs itself.
        process = self.installation.start("/detach", "x")
        self.installation.assertListening(process, port)
        self.assertEqual(self.installation.stop(process)[0], 0)


if __name__ == "__main__":
    unittest.main()
