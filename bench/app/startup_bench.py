"""Prints how long the mirelink program takes from its start until both of
its ports listen, and how much memory it then holds while it waits for mail
clients, with the local HTTPMail service behind it as its proxy.

Usage: startup_bench.py MIRELINK HTTPMAIL"""
import errno
import os
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = 7
IDLE_SECONDS = 0.5  # after listening, before the resident size is read

os.environ["HTTPMAIL_BIN"] = sys.argv[2]
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "e2e"))
from gateway_fixture import Service, free_port, reg_file  # noqa: E402


def taken(port):
    """True once a socket listens on the loopback port: a bind that allows
    reuse fails only then. Much quicker than reading the kernel's table, and
    it never gets in the way of the program's own bind."""
    with socket.socket() as probe:
        probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            probe.bind(("127.0.0.1", port))
        except OSError as error:
            if error.errno == errno.EADDRINUSE:
                return True
            raise
    return False


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS for %d" % pid)


def one_start(program, folder, ports):
    """Seconds from the start to both ports listening, and the idle VmRSS in KiB."""
    environment = dict(os.environ, XDG_CONFIG_HOME=os.path.join(folder, "config"),
                       XDG_RUNTIME_DIR=os.path.join(folder, "run"),
                       XDG_STATE_HOME=os.path.join(folder, "state"))
    started = time.perf_counter()
    process = subprocess.Popen([program], env=environment, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        while not all(taken(port) for port in ports):
            if process.poll() is not None or time.perf_counter() - started > 10:
                raise RuntimeError("the gateway did not listen on %s" % (ports,))
            time.sleep(0.0002)
        seconds = time.perf_counter() - started
        time.sleep(IDLE_SECONDS)
        return seconds, resident_kib(process.pid)
    finally:
        process.send_signal(signal.SIGTERM)
        process.wait(20)


def main():
    folder = tempfile.mkdtemp(prefix="mirelink-bench-")
    try:
        program = os.path.join(folder, "mirelink")  # its log goes beside it
        shutil.copy2(sys.argv[1], program)
        for sub in ("config/Palisandre", "run"):
            os.makedirs(os.path.join(folder, sub), mode=0o700)
        ports = free_port(), free_port()
        with Service() as service:
            with open(os.path.join(folder, "config/Palisandre/Mirelink.reg"), "w") as f:
                f.write(reg_file({"Address": "127.0.0.1", "Port": ports[0], "PortSmtp": ports[1],
                                  "ProxyAddress": "127.0.0.1", "ProxyPort": service.port}))
            # The first start writes the values the file lacks, as on a
            # user's first day; the figures are those of the starts after it.
            runs = [one_start(program, folder, ports) for _ in range(RUNS + 1)][1:]
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    start_ms = statistics.median(seconds for seconds, _ in runs) * 1000
    idle_mib = statistics.median(kib for _, kib in runs) / 1024
    print("start until both ports listen: %.1f ms (median of %d); idle resident memory: %.1f MiB"
          % (start_ms, RUNS, idle_mib))
    print("figure startup_ms %.6g" % start_ms)
    print("figure idle_rss_mib %.6g" % idle_mib)


if __name__ == "__main__":
    main()
