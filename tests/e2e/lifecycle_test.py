"""The program's life as a user meets it: what it reports when it starts and
stops, one copy at a time per settings file, settings applied by a restart
and by SIGHUP, stopping while clients hold sessions (idle, in a transfer, a
second stop), /detach, and what it does when a port, the settings or the log
cannot be had."""
import fcntl
import os
import poplib
import resource
import signal
import smtplib
import socket
import stat
import termios
import threading
import time
import unittest

from gateway_fixture import ALICE, Installation, Service, free_port, listening, reg_file, wait_until


def program_of(pid):
    try:
        return os.readlink("/proc/%s/exe" % pid)
    except OSError:
        return None


def taken_port(test, port):
    """A socket that listens on the loopback port until the test ends."""
    taken = socket.socket()
    test.addCleanup(taken.close)
    taken.bind(("127.0.0.1", port))
    taken.listen()
    return taken


class Lifecycle(unittest.TestCase):
    def setUp(self):
        self.installation = Installation()
        self.addCleanup(self.installation.close)

    def report(self, port=None, smtp_port=None):
        values = self.installation.values
        return ["Settings - " + self.installation.settings_file,
                "Log - " + self.installation.log_file,
                "POP3 on 127.0.0.1:%d" % (port or values["Port"]),
                "SMTP on 127.0.0.1:%d" % (smtp_port or values["PortSmtp"]),
                "IMAP on 127.0.0.1:%d" % values["PortImap"] if values.get("PortImap")
                else "IMAP off"]

    def test_start_and_stop_are_reported_and_logged_in_a_private_log(self):
        process = self.installation.start_listening()
        self.assertTrue(wait_until(lambda: len(self.installation.log_texts()) >= 4))
        code, out, errors = self.installation.stop(process)
        self.assertEqual((code, errors), (0, ""))
        self.assertEqual(out.splitlines(), self.report() + ["Stopped"])
        self.assertEqual(self.installation.log_texts(), self.report() + ["Stopped"])
        # LF line ends, readable by the user alone: it may hold whole conversations.
        with open(self.installation.log_file, "rb") as f:
            self.assertNotIn(b"\r", f.read())
        self.assertEqual(stat.S_IMODE(os.stat(self.installation.log_file).st_mode), 0o600)

    def test_a_first_start_takes_ports_a_user_may_bind(self):
        os.remove(self.installation.settings_file)
        process = self.installation.start()
        # The first start's ports may be taken by something else on this
        # machine: each is then reported as such, and the start goes on or ends.
        self.assertTrue(wait_until(lambda: "SMTP " in self.installation.log()))
        lines = self.installation.log_texts()
        self.assertEqual(lines[0], "Settings - " + self.installation.settings_file)
        self.assertIn("Starting - 3.6", lines)
        for service, port in (("POP3", 1110), ("SMTP", 1025)):
            self.assertTrue(any(line.startswith(service) and "127.0.0.1:%d" % port in line
                                for line in lines), lines)
        code = self.installation.stop(process)[0]
        self.assertIn(code, (0, 1))
        stored = self.installation.settings()
        for line in ('"Port"=dword:00000456', '"PortSmtp"=dword:00000401',
                     '"PortImap"=dword:00000477'):
            self.assertIn(line, stored)

    def test_two_copies_started_at_once_leave_one_running(self):
        first, second = self.installation.start(), self.installation.start()
        self.assertTrue(wait_until(lambda: first.poll() is not None or second.poll() is not None))
        ended, running = (first, second) if first.poll() is not None else (second, first)
        self.assertEqual(ended.wait(), 0)
        self.installation.assertListening(running, self.installation.values["Port"])
        # A later copy is refused too, says so, and the running one keeps serving.
        code, out, errors = self.installation.run()
        self.assertEqual((code, out), (0, ""))
        self.assertEqual(errors, "Mirelink already runs with %s (process %d)\n"
                         % (self.installation.settings_file, running.pid))
        client = poplib.POP3("127.0.0.1", self.installation.values["Port"], timeout=10)
        self.assertTrue(client.getwelcome().startswith(b"+OK Ready when you are "))
        client.quit()
        self.assertEqual(self.installation.stop(running)[0], 0)

    def test_two_settings_files_run_side_by_side(self):
        other = os.path.join(self.installation.folder, "other.reg")
        values = dict(self.installation.values, Port=free_port(), PortSmtp=free_port())
        self.installation.write_raw(reg_file(values), other)
        first = self.installation.start_listening()
        second = self.installation.start("--config", other)
        self.installation.assertListening(second, values["Port"])
        self.installation.assertListening(second, values["PortSmtp"])
        # The lock follows the file: the same file once more is refused.
        code, _, errors = self.installation.run("--config", other)
        self.assertEqual(code, 0)
        self.assertIn("already runs with " + other, errors)
        self.assertEqual(self.installation.stop(second)[0], 0)
        self.assertEqual(self.installation.stop(first)[0], 0)

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

    def test_sighup_reads_the_settings_again_and_restarts_the_services(self):
        process = self.installation.start_listening()
        old_port = self.installation.values["Port"]
        code, _, hint = self.installation.run("--set", "Port=%d" % free_port())
        self.assertEqual(code, 0, hint)
        self.assertIn("(process %d) takes them on SIGHUP: kill -HUP %d" % (process.pid, process.pid), hint)
        new_port = int(self.installation.run("--get", "Port")[1])
        process.send_signal(signal.SIGHUP)
        self.installation.assertListening(process, new_port)
        self.assertTrue(wait_until(lambda: not listening(old_port)))
        code, out, errors = self.installation.stop(process)
        self.assertEqual(code, 0, errors)
        self.assertEqual(out.splitlines()[len(self.report()):],
                         ["Reloading the settings - " + self.installation.settings_file]
                         + self.report(port=new_port)[2:] + ["Stopped"])

    def serve_alice(self, *faults, timeout=10):
        """The local service behind the gateway, and alice logged in by POP3."""
        service = Service(*faults)
        service.__enter__()
        self.addCleanup(service.__exit__, None, None, None)
        self.installation.write_settings(ProxyPort=service.port, Timeout=timeout)
        process = self.installation.start_listening()
        client = poplib.POP3("127.0.0.1", self.installation.values["Port"], timeout=30)
        client.user(ALICE[0])
        client.pass_(ALICE[1])
        return service, process, client

    def test_sigterm_closes_idle_sessions_at_once_and_moves_nothing(self):
        service, process, client = self.serve_alice()
        client.dele(1)
        silent = socket.create_connection(("127.0.0.1", self.installation.values["PortSmtp"]))
        self.addCleanup(silent.close)
        silent.recv(100)  # the greeting; then nothing, as a client that waits
        process.send_signal(signal.SIGTERM)
        # Not after Timeout (10 s): at once.
        self.assertEqual(process.wait(5), 0)
        self.assertTrue(silent.recv(100).startswith(b"421 "))
        self.assertRaises((poplib.error_proto, OSError), client.noop)
        self.assertNotIn("MOVE", service.admin("journal"))

    def test_sigterm_lets_a_transfer_in_progress_finish(self):
        service, process, client = self.serve_alice("--fault", "get:slow=1500")
        retrieved = []
        reader = threading.Thread(target=lambda: retrieved.append(client.retr(1)))
        reader.start()
        self.assertTrue(wait_until(lambda: "GET " in service.admin("journal")))
        process.send_signal(signal.SIGTERM)
        reader.join(20)
        self.assertTrue(retrieved[0][0].startswith(b"+OK"))
        self.assertIn(b"Subject: Welcome to your mailbox", retrieved[0][1])
        self.assertEqual(process.wait(10), 0)
        self.assertFalse(listening(self.installation.values["Port"]))

    def test_a_second_sigterm_ends_every_session_at_once(self):
        # Only the second signal can end the download before its time-out.
        service, process, client = self.serve_alice("--fault", "get:slow=60000", timeout=60)
        reader = threading.Thread(target=lambda: self.assertRaises(Exception, client.retr, 1))
        reader.start()
        self.assertTrue(wait_until(lambda: "GET " in service.admin("journal")))
        process.send_signal(signal.SIGTERM)
        time.sleep(0.3)
        self.assertIsNone(process.poll(), "a transfer in progress is let finish")
        process.send_signal(signal.SIGTERM)
        self.assertEqual(process.wait(10), 0)
        reader.join(20)
        self.assertFalse(reader.is_alive())

    def start_in_a_terminal(self, ignore_hang_up=False):
        """The program in the foreground of a terminal of its own; the
        terminal's other end, which the test closes to hang up."""
        master, slave = os.openpty()

        def take_terminal():
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)
            if ignore_hang_up:
                signal.signal(signal.SIGHUP, signal.SIG_IGN)
        process = self.installation.start(stdin=slave, preexec_fn=take_terminal)
        os.close(slave)
        self.installation.assertListening(process, self.installation.values["PortSmtp"])
        return process, master

    def test_a_terminal_that_hangs_up_stops_the_program(self):
        # The kernel's hang-up means "the terminal went away", not "reload".
        process, terminal = self.start_in_a_terminal()
        os.close(terminal)
        code, out, errors = self.installation.stop(process, seconds=10)
        self.assertEqual((code, errors), (0, ""))
        self.assertEqual(out.splitlines(), self.report() + ["Stopped"])

    def test_under_nohup_a_hang_up_reloads(self):
        process, terminal = self.start_in_a_terminal(ignore_hang_up=True)
        os.close(terminal)
        self.assertTrue(wait_until(lambda: "Reloading the settings - " + self.installation.settings_file
                                   in self.installation.log_texts()))
        self.assertIsNone(process.poll())
        self.assertEqual(self.installation.stop(process)[0], 0)

    def test_a_reload_listens_again_at_once_while_a_transfer_goes_on(self):
        # The download takes 4 s; the new port must listen long before it ends.
        service, process, client = self.serve_alice("--fault", "get:slow=4000")
        retrieved = []
        reader = threading.Thread(target=lambda: retrieved.append(client.retr(1)))
        reader.start()
        self.assertTrue(wait_until(lambda: "GET " in service.admin("journal")))
        old_port, new_port = self.installation.values["Port"], free_port()
        self.installation.write_settings(Port=new_port, Timeout=30)
        started = time.monotonic()
        process.send_signal(signal.SIGHUP)
        self.installation.assertListening(process, new_port)
        self.assertLess(time.monotonic() - started, 3, "the reload waited for the transfer")
        self.assertFalse(listening(old_port))
        fresh = poplib.POP3("127.0.0.1", new_port, timeout=10)
        self.assertTrue(fresh.getwelcome().startswith(b"+OK"))
        fresh.quit()
        reader.join(20)
        self.assertTrue(retrieved[0][0].startswith(b"+OK"))
        self.assertIn(b"Subject: Welcome to your mailbox", retrieved[0][1])
        client.quit()  # the old session goes on to its end
        self.assertEqual(self.installation.stop(process)[0], 0)

    def test_a_stop_lets_transfers_finish_for_30_seconds_at_most(self):
        service, process, client = self.serve_alice("--fault", "get:slow=120000", timeout=120)
        reader = threading.Thread(target=lambda: self.assertRaises(Exception, client.retr, 1))
        reader.start()
        self.assertTrue(wait_until(lambda: "GET " in service.admin("journal")))
        started = time.monotonic()
        process.send_signal(signal.SIGTERM)
        self.assertEqual(process.wait(60), 0)
        self.assertGreater(time.monotonic() - started, 25)
        reader.join(20)
        self.assertIn("app::RunHeadless::Stop - Sessions still running after the grace time are ended - 30 s",
                      self.installation.log_texts())

    def test_a_reload_that_cannot_read_the_settings_keeps_the_ones_in_use(self):
        process = self.installation.start_listening()
        port = self.installation.values["Port"]
        self.installation.write_raw("#!/bin/sh\necho no settings\n")
        process.send_signal(signal.SIGHUP)
        failure = ("The settings could not be read again, the ones in use are kept - Config::LoadConfig::Create - "
                   "Error creating key - Software\\Palisandre\\Mirelink - %s - No settings file: its bytes "
                   "cannot be read as one" % self.installation.settings_file)
        self.assertTrue(wait_until(lambda: failure in self.installation.log_texts()), self.installation.log())
        self.assertTrue(listening(port))
        self.assertEqual(self.installation.settings(), "#!/bin/sh\necho no settings\n")
        self.assertFalse(os.path.exists(self.installation.settings_file + ".unreadable"))
        # Mended, the next reload takes it.
        new_port = free_port()
        self.installation.write_settings(Port=new_port)
        process.send_signal(signal.SIGHUP)
        self.installation.assertListening(process, new_port)
        self.assertEqual(self.installation.stop(process)[0], 0)

    def test_without_a_runtime_folder_the_lock_stays_out_of_the_shared_temporary_folder(self):
        # Another user's link where the lock used to be: it is not followed,
        # and the file it points to is not touched.
        planted = "/tmp/vx-mirelink-instance-%d" % os.getuid()
        if os.path.lexists(planted):
            self.skipTest(planted + " exists on this machine")
        victim = os.path.join(self.installation.folder, "victim")
        self.installation.write_raw("precious", victim)
        os.symlink(victim, planted)
        self.addCleanup(os.remove, planted)
        environment = self.installation.environment()
        del environment["XDG_RUNTIME_DIR"]
        process = self.installation.start(env=environment)
        self.installation.assertListening(process, self.installation.values["Port"])
        code, _, errors = self.installation.run(env=environment)
        self.assertIn("already runs with", errors)
        with open(victim) as f:
            self.assertEqual(f.read(), "precious")
        lock = os.path.join(self.installation.folder, "state/Palisandre/vx-mirelink-instance")
        self.assertEqual(stat.S_IMODE(os.stat(os.path.dirname(lock)).st_mode), 0o700)
        self.assertEqual(self.installation.stop(process)[0], 0)

    def test_a_taken_pop3_port_is_reported_and_smtp_serves_on(self):
        taken_port(self, self.installation.values["Port"])
        process = self.installation.start()
        self.installation.assertListening(process, self.installation.values["PortSmtp"])
        port = self.installation.values["Port"]
        failure = ("POP3 could not listen on 127.0.0.1:%d - vxw::Worker::DoWork::catch::vx - "
                   "vxw::Socket::Listen::bind - Error binding socket - 127.0.0.1 - %d - 98 (Address already in use)"
                   % (port, port))
        self.assertTrue(wait_until(lambda: any(line.startswith(failure)
                                               for line in self.installation.log_texts())),
                        self.installation.log())
        with smtplib.SMTP("127.0.0.1", self.installation.values["PortSmtp"], timeout=10) as smtp:
            self.assertEqual(smtp.ehlo()[0], 250)
        code, out, _ = self.installation.stop(process)
        self.assertEqual(code, 0)
        self.assertIn(failure, out)

    def test_no_service_that_can_listen_ends_the_start_with_1(self):
        for port in (self.installation.values["Port"], self.installation.values["PortSmtp"]):
            taken_port(self, port)
        process = self.installation.start()
        out = process.communicate(timeout=20)[0].decode()
        self.assertEqual(process.returncode, 1)
        self.assertEqual(out.splitlines()[-1], "No service could listen - stopped")
        self.assertIn("SMTP could not listen on 127.0.0.1:%d - " % self.installation.values["PortSmtp"],
                      self.installation.log())

    def test_settings_that_cannot_be_opened_end_the_start_with_1(self):
        os.remove(self.installation.settings_file)
        os.mkdir(self.installation.settings_file)  # a folder where the file belongs
        process = self.installation.start()
        self.assertEqual(process.wait(10), 1)
        errors = process.stderr.read().decode()
        self.assertEqual(errors, "WinMain::catch::vx - Config::LoadConfig::Create - "
                                 "Error creating key - Software\\Palisandre\\Mirelink - "
                                 + self.installation.settings_file + " - Is a directory\n")

    def test_a_log_that_cannot_be_written_goes_to_standard_error(self):
        os.makedirs(self.installation.log_file)
        taken_port(self, self.installation.values["Port"])
        process = self.installation.start()
        self.installation.assertListening(process, self.installation.values["PortSmtp"])
        time.sleep(0.3)
        code, _, errors = self.installation.stop(process)
        self.assertEqual(code, 0)
        # Said once, in the report line that names the service.
        self.assertIn("\t-\tPOP3 could not listen on 127.0.0.1:%d - vxw::Worker::DoWork::catch::vx - "
                      "vxw::Socket::Listen::bind" % self.installation.values["Port"], errors)
        self.assertEqual(errors.count("Error binding socket"), 1, errors)

    def test_log_to_standard_error_instead_of_a_file(self):
        # Into anything but a terminal, as under a service manager: the
        # journal's form, the syslog priority and no time stamp of ours.
        process = self.installation.start_listening("--log", "-")
        code, out, errors = self.installation.stop(process)
        self.assertEqual((code, out), (0, ""))
        self.assertEqual(errors.splitlines(),
                         ["<6>" + line for line in ["Settings - " + self.installation.settings_file,
                                                    "Log - standard error"] + self.report()[2:] + ["Stopped"]])
        self.assertFalse(os.path.exists(self.installation.log_file))

    def test_detach_prints_the_pid_of_a_copy_that_runs_on_its_own(self):
        code, out, errors = self.installation.run("/detach")
        self.assertEqual(code, 0, errors)
        pid = int(out)
        self.addCleanup(lambda: program_of(pid) and os.kill(pid, signal.SIGKILL))
        self.assertEqual(program_of(pid), self.installation.program)
        self.assertTrue(listening(self.installation.values["Port"]))
        self.assertEqual(errors.splitlines(), self.report())  # what the copy said while it started
        # The copy has no terminal: a hang-up asks it to reload.
        os.kill(pid, signal.SIGHUP)
        self.assertTrue(wait_until(lambda: "Reloading the settings - " + self.installation.settings_file
                                   in self.installation.log_texts()))
        self.assertTrue(wait_until(lambda: self.installation.log_texts()[-1] == "IMAP off"))
        os.kill(pid, signal.SIGTERM)
        self.assertTrue(wait_until(lambda: program_of(pid) is None))
        self.assertFalse(listening(self.installation.values["Port"]))

    def test_detach_fails_when_the_copy_cannot_start(self):
        for port in (self.installation.values["Port"], self.installation.values["PortSmtp"]):
            taken_port(self, port)
        code, out, errors = self.installation.run("/detach")
        self.assertEqual((code, out), (1, ""))
        self.assertIn("No service could listen - stopped\n", errors)
        self.assertTrue(errors.endswith("mirelink: the copy did not start\n"), errors)

    def test_the_descriptor_limit_is_raised_to_what_the_system_allows(self):
        hard = resource.getrlimit(resource.RLIMIT_NOFILE)[1]
        process = self.installation.start(
            preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (256, hard)))
        self.installation.assertListening(process, self.installation.values["Port"])
        self.assertEqual(resource.prlimit(process.pid, resource.RLIMIT_NOFILE), (hard, hard))
        self.assertEqual(self.installation.stop(process)[0], 0)


if __name__ == "__main__":
    unittest.main()
