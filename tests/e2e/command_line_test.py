"""The command line of the Linux program: its help, its usage errors, and
--get and --set on the settings file, as a user types them."""
import unittest

from gateway_fixture import Installation


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.installation = Installation()
        self.addCleanup(self.installation.close)

    def test_help_and_version(self):
        for args, expected in ((["--version"], "3.6\n"), (["--help"], "Usage: mirelink")):
            code, out, errors = self.installation.run(*args)
            self.assertEqual((code, errors), (0, ""))
            self.assertTrue(out.startswith(expected))

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

    def test_a_settings_file_of_ones_own(self):
        other = self.installation.folder + "/elsewhere/mine.reg"
        self.assertEqual(self.installation.run("--config", other, "--set", "Port=2110")[0], 0)
        self.assertEqual(self.installation.run("--config", other, "--get", "Port")[1], "2110\n")
        self.assertNotEqual(self.installation.run("--get", "Port")[1], "2110\n")


if __name__ == "__main__":
    unittest.main()
