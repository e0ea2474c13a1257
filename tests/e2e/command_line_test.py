"""The command line of the Linux program: its help, its usage errors, and
--get and --set on the settings file, as a user types them."""
import os
import unittest

import shutil
import subprocess
import tempfile

from gateway_fixture import ALICE, Installation, Service, free_port, reg_file

COMPLETION = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging",
                          "mirelink.bash-completion")


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.installation = Installation()
        self.addCleanup(self.installation.close)

    def test_help_and_version(self):
        for args, expected in ((["--version"], "3.6\n"), (["--help"], "Usage: mirelink")):
            code, out, errors = self.installation.run(*args)
            self.assertEqual((code, errors), (0, ""))
            self.assertTrue(out.startswith(expected))
        # The mail clients it serves: all three protocols.
        self.assertIn("POP3, SMTP or IMAP mail client", self.installation.run("--help")[1])

    def test_what_cannot_be_taken_gets_the_usage_and_exit_2(self):
        for args, why in ((["--bogus"], "unknown argument --bogus"),
                          (["/detach", "x"], "unknown argument x"),
                          (["/DETACH"], "unknown argument /DETACH"),
                          (["--config"], "--config needs a value"),
                          (["--set"], "--set needs at least one NAME=VALUE"),
                          (["/hklm", "--config", "x.reg"], "/hklm and --config name two different settings files")):
            code, out, errors = self.installation.run(*args)
            self.assertEqual((code, out), (2, ""), args)
            self.assertTrue(errors.startswith("mirelink: %s\n\nUsage: mirelink " % why), errors)

    def test_get_prints_the_settings_in_effect(self):
        code, out, _ = self.installation.run("--get")
        self.assertEqual(code, 0)
        values = self.installation.values
        self.assertEqual(out.splitlines(), [
            "Address=127.0.0.1", "Port=%d" % values["Port"], "PortSmtp=%d" % values["PortSmtp"],
            "PortImap=0", "Timeout=10", "Delay=0", "CheckOtherFolders=0", "CheckBulkFolder=0",
            "CheckSentFolder=0", "ExtraLogging=0", "OperaCompat=0", "ProxyAddress=127.0.0.1",
            "ProxyPort=9", "ProxyUsername=", "ProxyPassword=(not set)"])
        self.assertEqual(self.installation.run("--get", "proxyport"), (0, "9\n", ""))
        code, out, errors = self.installation.run("--get", "Prot")
        self.assertEqual((code, out), (2, ""))
        self.assertTrue(errors.startswith("mirelink: there is no setting Prot; the settings are Address, "))

    def test_set_writes_values_with_their_types_and_refuses_what_does_not_fit(self):
        code, out, errors = self.installation.run(
            "--set", "Port=11110", "ExtraLogging=1", "ProxyUsername=ann \"lab\"", "ProxyPassword=s3cret")
        self.assertEqual((code, out, errors), (0, "", ""))
        stored = self.installation.settings()
        for line in ('"Port"=dword:00002b66', '"ExtraLogging"=dword:00000001',
                     '"ProxyUsername"="ann \\"lab\\""', '"ProxyPassword"=" ~ ~ '):
            self.assertIn(line, stored)
        self.assertNotIn("s3cret", stored)
        self.assertEqual(self.installation.run("--get", "ProxyPassword")[1], "(set)\n")
        for assignment, why in (("Port=70000", "Port takes a port from 1 to 65535, not \"70000\""),
                                ("Timeout=-1", "Timeout takes seconds from 1 to 2147483, not \"-1\""),
                                ("CheckBulkFolder=yes", "CheckBulkFolder takes 0 or 1, not \"yes\"")):
            # A refusal changes nothing, also of the values before it.
            code, out, errors = self.installation.run("--set", "Delay=5", assignment)
            self.assertEqual((code, out, errors), (2, "", "mirelink: %s\n" % why))
        self.assertEqual(self.installation.settings(), stored)

    def test_set_refuses_two_services_on_one_port_and_an_address_it_cannot_listen_on(self):
        stored = self.installation.settings()
        port = self.installation.values["Port"]
        for assignment, why in (("PortSmtp=%d" % port, "two services cannot share a port: Port and PortSmtp are "
                                 "both %d" % port),
                                ("Address=::1", "Address takes an IPv4 address to listen on, such as 127.0.0.1, "
                                 "not \"::1\"")):
            self.assertEqual(self.installation.run("--set", assignment), (2, "", "mirelink: %s\n" % why))
        self.assertEqual(self.installation.settings(), stored)

    def test_get_makes_no_settings_file(self):
        os.remove(self.installation.settings_file)
        code, out, _ = self.installation.run("--get", "Port")
        self.assertEqual((code, out), (0, "1110\n"))
        self.assertFalse(os.path.exists(self.installation.settings_file))

    def test_a_user_reads_the_machine_wide_settings(self):
        if os.geteuid() != 0:
            self.skipTest("needs root to play another user")
        try:
            os.makedirs("/etc/Palisandre")
        except FileExistsError:
            self.skipTest("machine-wide settings of a real installation, or of another test, are there")
        self.addCleanup(shutil.rmtree, "/etc/Palisandre")
        with open("/etc/Palisandre/Mirelink.reg", "w") as f:
            f.write(reg_file({"Address": "127.0.0.1", "Port": 2110, "ver-3.6": 1})
                    .replace("HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"))
        os.chmod("/etc/Palisandre/Mirelink.reg", 0o644)
        shared = tempfile.mkdtemp(prefix="mirelink-user-")
        self.addCleanup(shutil.rmtree, shared)
        os.chmod(shared, 0o755)
        program = shutil.copy(self.installation.program, shared)
        done = subprocess.run([program, "/hklm", "--get", "Port"], capture_output=True, timeout=30,
                              env=dict(self.installation.environment(), HOME="/nonexistent",
                                       XDG_CONFIG_HOME="/nonexistent", XDG_STATE_HOME="/nonexistent"),
                              preexec_fn=lambda: (os.setgid(65534), os.setuid(65534)))
        self.assertEqual((done.returncode, done.stdout, done.stderr), (0, b"2110\n", b""))

    def check(self, *args, password=ALICE[1]):
        done = subprocess.run([self.installation.program, "--check", *args], capture_output=True, timeout=60,
                              input=(password + "\n").encode(), env=self.installation.environment())
        return done.returncode, done.stdout.decode().splitlines()

    def test_check_goes_step_by_step_and_says_where_it_failed(self):
        with Service("--proxy-auth", "pu:pp") as service:
            self.installation.write_settings(ProxyPort=service.port, ProxyUsername="pu", ProxyPassword="pp")
            code, lines = self.check(ALICE[0])
            self.assertEqual(code, 0, lines)
            self.assertEqual(lines[:6], [
                "Settings: " + self.installation.settings_file,
                "Web mail service: services.msn.com through the proxy 127.0.0.1:%d" % service.port,
                "Name resolution: 127.0.0.1 - ok", "Connection: 127.0.0.1:%d - ok" % service.port,
                "Proxy authentication: ok", "Login: alice - ok"])
            self.assertEqual(lines[6:9], ["Folders:", "  Inbox: 6 messages", "  Junk Mail: 1 message"])
            self.assertEqual(lines[-1], "Everything worked")
            failures = (
                ({"ProxyPassword": "wrong"}, "Failed at proxy authentication: the proxy refused ProxyUsername pu "
                                             "and its password"),
                ({"ProxyPassword": "pp", "ProxyUsername": ""},
                 "Failed at proxy authentication: the proxy asks for a user name and password; ProxyUsername is "
                 "not set"),
                ({"ProxyUsername": "pu"}, "Failed at credentials: the service refused the account name or "
                                          "password of alice"),
                ({"ProxyPort": free_port()}, "Failed at connection: vxw::Socket::Open::WaitUntilWriteable - Error "
                                             "connecting socket to 127.0.0.1 on port %d - 111 (Connection refused)"),
                ({"ProxyAddress": "nohost.invalid"}, "Failed at name resolution: no address for nohost.invalid"))
            for settings, failure in failures:
                self.installation.write_settings(**settings)
                expected = failure % self.installation.values["ProxyPort"] if "%d" in failure else failure
                self.assertEqual(self.check(ALICE[0], password="nope"), (1, self.check_lines(expected)), settings)

    def check_lines(self, failure):
        """What --check says up to a failure: the steps before it, then the failure."""
        values = self.installation.values
        proxy = "%s:%d" % (values["ProxyAddress"], values["ProxyPort"])
        steps = ["Settings: " + self.installation.settings_file,
                 "Web mail service: services.msn.com through the proxy " + proxy,
                 "Name resolution: %s - ok" % values["ProxyAddress"], "Connection: %s - ok" % proxy,
                 "Proxy authentication: ok"]
        reached = {"name resolution": 2, "connection": 3, "proxy authentication": 4, "credentials": 5}
        step = failure[len("Failed at "):failure.index(":")]
        return steps[:reached[step]] + [failure]

    def complete(self, *words):
        """What bash completion offers for the words, the last being typed."""
        script = ('source "$1"; shift; COMP_WORDS=(mirelink "$@"); COMP_CWORD=$#; _mirelink; '
                  'printf "%s\\n" "${COMPREPLY[@]}"')
        done = subprocess.run(["bash", "-c", script, "complete", COMPLETION, *words], capture_output=True,
                              timeout=30, text=True)
        self.assertEqual(done.stderr, "")
        return sorted(done.stdout.split())

    def test_bash_completes_the_switches_and_every_setting_name(self):
        names = [line.split("=")[0] for line in self.installation.run("--get")[1].splitlines()]
        self.assertEqual(self.complete("--get", ""), sorted(names))
        self.assertEqual(self.complete("--set", "Port=1", "Proxy"),
                         sorted(name + "=" for name in names if name.startswith("Proxy")))
        self.assertEqual(self.complete("--set", "Port=1"), [])
        switches = self.complete("")
        for switch in ("--config", "--log", "/detach", "/hklm", "--get", "--set", "--status", "--check",
                       "--help", "--version"):
            self.assertIn(switch, switches)
        self.assertEqual(self.complete("--st"), ["--status"])

    def test_a_settings_file_of_ones_own(self):
        other = self.installation.folder + "/elsewhere/mine.reg"
        # A folder that does not exist is a mistake in the name: it is said, not made.
        for args in (["--set", "Port=2110"], ["--get"], []):
            self.assertEqual(self.installation.run("--config", other, *args),
                             (2, "", "mirelink: --config %s: the folder %s/elsewhere does not exist\n"
                              % (other, self.installation.folder)))
        self.assertFalse(os.path.exists(os.path.dirname(other)))
        os.mkdir(os.path.dirname(other))
        self.assertEqual(self.installation.run("--config", other, "--set", "Port=2110")[0], 0)
        self.assertEqual(self.installation.run("--config", other, "--get", "Port")[1], "2110\n")
        self.assertNotEqual(self.installation.run("--get", "Port")[1], "2110\n")


if __name__ == "__main__":
    unittest.main()
