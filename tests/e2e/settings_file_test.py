"""The settings file as a user edits it by hand, and as the program keeps it:
mistakes named with file and line, value lines without their key line, a
file that is no settings file, an address that would open the gateway to
every network, and a proxy password that cannot be protected."""
import os
import shutil
import subprocess
import tempfile
import unittest

from gateway_fixture import MIRELINK, Installation


def linked_library(name):
    """The path of a library the program is linked with."""
    for line in subprocess.run(["ldd", MIRELINK], capture_output=True, text=True).stdout.splitlines():
        if line.split()[0] == name:
            return line.split()[2]
    raise AssertionError("the program does not use " + name)


class SettingsFile(unittest.TestCase):
    def setUp(self):
        self.installation = Installation()
        self.addCleanup(self.installation.close)

    def test_value_lines_alone_with_a_mistake_serve_and_name_the_line(self):
        values = self.installation.values
        self.installation.write_raw('"Address"="127.0.0.1"\n"Port"=dword:%08x\n"PortSmtp"=dword:%08x\n'
                                    '"Timeout"=dward:0000000a\n"ProxyAdress"="proxy"\n'
                                    % (values["Port"], values["PortSmtp"]))
        process = self.installation.start_listening()
        self.assertEqual(self.installation.stop(process)[0], 0)
        where = self.installation.settings_file
        log = self.installation.log_texts()
        self.assertIn("Config::LoadConfig::Line - A line that is no value, its setting keeps its default - "
                      "%s:4 - \"Timeout\"=dward:0000000a" % where, log)
        self.assertIn("Config::LoadConfig::Name - A value the program does not know, ignored - "
                      "%s:5 - ProxyAdress" % where, log)
        no_key = [line for line in log if line.startswith("vxw::RegistryKey::Create::NoKey - ")]
        self.assertEqual(len(no_key), 1, log)
        stored = self.installation.settings()
        self.assertTrue(stored.startswith("Windows Registry Editor Version 5.00\r\n\r\n"
                                          "[HKEY_CURRENT_USER\\Software\\Palisandre\\Mirelink]\r\n"
                                          "\"Address\"=\"127.0.0.1\"\r\n"), stored)
        self.assertEqual(stored.count('"Port"='), 1)

    def test_a_number_written_as_text_is_the_number_it_says(self):
        # Read as the registry reads it, "60" became 12,342 seconds and "abc"
        # 6,513,249, silently after the first rewrite.
        for text, used in (("60", 60), ("abc", 120)):
            self.installation.write_settings(Timeout=text)
            self.assertEqual(self.installation.run("--get", "Timeout"), (0, "%d\n" % used, ""))
            process = self.installation.start_listening()
            self.assertEqual(self.installation.stop(process)[0], 0)
            warning = ("Config::LoadConfig::Type - %s - %s:8 - Timeout - read \"%s\" - used %d"
                       % ("Not stored as a number, read as one" if text == "60" else
                          "Not a number, the default is used", self.installation.settings_file, text, used))
            # Said by the --get (which writes nothing) and the start, which
            # stores the number used: from then on the file is right.
            self.assertEqual(self.installation.log_texts().count(warning), 2, self.installation.log())
            self.assertIn('"Timeout"=dword:%08x' % used, self.installation.settings())
            self.assertEqual(self.installation.run("--get", "Timeout")[1], "%d\n" % used)
            self.assertEqual(self.installation.log_texts().count(warning), 2)
            os.remove(self.installation.log_file)

    def test_a_file_that_is_no_settings_file_is_moved_aside(self):
        utf16 = "Windows Registry Editor Version 5.00\r\n".encode("utf-16-le")  # without its mark
        self.installation.write_raw(utf16)
        self.assertEqual(self.installation.run("--get", "Port"), (0, "1110\n", ""))
        with open(self.installation.settings_file + ".unreadable", "rb") as f:
            self.assertEqual(f.read(), utf16)
        self.assertIn("vxw::RegistryKey::Create::Unreadable - The settings file could not be read and was "
                      "moved aside - %s - %s.unreadable" % ((self.installation.settings_file,) * 2),
                      self.installation.log_texts())

    def test_an_empty_address_listens_on_the_loopback_only(self):
        self.installation.write_settings(Address="", Timeout=0)
        process = self.installation.start_listening()  # 127.0.0.1, not 0.0.0.0
        self.assertEqual(self.installation.stop(process)[0], 0)
        log = self.installation.log_texts()
        self.assertIn("Config::LoadConfig::Address - No address to listen on, 127.0.0.1 is used - %s:4"
                      % self.installation.settings_file, log)
        self.assertIn("Config::LoadConfig::Timeout - A time-out must be above 0, 120 seconds are used - "
                      "%s:8 - 0" % self.installation.settings_file, log)
        self.assertEqual(self.installation.run("--set", "Delay=1")[0], 0)  # a save
        self.assertIn('"Address"="127.0.0.1"', self.installation.settings())

    def test_the_proxy_password_is_kept_when_it_cannot_be_protected(self):
        self.installation.write_settings(ProxyPassword="clear")
        modules = tempfile.mkdtemp(prefix="mirelink-modules-")
        self.addCleanup(shutil.rmtree, modules)
        # An empty modules folder: the legacy provider is still found beside
        # the library, and the clear-text password is stored protected.
        environment = self.installation.environment(OPENSSL_MODULES=modules)
        self.assertEqual(self.installation.run("--set", "Delay=0", env=environment)[0], 0)
        self.assertIn('"ProxyPassword"=" ~ ~ ', self.installation.settings())
        # A library with no modules beside it has no Blowfish: nothing stored
        # is replaced, and the log and the command say why.
        self.installation.write_settings(ProxyPassword="clear")
        for library in ("libcrypto.so.3", "libssl.so.3"):
            shutil.copy(linked_library(library), modules)
        environment["LD_LIBRARY_PATH"] = modules
        self.assertEqual(self.installation.run("--get", "ProxyPassword", env=environment)[1], "(set)\n")
        code, _, errors = self.installation.run("--set", "ProxyPassword=new", env=environment)
        self.assertEqual(code, 1)
        self.assertTrue(errors.startswith("mirelink: Config::SaveConfig::ProxyPassword - The proxy password "
                                          "cannot be stored protected; the store keeps what it holds - "
                                          "vx::ProtectPassword::Cipher - The password cipher (Blowfish) is "
                                          "not available"), errors)
        self.assertIn('"ProxyPassword"="clear"', self.installation.settings())
        failures = [line for line in self.installation.log_texts() if "ProxyPassword" in line]
        # One each time it was to be stored: the --set's start and its own
        # save (a --get stores nothing).
        self.assertEqual(len(failures), 2, failures)


if __name__ == "__main__":
    unittest.main()
