"""The Windows program's user interface under Wine, as a user meets it: the
options dialog with the settings, the tray icon and its menu, the About box,
the update check against a local stand-in for the maker's web server, and the
program's life (one copy, Exit, the close box). One Wine prefix and one
virtual display serve the whole run; each test drives one or a few starts."""
import os
import poplib
import shutil
import time
import unittest

from wine_desktop import (Desktop, Installation, UpdateServer, free_port, greeting, listening,
                          registry_value, wait_until, wine)

OPTIONS = "Options - Mirelink"
ABOUT = "About Mirelink 3.6"
TRAY_ID = "101"
TRAY_CALLBACK = "0x8001"
RIGHT_BUTTON_UP = "517"
LEFT_DOUBLE_CLICK = "515"
WELCOME = r"Mirelink is now running.\r\nRight-click on this icon for options."

desktop = None
update_server = None


def setUpModule():
    global desktop, update_server
    desktop = Desktop()
    update_server = UpdateServer()


def tearDownModule():
    update_server.close()
    desktop.close()


def controls(title):
    """The dialog's controls: id -> (enabled, checked, text)."""
    found = {}
    for line in desktop.drive("texts", title).splitlines():
        ident, _, enabled, _, checked, text = line.split("\t", 5)
        found[int(ident)] = (enabled == "1", checked == "1", text)
    return found


def box_text(caption):
    """The message of the message box with that caption (its longest label)."""
    texts = [text for _, _, text in controls(caption).values()]
    return max(texts, key=len)


def visible_windows():
    return desktop.drive("windows")


class ProgramCase(unittest.TestCase):
    """A started copy of the program with settings of the test's own."""

    def setUp(self):
        self.installation = Installation()
        self.pop_port, self.smtp_port = free_port(), free_port()
        update_server.offer("3.6", "http://127.0.0.1/unused/setup.exe")

    def tearDown(self):
        # A test that failed half-way may leave the program running.
        if any(p.poll() is None for p in self.installation.processes):
            desktop.tries("close", OPTIONS, "42")
            wait_until(lambda: all(p.poll() is not None for p in self.installation.processes), 10)
        self.installation.close()

    def settings(self, **more):
        values = {"Address": "127.0.0.1", "Port": self.pop_port, "PortSmtp": self.smtp_port,
                  "Timeout": 10, "Delay": 0, "CheckOtherFolders": 1, "CheckBulkFolder": 0,
                  "CheckSentFolder": 1, "ExtraLogging": 1, "OperaCompat": 0,
                  "ProxyAddress": "proxy.example", "ProxyPort": 8080, "ProxyUsername": "carol",
                  "ProxyPassword": "s3cret", "ver-3.6": 1,
                  "UpdateServer": "127.0.0.1:%d" % update_server.port}
        values.update(more)
        return values

    def start_listening(self, *args):
        program = self.installation.start(*args)
        ports = (self.pop_port, self.smtp_port)
        self.assertTrue(wait_until(lambda: all(map(listening, ports)) or program.poll() is not None),
                        "nothing listens on %s: %s" % (ports, self.installation.log()))
        self.assertIsNone(program.poll())
        return program

    def exit_program(self, program):
        desktop.drive("command", OPTIONS, "40002")
        self.assertEqual(0, program.wait(30))

    def show_options(self):
        desktop.drive("command", OPTIONS, "40001", ";", "wait", OPTIONS, "10", "visible")

    def press(self, title, button):
        desktop.drive("command", title, str(button))


