"""A Wine desktop for the UI tests: a Wine prefix of its own on a virtual X
display of its own, with Wine's desktop shell (title bars, taskbar and the
notification area), and mirelink.exe driven by ui_driver.exe. Wine's output
always goes to files: its background processes would keep a pipe open."""
import http.server
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time

PROGRAM = os.environ.get("MIRELINK_EXE", "mirelink.exe")
DRIVER = os.environ.get("UI_DRIVER", "ui_driver.exe")
SCREENSHOTS = os.environ.get("UI_SCREENSHOTS", "")
KEY = r"Software\Palisandre\Mirelink"


def wait_until(condition, seconds=20):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def greeting(port):
    """The POP3 or SMTP greeting on the port, or None when nothing answers."""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            s.settimeout(5)
            return s.recv(200).decode(errors="replace")
    except OSError:
        return None


def reg_file(root, values):
    """A registry editor file that sets values (int: dword, str: text)."""
    lines = ["Windows Registry Editor Version 5.00", "", "[%s\\%s]" % (root, KEY)]
    for name, value in values.items():
        if isinstance(value, int):
            lines.append('"%s"=dword:%08x' % (name, value))
        else:
            lines.append('"%s"="%s"' % (name, value.replace("\\", "\\\\").replace('"', '\\"')))
    return "\r\n".join(lines + ["", ""])


class Desktop:
    """One Xvfb and one Wine prefix for a whole test run."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="mirelink-ui-")
        self.xvfb = self._start_xvfb()
        self.env = dict(os.environ, WINEPREFIX=os.path.join(self.root, "prefix"), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY=self.display)
        code, output = self.wine("wineboot", "-i", timeout=180)
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
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        self.xvfb.send_signal(signal.SIGTERM)
        self.xvfb.wait(10)
        self.xvfb_log.close()
        shutil.rmtree(self.root, ignore_errors=True)

    def wine(self, *args, timeout=60):
        """Runs a Wine command to its end; returns (exit code, output)."""
        with tempfile.TemporaryFile() as output:
            code = subprocess.run(["wine", *args], env=self.env, stdout=output, stderr=output,
                                  timeout=timeout).returncode
            output.seek(0)
            return code, output.read().decode(errors="replace")

    def drive(self, *args):
        """Runs ui_driver.exe; returns its output, raises when it fails."""
        code, output = self.wine(DRIVER, *args)
        if code != 0:
            raise AssertionError("ui_driver %s: %s" % (" ".join(args), output.strip()))
        return output.replace("\r\n", "\n")

    def tries(self, *args):
        """Runs ui_driver.exe; True when it worked."""
        return self.wine(DRIVER, *args)[0] == 0

    def import_reg(self, text):
        path = os.path.join(self.root, "settings.reg")
        with open(path, "wb") as f:
            f.write(b"\xff\xfe" + text.encode("utf-16-le"))
        code, output = self.wine("reg", "import", path)
        if code != 0:
            raise RuntimeError("reg import: " + output)

    def set_settings(self, values, root="HKEY_CURRENT_USER"):
        """Replaces the program's key below root with values."""
        self.wine("reg", "delete", root + "\\" + KEY, "/f")
        self.import_reg(reg_file(root, values))

    def setting(self, name):
        """The value as `reg query` shows its data ("0x6e", "text"), or None."""
        code, output = self.wine("reg", "query", "HKEY_CURRENT_USER\\" + KEY, "/v", name)
        if code != 0:
            return None
        for line in output.splitlines():
            fields = line.split("    ", 3)
            if len(fields) == 4 and fields[1] == name:
                return fields[3]
        return None

    def unix_path(self, windows_path):
        """A path on drive C: of the prefix as Linux sees it."""
        assert windows_path[:3].upper() == "C:\\", windows_path
        return os.path.join(self.env["WINEPREFIX"], "drive_c", *windows_path[3:].split("\\"))

    def move_pointer(self, x, y):
        subprocess.run(["xdotool", "mousemove", str(x), str(y)], env=self.env, check=True)

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
        subprocess.run(command + [target], env=self.env, check=True)


class Installation:
    """A copy of mirelink.exe in a folder of its own (its log lives beside it)."""

    def __init__(self, desktop):
        self.desktop = desktop
        self.folder = tempfile.mkdtemp(prefix="program-", dir=desktop.root)
        self.program = os.path.join(self.folder, "mirelink.exe")
        shutil.copy2(PROGRAM, self.program)
        self.processes = []

    def start(self, *args):
        output = open(os.path.join(self.folder, "output-%d.txt" % len(self.processes)), "wb")
        process = subprocess.Popen(["wine", self.program, *args], env=self.desktop.env,
                                   stdout=output, stderr=output)
        process.output = output
        self.processes.append(process)
        return process

    def log(self):
        try:
            with open(os.path.join(self.folder, "mirelink.log"), "rb") as f:
                return f.read().decode(errors="replace")
        except FileNotFoundError:
            return ""

    def close(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
            process.output.close()


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
                status, body = server.answers.get(self.path, (404, b"not here"))
                self.send_response(status)
                self.send_header("Content-Length", str(len(body)))
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
