"""A Wine desktop for the UI tests: a Wine prefix of its own on a virtual X
display of its own, with Wine's desktop shell (title bars, taskbar and the
notification area), and mirelink.exe driven by ui_driver.exe. The helpers of
the Windows end-to-end tests (tests/windows) work in it: the desktop puts its
prefix and display into this process's environment."""
import http.server
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "windows"))
from wine_program import (Installation, free_port, listening, reg_file,  # noqa: E402,F401
                          registry_value, wait_until, wine)

DRIVER = os.environ.get("UI_DRIVER", "ui_driver.exe")
SCREENSHOTS = os.environ.get("UI_SCREENSHOTS", "")
KEY = r"Software\Palisandre\Mirelink"
DRIVER_FAILED = 2  # the driver's own exit code when a command fails


def greeting(port):
    """The POP3 or SMTP greeting on the port, or None when nothing answers."""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            s.settimeout(5)
            return s.recv(200).decode(errors="replace")
    except OSError:
        return None


class Desktop:
    """One Xvfb and one Wine prefix for a whole test run."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="mirelink-ui-")
        self.xvfb = self._start_xvfb()
        os.environ.update(WINEPREFIX=os.path.join(self.root, "prefix"), WINEDEBUG="-all",
                          WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY=self.display)
        code, output = wine("wineboot", "-i", timeout=180)
        if code != 0:
            raise RuntimeError("wineboot: " + output)
        # Wine's desktop shell: title bars, a taskbar and the notification area.
        self.import_reg("\r\n".join([
            "Windows Registry Editor Version 5.00", "",
            r"[HKEY_CURRENT_USER\Software\Wine\Explorer]", '"Desktop"="shell"', "",
            r"[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]", '"shell"="1024x768"', "", ""]))

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        self.xvfb_log = open(os.path.join(self.root, "xvfb.log"), "wb")
        process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=self.xvfb_log, stderr=self.xvfb_log)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            piece = os.read(read_end, 16)
            if not piece:
                raise RuntimeError("Xvfb did not start")
            number += piece
        os.close(read_end)
        self.display = ":" + number.decode().strip()
        return process

    def close(self):
        subprocess.run(["wineserver", "-k"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.xvfb.send_signal(signal.SIGTERM)
        self.xvfb.wait(10)
        self.xvfb_log.close()
        shutil.rmtree(self.root, ignore_errors=True)

    def drive(self, *args):
        """Runs ui_driver.exe; returns its output, raises when it fails."""
        code, output = self._driver(args)
        if code != 0:
            raise AssertionError("ui_driver %s: exit %d: %s" % (" ".join(args), code, output.strip()))
        return output.replace("\r\n", "\n")

    def tries(self, *args):
        """Runs ui_driver.exe; True when it worked."""
        return self._driver(args)[0] == 0

    def _driver(self, args):
        # The driver names each failure of its own on stderr and ends with
        # DRIVER_FAILED. A failure without a word is Wine's: on a loaded machine
        # a start now and then ends before the driver ran, so even a command
        # that acts (a posted click) is safe to run again then.
        for attempt in range(3):
            code, output = wine(DRIVER, *args)
            if code == 0 or code == DRIVER_FAILED or output.strip():
                break
            time.sleep(0.5 + attempt)
        return code, output

    def import_reg(self, text):
        path = os.path.join(self.root, "settings.reg")
        with open(path, "wb") as f:
            f.write(b"\xff\xfe" + text.encode("utf-16-le"))
        code, output = wine("reg", "import", path)
        if code != 0:
            raise RuntimeError("reg import: " + output)

    def set_settings(self, values, root="HKEY_CURRENT_USER"):
        """Replaces the program's key below root with values."""
        wine("reg", "delete", root + "\\" + KEY, "/f")
        self.import_reg(reg_file(values).replace("HKEY_CURRENT_USER", root, 1))

    def unix_path(self, windows_path):
        """A path on drive C: of the prefix as Linux sees it."""
        assert windows_path[:3].upper() == "C:\\", windows_path
        return os.path.join(os.environ["WINEPREFIX"], "drive_c", *windows_path[3:].split("\\"))

    def move_pointer(self, x, y):
        subprocess.run(["xdotool", "mousemove", str(x), str(y)], check=True)

    def screenshot(self, name, title=None):
        """Keeps the screen, or one window of it, as <name>.png for the reader
        of the test run (not compared with anything)."""
        if not SCREENSHOTS:
            return
        os.makedirs(SCREENSHOTS, exist_ok=True)
        target = os.path.join(SCREENSHOTS, name + ".png")
        command = ["import", "-window", "root"]
        if title is not None:
            left, top, right, bottom = map(int, self.drive("rect", title).split())
            command += ["-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage"]
        subprocess.run(command + [target], check=True)


class UpdateServer:
    """The maker's web server as the update check meets it: answers set per
    path, and the paths it was asked for."""

    def __init__(self):
        self.answers = {}
        self.asked = []
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                server.asked.append(self.path)
                # (status, body) or (status, body, the Content-Length to claim)
                status, body, *length = server.answers.get(self.path, (404, b"not here"))
                self.send_response(status)
                self.send_header("Content-Length", str(length[0] if length else len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def offer(self, version, url):
        self.answers["/mirelink/checkforupdate"] = (200, ("%s\r\n%s\r\n" % (version, url)).encode())

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()
