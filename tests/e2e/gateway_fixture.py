"""Runs the gateway program against the local HTTPMail service, which it
reaches through its proxy settings, as a user would run it."""
import os
import poplib
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from httpmail_fixture import ALICE, BOB, Service  # noqa: E402,F401

MIRELINK = os.environ.get("MIRELINK_BIN", "mirelink")


def free_port():
    """A loopback port that was free a moment ago."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def listening(port):
    """True when some socket listens on the loopback port (read from the
    kernel's table, so no connection is made that the gateway would log)."""
    with open("/proc/net/tcp") as table:
        for line in table.readlines()[1:]:
            fields = line.split()
            if fields[1] == "0100007F:%04X" % port and fields[3] == "0A":
                return True
    return False


def wait_until(condition, seconds=10):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.02)
    return True


def reg_file(values):
    lines = ["Windows Registry Editor Version 5.00", "",
             r"[HKEY_CURRENT_USER\Software\Palisandre\Mirelink]"]
    for name, value in values.items():
        if isinstance(value, bool):
            value = int(value)
        if isinstance(value, int):
            lines.append('"%s"=dword:%08x' % (name, value))
        else:
            lines.append('"%s"="%s"' % (name, value.replace("\\", "\\\\").replace('"', '\\"')))
    return "\r\n".join(lines) + "\r\n"


def private_environment(folder):
    """The program's environment with settings, runtime and state (the log)
    folders of its own below folder."""
    return dict(os.environ, XDG_CONFIG_HOME=os.path.join(folder, "config"),
                XDG_RUNTIME_DIR=os.path.join(folder, "run"),
                XDG_STATE_HOME=os.path.join(folder, "state"))


def log_path(folder):
    return os.path.join(folder, "state", "Palisandre", "mirelink.log")


class Gateway:
    """The mirelink program, copied into a folder of its own, with private
    settings, runtime and state folders (the log); use as a context manager."""

    STARTS = 5  # tries with fresh ports when one was taken meanwhile

    def __init__(self, service, **settings):
        self.values = {"Address": "127.0.0.1", "Timeout": 10, "Delay": 0,
                       "ProxyAddress": "127.0.0.1", "ProxyPort": service.port}
        self.values.update(settings)

    def __enter__(self):
        self.folder = tempfile.mkdtemp(prefix="mirelink-e2e-")
        try:
            self.program = os.path.join(self.folder, "mirelink")
            shutil.copy2(MIRELINK, self.program)
            for subfolder in ("config/Palisandre", "run"):
                os.makedirs(os.path.join(self.folder, subfolder), mode=0o700)
            for _ in range(self.STARTS):
                if self._start():
                    return self
                self._stop()
            raise RuntimeError("the gateway found no free ports: " + self.log())
        except BaseException:
            shutil.rmtree(self.folder, ignore_errors=True)
            raise

    def _start(self):
        self.port, self.smtp_port = free_port(), free_port()
        self.values.update(Port=self.port, PortSmtp=self.smtp_port)
        with open(os.path.join(self.folder, "config/Palisandre/Mirelink.reg"), "w") as f:
            f.write(reg_file(self.values))
        environment = private_environment(self.folder)
        self.errors = tempfile.TemporaryFile()
        self.process = subprocess.Popen([self.program], env=environment,
                                        stdout=self.errors, stderr=self.errors)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if listening(self.port) and listening(self.smtp_port):
                return True
            if self.process.poll() is not None or "DoWork::catch" in self.log():
                return False
            time.sleep(0.02)
        raise RuntimeError("the gateway did not listen: " + self.log())

    def _stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        code = self.process.wait(20)
        self.errors.seek(0)
        output = self.errors.read().decode(errors="replace")
        self.errors.close()
        return code, output

    def __exit__(self, *exc):
        try:
            code, output = self._stop()
            # Sanitizer builds report on standard error and may still end with 0.
            if exc[0] is None and (code != 0 or "Sanitizer" in output
                                   or "runtime error:" in output):
                raise AssertionError("the gateway ended with %d: %s" % (code, output))
        finally:
            shutil.rmtree(self.folder, ignore_errors=True)

    def log(self):
        try:
            with open(log_path(self.folder), "rb") as f:
                return f.read().decode("utf-8", errors="replace")
        except FileNotFoundError:
            return ""

    def wait_for_log(self, fragment, seconds=10):
        deadline = time.monotonic() + seconds
        while fragment not in self.log():
            if time.monotonic() > deadline:
                raise AssertionError("no %r in the log:\n%s" % (fragment, self.log()))
            time.sleep(0.02)

    def pop(self, user=None):
        """A poplib client, logged in when user (name, password) is given."""
        client = poplib.POP3("127.0.0.1", self.port, timeout=30)
        if user:
            client.user(user[0])
            client.pass_(user[1])
        return client


class Installation:
    """A copy of the program in a folder of its own, with private settings,
    runtime and state folders; several processes may run from it. Settings
    go to the user's file unless a test writes another."""

    def __init__(self, **settings):
        self.folder = tempfile.mkdtemp(prefix="mirelink-life-")
        self.program = os.path.join(self.folder, "mirelink")
        shutil.copy2(MIRELINK, self.program)
        self.settings_file = os.path.join(self.folder, "config/Palisandre/Mirelink.reg")
        self.log_file = log_path(self.folder)
        for sub in ("config/Palisandre", "run"):
            os.makedirs(os.path.join(self.folder, sub), mode=0o700)
        self.values = {"Address": "127.0.0.1", "Port": free_port(), "PortSmtp": free_port(),
                       "PortImap": 0, "Timeout": 10, "Delay": 0, "ProxyAddress": "127.0.0.1",
                       "ProxyPort": 9, "ver-3.6": 1}
        self.write_settings(**settings)
        self.processes = []

    def write_settings(self, **settings):
        self.values.update(settings)
        self.write_raw(reg_file(self.values))

    def write_raw(self, text, path=None):
        with open(path or self.settings_file, "wb") as f:
            f.write(text.encode("utf-8") if isinstance(text, str) else text)

    def settings(self):
        with open(self.settings_file, encoding="utf-8", newline="") as f:
            return f.read()

    def environment(self, **extra):
        return dict(private_environment(self.folder), **extra)

    def start(self, *args, env=None, **popen):
        # A session of its own: without a controlling terminal a hang-up asks
        # for a reload, wherever the tests run.
        popen.setdefault("start_new_session", True)
        process = subprocess.Popen([self.program, *args], env=env or self.environment(),
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, **popen)
        self.processes.append(process)
        return process

    def run(self, *args, env=None):
        """Runs a short command: (exit code, standard output, standard error)."""
        done = subprocess.run([self.program, *args], env=env or self.environment(),
                              capture_output=True, timeout=30)
        return done.returncode, done.stdout.decode(), done.stderr.decode()

    def start_listening(self, *args):
        process = self.start(*args)
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
            with open(self.log_file, "rb") as f:
                return f.read().decode("utf-8", errors="replace")
        except (FileNotFoundError, IsADirectoryError):
            return ""

    def log_texts(self):
        """The log's lines without their time stamps."""
        return [line.split("\t-\t", 1)[-1] for line in self.log().split("\n") if line]

    def stop(self, process, seconds=20):
        """Sends SIGTERM: (exit code, standard output, standard error)."""
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
        out, err = process.communicate(timeout=seconds)
        return process.returncode, out.decode(errors="replace"), err.decode(errors="replace")

    def close(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
            process.communicate()
        shutil.rmtree(self.folder, ignore_errors=True)
