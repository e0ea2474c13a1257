"""mirelink.exe under Wine, as a Windows user runs it: a copy in a folder of
its own (its log lives beside it), its settings in the Wine registry. The Wine
prefix is the caller's (WINEPREFIX). Wine's output always goes to files: its
background processes would keep a pipe open."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from gateway_fixture import ALICE, BOB, Service, free_port, listening, reg_file  # noqa: E402,F401

PROGRAM = os.environ.get("MIRELINK_EXE", "mirelink.exe")
LINUX_PROGRAM = os.environ.get("MIRELINK_BIN", "mirelink")
KEY = r"HKEY_CURRENT_USER\Software\Palisandre\Mirelink"


def wait_until(condition, seconds=20):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def windows_path(path):
    """The path as Windows programs see it (Wine maps drive Z: to /)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# What Wine says when it could not launch the program at all: on a loaded
# machine its start-up sometimes fails so while other Wine processes start in
# the same prefix. The program then never ran, so starting it again is safe.
LAUNCH_FAILED = ("Application could not be started", "ShellExecuteEx failed")


def wine(*args, timeout=60):
    """Runs a Wine command to its end; returns (exit code, output)."""
    for attempt in range(3):
        with tempfile.TemporaryFile() as output:
            code = subprocess.run(["wine", *args], stdout=output, stderr=output,
                                  timeout=timeout).returncode
            output.seek(0)
            text = output.read().decode(errors="replace")
        if code == 0 or not any(words in text for words in LAUNCH_FAILED):
            break
        time.sleep(1 + attempt)
    return code, text


def set_registry(values):
    """Replaces the program's key with values, one `wine reg add` each."""
    wine("reg", "delete", KEY, "/f")
    for name, value in values.items():
        kind = "REG_DWORD" if isinstance(value, int) else "REG_SZ"
        code, output = wine("reg", "add", KEY, "/v", name, "/t", kind, "/d", str(int(value)
                            if kind == "REG_DWORD" else value), "/f")
        if code != 0:
            raise RuntimeError("wine reg add %s: %s" % (name, output))


def registry_value(name):
    """The value's text as `wine reg query` shows it, or None."""
    code, output = wine("reg", "query", KEY, "/v", name)
    if code != 0:
        return None
    # "    <name>    <type>    <text>", the text as stored (leading blanks too)
    for line in output.splitlines():
        fields = line.split("    ", 3)
        if len(fields) == 4 and fields[1] == name:
            return fields[3]
    return None


class LinuxProgram:
    """The Linux program with its settings file in folder/config; use as a
    context manager, which starts it and, at the end, stops it."""

    def __init__(self, folder):
        self.config = os.path.join(folder, "config")
        self.run = os.path.join(folder, "run")
        self.state = os.path.join(folder, "state")
        self.store = os.path.join(self.config, "Palisandre", "Mirelink.reg")
        os.makedirs(os.path.dirname(self.store), exist_ok=True)
        os.makedirs(self.run, exist_ok=True)

    def __enter__(self):
        environment = dict(os.environ, XDG_CONFIG_HOME=self.config, XDG_RUNTIME_DIR=self.run,
                           XDG_STATE_HOME=self.state)
        self.output = tempfile.TemporaryFile()
        self.process = subprocess.Popen([LINUX_PROGRAM], env=environment, stdout=self.output,
                                        stderr=self.output)
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        code = self.process.wait(30)
        self.output.seek(0)
        output = self.output.read().decode(errors="replace")
        self.output.close()
        if exc[0] is None and code != 0:
            raise AssertionError("the Linux program ended with %d: %s" % (code, output))


def close_program():
    """Sends the close request to the windows of the running mirelink.exe."""
    wine("taskkill", "/im", "mirelink.exe")


class Installation:
    """A folder holding a copy of mirelink.exe; several processes may run from it."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="mirelink-wine-")
        self.program = os.path.join(self.folder, "mirelink.exe")
        shutil.copy2(PROGRAM, self.program)
        self.processes = []

    def start(self, *args):
        output = tempfile.TemporaryFile()
        process = subprocess.Popen(["wine", self.program, *args], stdout=output, stderr=output)
        process.output = output
        self.processes.append(process)
        return process

    def start_listening(self, *ports):
        process = self.start()
        if not wait_until(lambda: all(listening(p) for p in ports) or process.poll() is not None):
            raise AssertionError("nothing listens on %s: %s" % (ports, self.log()))
        if process.poll() is not None:
            raise AssertionError("the program ended with %d: %s%s"
                                 % (process.returncode, self.output(process), self.log()))
        return process

    @staticmethod
    def output(process):
        process.output.seek(0)
        return process.output.read().decode(errors="replace")

    def stop(self, process, seconds=30):
        """Asks the program to close (its hidden window takes that as Exit);
        returns (exit code, output). With no X display, test-windows.sh has
        set Wine's null graphics driver, on which its windows are unseen."""
        if process.poll() is None:
            close_program()
        return process.wait(seconds), self.output(process)

    def log_bytes(self):
        try:
            with open(os.path.join(self.folder, "mirelink.log"), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return b""

    def log(self):
        return self.log_bytes().decode("utf-8", errors="replace")

    def other_processes(self):
        """Unix ids of the processes running this copy of the program that
        were not started here (a copy started by /detach)."""
        mine = {p.pid for p in self.processes}
        found = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    command = f.read().decode(errors="replace")
            except OSError:
                continue
            if self.folder in command.replace("\\", "/") and int(pid) not in mine:
                found.append(int(pid))
        return found

    def close(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
            process.output.close()
        shutil.rmtree(self.folder, ignore_errors=True)