class OptionsAndLife(ProgramCase):
    def test_options_show_save_cancel_and_exit(self):
        imap_port = free_port()
        desktop.set_settings(self.settings(PortImap=imap_port))
        program = self.start_listening()
        self.assertTrue(greeting(self.smtp_port).startswith("220"))
        self.assertTrue(wait_until(lambda: greeting(imap_port)), self.installation.log())
        desktop.drive("wait", OPTIONS, "1", "hidden")
        self.assertIn("/mirelink/checkforupdate", update_server.asked)

        # The stored settings, with the folder boxes enabled by the other-folders box.
        self.show_options()
        desktop.screenshot("options-dialog", OPTIONS)
        shown = controls(OPTIONS)
        for ident, text in ((1000, "127.0.0.1"), (1003, str(self.pop_port)),
                            (1013, str(self.smtp_port)), (1029, str(imap_port)),
                            (1005, "10"), (1008, "0"),
                            (1017, "proxy.example"), (1019, "8080"), (1021, "carol")):
            self.assertEqual(text, shown[ident][2], ident)
        for ident, checked in ((1024, True), (1025, False), (1027, True), (1010, True),
                               (1026, False), (1009, False)):
            self.assertEqual(checked, shown[ident][1], ident)
        self.assertTrue(shown[1025][0] and shown[1027][0])
        desktop.drive("check", OPTIONS, "1024", "0")
        self.assertTrue(wait_until(lambda: not controls(OPTIONS)[1025][0], 5))
        self.assertFalse(controls(OPTIONS)[1027][0])
        desktop.drive("check", OPTIONS, "1024", "1")
        self.assertTrue(wait_until(lambda: controls(OPTIONS)[1025][0], 5))

        # Cancel throws the edits away.
        desktop.drive("set", OPTIONS, "1000", "10.9.9.9", ";", "set", OPTIONS, "1003", "1", ";",
                      "check", OPTIONS, "1010", "0")
        self.press(OPTIONS, 2)
        desktop.drive("wait", OPTIONS, "5", "hidden")
        self.show_options()
        shown = controls(OPTIONS)
        self.assertEqual(("127.0.0.1", str(self.pop_port), True),
                         (shown[1000][2], shown[1003][2], shown[1010][1]))

        # OK saves and the services listen again, POP3 on its new port; IMAP
        # port 0 switches IMAP off (and shows as an empty field).
        new_port = free_port()
        desktop.drive("set", OPTIONS, "1003", str(new_port), ";", "set", OPTIONS, "1029", "0")
        self.press(OPTIONS, 1)
        desktop.drive("wait", OPTIONS, "5", "hidden")
        self.assertTrue(wait_until(lambda: greeting(new_port)), self.installation.log())
        self.assertEqual(hex(new_port), registry_value("Port"))
        self.assertEqual("0x0", registry_value("PortImap"))
        self.assertTrue(wait_until(lambda: greeting(imap_port) is None), self.installation.log())
        for name, stored in (("Address", "127.0.0.1"), ("CheckSentFolder", "0x1"),
                             ("CheckBulkFolder", "0x0"), ("ProxyUsername", "carol")):
            self.assertEqual(stored, registry_value(name), name)
        self.assertTrue(registry_value("ProxyPassword").startswith(" ~ ~ "))
        self.assertIsNone(greeting(self.pop_port))
        self.assertTrue(greeting(self.smtp_port).startswith("220"))
        self.pop_port = new_port

        # The close box only hides; the services go on.
        self.show_options()
        self.assertEqual("", controls(OPTIONS)[1029][2])
        desktop.drive("closebox", OPTIONS, ";", "wait", OPTIONS, "5", "hidden")
        self.assertTrue(greeting(self.pop_port).startswith("+OK"))

        # A second copy leaves at once and changes nothing.
        self.assertEqual(0, self.installation.start().wait(30))
        self.assertIsNone(program.poll())

        # Exit stops both services and ends the program with 0.
        self.exit_program(program)
        self.assertIsNone(greeting(self.pop_port))
        self.assertIsNone(greeting(self.smtp_port))

    def test_start_with_windows_box_keeps_the_shortcut(self):
        desktop.set_settings(self.settings())
        startup = desktop.unix_path(desktop.drive("folder", "7").strip())
        link = os.path.join(startup, "Mirelink.lnk")
        program = self.start_listening()

        for wanted in (True, False):
            self.show_options()
            desktop.drive("check", OPTIONS, "1009", "1" if wanted else "0")
            self.press(OPTIONS, 1)
            desktop.drive("wait", OPTIONS, "5", "hidden")
            self.assertEqual(wanted, os.path.isfile(link))
            if wanted:
                with open(link, "rb") as f:
                    self.assertIn(b"mirelink.exe", f.read().lower())
                self.show_options()
                self.assertTrue(controls(OPTIONS)[1009][1])
                self.press(OPTIONS, 2)

        # A shortcut that cannot be written: the handler's failure is shown,
        # and the window and the services go on.
        os.mkdir(link)
        try:
            self.show_options()
            desktop.drive("check", OPTIONS, "1009", "1")
            self.press(OPTIONS, 1)
            desktop.drive("wait", "Message Error", "10", "visible")
            text = box_text("Message Error")
            self.assertTrue(text.startswith("VXG_DIALOG_DIALOGPROC_CATCH_VX: StartupShortcut::Set::"
                                            "CreateShortcut - Error creating shortcut - C:\\"), text)
            self.assertTrue(text.endswith("Mirelink.lnk - 273"), text)
            self.press("Message Error", 1)
            desktop.drive("wait", "Message Error", "5", "gone", ";", "wait", OPTIONS, "1", "visible")
            self.press(OPTIONS, 2)
            desktop.drive("wait", OPTIONS, "5", "hidden")
            self.assertTrue(greeting(self.pop_port).startswith("+OK"))
        finally:
            os.rmdir(link)
        self.exit_program(program)

    def test_log_commands_login_balloon_and_a_new_taskbar(self):
        # The web mail service is reached through a proxy that is not there.
        desktop.set_settings(self.settings(ExtraLogging=0, ProxyAddress="127.0.0.1",
                                           ProxyPort=free_port()))
        program = self.start_listening()
        log_file = os.path.join(self.installation.folder, "mirelink.log")
        with open(log_file, "ab") as f:
            f.write(b"2026-01-01 00:00:00\t-\tearlier line\r\n")

        # Clear Log asks; No keeps the file, Yes starts it anew.
        for answer, kept in ((7, True), (6, False)):
            desktop.drive("command", OPTIONS, "119", ";", "wait", "Clear log file", "10", "visible")
            self.assertEqual("Are you sure you wish to delete the current log file contents?",
                             box_text("Clear log file"))
            self.press("Clear log file", answer)
            desktop.drive("wait", "Clear log file", "5", "gone")
            self.assertEqual(kept, "earlier line" in self.installation.log())
        lines = self.installation.log().splitlines()
        self.assertEqual(1, len(lines))
        self.assertTrue(lines[0].endswith("\t-\tCleared - 3.6"), lines)

        # View Log opens the file in Notepad.
        desktop.drive("command", OPTIONS, "40007")
        self.assertTrue(wait_until(lambda: "mirelink.log" in visible_windows().lower(), 20),
                        visible_windows())

        # A failed web mail login, told from the session's thread, shows a balloon.
        client = poplib.POP3("127.0.0.1", self.pop_port, timeout=30)
        try:
            client.user("someone@hotmail.com")
            with self.assertRaises(poplib.error_proto):
                client.pass_("secret")
        finally:
            client.close()
        self.assertTrue(wait_until(lambda: "Error logging in to Hotmail - " in visible_windows(), 10),
                        visible_windows())

        # The taskbar came back (the shell restarted): the icon is added again.
        desktop.drive("untray", OPTIONS, TRAY_ID)
        self.assertEqual("absent", desktop.drive("tray", OPTIONS, TRAY_ID).strip())
        desktop.drive("post", OPTIONS, "TaskbarCreated", "0", "0")
        self.assertTrue(wait_until(
            lambda: desktop.drive("tray", OPTIONS, TRAY_ID).strip() == "present", 5))
        self.exit_program(program)

    def test_hidden_icon_and_machine_settings(self):
        # With /hklm the settings come from the machine's key: the ports there.
        desktop.set_settings(self.settings(Port=free_port()))
        desktop.set_settings(self.settings(), root="HKEY_LOCAL_MACHINE")
        try:
            program = self.start_listening("/hideicon", "/HKLM")
            self.assertEqual("absent", desktop.drive("tray", OPTIONS, TRAY_ID).strip())
            # Tray messages are not taken either.
            desktop.drive("post", OPTIONS, TRAY_CALLBACK, TRAY_ID, RIGHT_BUTTON_UP)
            self.assertFalse(desktop.tries("menu", "1"))
            self.exit_program(program)
        finally:
            wine("reg", "delete", r"HKEY_LOCAL_MACHINE\Software\Palisandre\Mirelink", "/f")


