"""The program under a service manager and beside one: systemd's
notifications on NOTIFY_SOCKET, the journal's line form on standard error,
and --status, which tells whether a gateway runs and how it is."""
import os
import signal
import socket
import unittest

from gateway_fixture import Installation, free_port, wait_until


class ServiceManager(unittest.TestCase):
    def setUp(self):
        self.installation = Installation()
        self.addCleanup(self.installation.close)

    def manager_socket(self):
        """A datagram socket where systemd's would be; its path for NOTIFY_SOCKET."""
        path = os.path.join(self.installation.folder, "notify")
        manager = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.addCleanup(manager.close)
        manager.bind(path)
        manager.settimeout(10)
        return manager, path

    def test_ready_reloading_and_stopping_are_told_to_the_service_manager(self):
        manager, path = self.manager_socket()
        environment = self.installation.environment(NOTIFY_SOCKET=path, JOURNAL_STREAM="8:12345")
        process = self.installation.start("--log", "-", env=environment)
        self.assertEqual(manager.recv(100), b"READY=1")
        self.installation.assertListening(process, self.installation.values["Port"])
        new_port = free_port()
        self.installation.write_settings(Port=new_port)
        process.send_signal(signal.SIGHUP)
        reloading = manager.recv(100).decode().split("\n")
        self.assertEqual(reloading[0], "RELOADING=1")
        self.assertRegex(reloading[1], r"^MONOTONIC_USEC=\d+$")
        self.assertEqual(manager.recv(100), b"READY=1")
        self.installation.assertListening(process, new_port)
        process.send_signal(signal.SIGTERM)
        self.assertEqual(manager.recv(100), b"STOPPING=1")
        code, out, errors = self.installation.stop(process)
        self.assertEqual((code, out), (0, ""))
        lines = errors.splitlines()
        self.assertIn("<6>POP3 on 127.0.0.1:%d" % new_port, lines)
        self.assertEqual(lines[-1], "<6>Stopped")

    def test_the_journal_gets_each_line_with_its_priority(self):
        taken = socket.socket()
        self.addCleanup(taken.close)
        taken.bind(("127.0.0.1", self.installation.values["Port"]))
        taken.listen()
        self.installation.write_settings(Timeout="abc")
        process = self.installation.start("--log", "-")
        self.installation.assertListening(process, self.installation.values["PortSmtp"])
        code, _, errors = self.installation.stop(process)
        self.assertEqual(code, 0)
        lines = errors.splitlines()
        priorities = {line[:3] for line in lines}
        self.assertEqual(priorities, {"<3>", "<4>", "<6>"}, lines)
        self.assertTrue(any(line.startswith("<3>POP3 could not listen on ") for line in lines), lines)
        self.assertTrue(any(line.startswith("<4>Config::LoadConfig::Type - ") for line in lines), lines)
        self.assertNotIn("\t-\t", errors)

    def test_status_tells_whether_and_how_a_gateway_runs(self):
        settings = self.installation.settings_file
        self.assertEqual(self.installation.run("--status"),
                         (3, "Mirelink does not run with %s\n" % settings, ""))
        self.installation.write_settings(PortImap=free_port())
        values = self.installation.values
        taken = socket.socket()
        self.addCleanup(taken.close)
        taken.bind(("127.0.0.1", values["PortImap"]))
        taken.listen()
        process = self.installation.start_listening()
        self.assertTrue(wait_until(lambda: "IMAP could not" in self.installation.log()))
        code, out, errors = self.installation.run("--status")
        self.assertEqual((code, errors), (0, ""))
        lines = out.splitlines()
        self.assertEqual(lines[0], "Mirelink runs with %s (process %d)" % (settings, process.pid))
        self.assertRegex(lines[1], r"^Started: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d$")
        self.assertEqual(lines[2:4], ["POP3 on 127.0.0.1:%d" % values["Port"],
                                      "SMTP on 127.0.0.1:%d" % values["PortSmtp"]])
        self.assertTrue(lines[4].startswith("IMAP could not listen on 127.0.0.1:%d - " % values["PortImap"]))
        self.assertRegex(lines[5], r"^Last error: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d - IMAP could not listen on ")
        self.assertEqual(len(lines), 6)
        self.assertEqual(self.installation.stop(process)[0], 0)
        self.assertEqual(self.installation.run("--status")[0], 3)


if __name__ == "__main__":
    unittest.main()