class FirstStart(ProgramCase):
    def test_first_start_shows_the_about_box_then_the_balloon(self):
        desktop.set_settings({"UpdateServer": "127.0.0.1:%d" % update_server.port})
        program = self.installation.start()
        desktop.drive("wait", ABOUT, "20", "visible")
        desktop.screenshot("about-box", ABOUT)
        self.assertEqual("present", desktop.drive("tray", OPTIONS, TRAY_ID).strip())
        # No tray menu while the About box is open.
        desktop.drive("post", OPTIONS, TRAY_CALLBACK, TRAY_ID, RIGHT_BUTTON_UP)
        self.assertFalse(desktop.tries("menu", "1"))
        self.press(ABOUT, 1)
        desktop.drive("wait", ABOUT, "5", "gone")
        self.assertTrue(wait_until(lambda: WELCOME in visible_windows(), 10), visible_windows())
        self.assertEqual("0x6e", registry_value("Port"))

        # The tray menu, with About as its bold default item.
        desktop.move_pointer(960, 700)
        desktop.drive("post", OPTIONS, TRAY_CALLBACK, TRAY_ID, RIGHT_BUTTON_UP, ";", "menu", "10")
        time.sleep(0.3)
        desktop.screenshot("tray-menu")
        desktop.drive("key", "[#32768]", "27")
        self.assertTrue(wait_until(lambda: not desktop.tries("menu", "0"), 5))

        # A double click runs the default item.
        desktop.drive("post", OPTIONS, TRAY_CALLBACK, TRAY_ID, LEFT_DOUBLE_CLICK, ";",
                      "wait", ABOUT, "10", "visible")
        self.press(ABOUT, 1)
        desktop.drive("wait", ABOUT, "5", "gone")
        self.exit_program(program)
        self.assertIn("Starting - 3.6", self.installation.log())

        # Later starts show neither.
        program = self.installation.start()
        desktop.drive("wait", OPTIONS, "20", "hidden")
        self.assertFalse(desktop.tries("wait", ABOUT, "2", "visible"))
        self.exit_program(program)


class UpdateCheck(ProgramCase):
    def start_with_offer(self, version, url):
        update_server.offer(version, url)
        desktop.set_settings(self.settings())
        return self.installation.start()

    def test_another_version_asks_and_failed_downloads_are_shown(self):
        base = "http://127.0.0.1:%d" % update_server.port
        cases = [
            # offered, URL, answer, box caption, box text
            ("3.5", base + "/files/setup.exe", 7, None, None),
            ("3.7", "setup.exe", 6, "Update failed (slash)",
             "There was an error downloading the update (slash)."),
            ("3.7", base + "/files/missing.exe", 6, "Update failed",
             r"There was an error downloading the update:\r\nUnexpected status code: 404"),
            # A cut installer is neither kept nor started (the text ends in its path).
            ("3.7", base + "/files/cut.exe", 6, "Update failed",
             r"There was an error downloading the update:\r\nThe update download ended early: "),
        ]
        update_server.answers["/files/cut.exe"] = (200, b"MZ" + b"x" * 1000, 100000)
        for version, url, answer, caption, text in cases:
            with self.subTest(version=version, url=url):
                program = self.start_with_offer(version, url)
                desktop.drive("wait", "Mirelink", "20", "visible")
                self.assertEqual("An updated program version is available.\\r\\n"
                                 "Would you like to download and install the update now?",
                                 box_text("Mirelink"))
                self.press("Mirelink", answer)
                if caption:
                    desktop.drive("wait", caption, "20", "visible")
                    if caption == "Update failed":  # over the progress dialog it belongs to
                        desktop.screenshot("update-failed")
                    if url.endswith("cut.exe"):
                        self.assertTrue(box_text(caption).startswith(text), box_text(caption))
                        self.assertTrue(box_text(caption).endswith("cut.exe"), box_text(caption))
                        folder = desktop.unix_path(desktop.drive("folder", "28").strip())
                        self.assertFalse(os.path.exists(
                            os.path.join(folder, "Quenvar Mirelink", "cut.exe")))
                    else:
                        self.assertEqual(text, box_text(caption))
                    self.press(caption, 1)
                # The program then starts as usual.
                self.assertTrue(wait_until(lambda: greeting(self.pop_port)), self.installation.log())
                self.exit_program(program)

    def test_downloaded_installer_is_started_and_the_program_ends(self):
        installer = b'@echo off\r\necho ran> "%~dp0ran.txt"\r\n'
        update_server.answers["/files/mirelink-setup.bat"] = (200, installer)
        program = self.start_with_offer(
            "3.7", "http://127.0.0.1:%d/files/mirelink-setup.bat" % update_server.port)
        desktop.drive("wait", "Mirelink", "20", "visible")
        self.press("Mirelink", 6)
        self.assertEqual(0, program.wait(30))
        self.assertIsNone(greeting(self.pop_port))
        folder = desktop.unix_path(desktop.drive("folder", "28").strip())
        saved = os.path.join(folder, "Quenvar Mirelink", "mirelink-setup.bat")
        with open(saved, "rb") as f:
            self.assertEqual(installer, f.read())
        self.assertTrue(wait_until(lambda: os.path.exists(os.path.join(os.path.dirname(saved),
                                                                       "ran.txt")), 20))
        shutil.rmtree(os.path.dirname(saved))


class Framework(unittest.TestCase):
    def test_dialog_framework_and_tray_icon(self):
        code, output = wine(os.environ.get("UI_FRAMEWORK_TEST", "ui_framework_test.exe"),
                                    timeout=120)
        self.assertEqual(0, code, output)


if __name__ == "__main__":
    unittest.main()
