"""Figures of the mirelink program against the local HTTPMail service, as a
user runs them:

- the memory that 1,000 idle POP3 sessions (logged in) and 1,000 idle IMAP
  sessions (INBOX selected) add to the gateway;
- the bytes the gateway sends to the service for a 20 MB submission with a
  Digest account, over the message's size;
- the requests a POP3 session (log in, list, fetch 100 messages, delete 10)
  and an IMAP session (SELECT of 1,000 messages, FETCH of 20 bodies) make,
  counted from the service's request log, and their wall time when the
  service holds every answer 50 ms, over the requests times 50 ms;
- the same POP3 session against a service that takes every nonce once.

Usage: session_bench.py MIRELINK HTTPMAIL"""
import base64
import os
import re
import resource
import socket
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor

os.environ["MIRELINK_BIN"] = sys.argv[1]
os.environ["HTTPMAIL_BIN"] = sys.argv[2]
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "e2e"))
from gateway_fixture import ALICE, Gateway, Service, free_port, listening, wait_until  # noqa: E402

SESSIONS = 1000
AT_ONCE = 10  # logins under way at a time, so the figure is the idle sessions'
LATENCY_MS = 50
LATENCY_RUNS = 3
SUBMISSION = 20 * 1000 * 1000


class Gateways(Gateway):
    """The program with POP3, SMTP and IMAP on ports of their own."""

    def __init__(self, service, **settings):
        self.imap_port = free_port()
        super().__init__(service, PortImap=self.imap_port, **settings)

    def __enter__(self):
        super().__enter__()
        if not wait_until(lambda: listening(self.imap_port)):
            raise RuntimeError("no IMAP listener: " + self.log())
        return self


class Line:
    """A raw line client."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=60)
        self.file = self.sock.makefile("rb")

    def line(self):
        text = self.file.readline()
        if not text:
            raise RuntimeError("the gateway closed the connection")
        return text

    def say(self, text):
        self.sock.sendall(text.encode() + b"\r\n")

    def command(self, text, ok=b"+OK"):
        self.say(text)
        answer = self.line()
        if not answer.startswith(ok):
            raise RuntimeError("%s: %r" % (text.split()[0], answer))
        return answer

    def until(self, prefix):
        while True:
            text = self.line()
            if text.startswith(prefix):
                return text

    def multiline(self):
        size = 0
        while True:
            text = self.line()
            if text == b".\r\n":
                return size
            size += len(text)

    def close(self):
        self.file.close()
        self.sock.close()


def pop_login(port):
    client = Line(port)
    client.line()
    client.command("USER " + ALICE[0])
    client.command("PASS " + ALICE[1])
    return client


def imap_select(port):
    client = Line(port)
    client.line()
    client.say("a LOGIN %s %s" % ALICE)
    if not client.until(b"a ").startswith(b"a OK"):
        raise RuntimeError("IMAP LOGIN refused")
    client.say("b SELECT INBOX")
    if not client.until(b"b ").startswith(b"b OK"):
        raise RuntimeError("IMAP SELECT refused")
    return client


def status_kib(pid, field):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError("no %s for %d" % (field, pid))


def idle_memory_mib(open_session, port_of):
    """MiB that SESSIONS idle sessions add at their peak: the gateway's
    highest resident size with all of them open, over its size after one
    session came and went."""
    with Service("--max-connections", str(2 * SESSIONS)) as service, \
            Gateways(service) as gateway:
        pid = gateway.process.pid
        open_session(port_of(gateway)).close()
        time.sleep(0.3)
        before = status_kib(pid, "VmRSS")
        with open("/proc/%d/clear_refs" % pid, "w") as clear:
            clear.write("5")  # the peak starts from here
        with ThreadPoolExecutor(AT_ONCE) as pool:
            clients = list(pool.map(lambda _: open_session(port_of(gateway)), range(SESSIONS)))
        time.sleep(0.5)
        peak = status_kib(pid, "VmHWM")
        idle = status_kib(pid, "VmRSS")
        for client in clients:
            client.close()
    return (peak - before) / 1024, (idle - before) / 1024


class Relay:
    """A TCP relay from the gateway to the service that counts the bytes the
    gateway sends."""

    def __init__(self, target):
        self.target = target
        self.sent = 0
        self.lock = threading.Lock()
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            try:
                inner, _ = self.listener.accept()
            except OSError:
                return
            outer = socket.create_connection(("127.0.0.1", self.target))
            threading.Thread(target=self.pipe, args=(inner, outer, True), daemon=True).start()
            threading.Thread(target=self.pipe, args=(outer, inner, False), daemon=True).start()

    def pipe(self, source, sink, counted):
        try:
            while True:
                data = source.recv(1 << 16)
                if not data:
                    break
                if counted:
                    with self.lock:
                        self.sent += len(data)
                sink.sendall(data)
        except OSError:
            pass
        finally:
            for end in (source, sink):
                try:
                    end.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

    def close(self):
        self.listener.close()


def submission_ratio():
    """Bytes the gateway sends to the service for one SMTP session that
    submits a SUBMISSION-byte message as the Digest account, over the size."""
    line = b"a line of text to make up the size of a large message, nearly 64 bytes\r\n"
    text = b"Subject: large\r\n\r\n" + line * ((SUBMISSION - 20) // len(line))
    text += b"x" * (SUBMISSION - len(text) - 2) + b"\r\n"
    with Service() as service:
        relay = Relay(service.port)
        try:
            with Gateways(service, ProxyPort=relay.port) as gateway:
                client = Line(gateway.smtp_port)
                client.line()
                client.say("EHLO bench")
                client.until(b"250 ")
                plain = base64.b64encode(("\0%s\0%s" % ALICE).encode()).decode()
                client.command("AUTH PLAIN " + plain, b"235")
                client.command("MAIL FROM:<alice@hotmail.com>", b"250")
                client.command("RCPT TO:<bob@msn.com>", b"250")
                client.command("DATA", b"354")
                client.sock.sendall(text + b".\r\n")
                if not client.line().startswith(b"250"):
                    raise RuntimeError("the submission was refused")
                client.command("QUIT", b"221")
                client.close()
                time.sleep(0.2)
        finally:
            relay.close()
    return relay.sent / SUBMISSION, relay.sent


REQUEST = re.compile(r"^mirelink-httpmail: (\S+) (\S+) -> (\d+)", re.M)


def requests_since(service, mark):
    """(requests, challenges) in the service's log after mark characters."""
    lines = REQUEST.findall(service.stderr()[mark:])
    return len(lines), sum(1 for _, _, status in lines if status == "401")


def pop_session(port):
    client = pop_login(port)
    client.say("LIST")
    client.line()
    client.multiline()
    for number in range(1, 101):
        client.command("RETR %d" % number)
        client.multiline()
    for number in range(1, 11):
        client.command("DELE %d" % number)
    client.command("QUIT")
    client.close()


def imap_session(port):
    client = imap_select(port)
    client.say("c FETCH 1:20 BODY.PEEK[]")
    if not client.until(b"c ").startswith(b"c OK"):
        raise RuntimeError("IMAP FETCH refused")
    client.say("d LOGOUT")
    client.until(b"d ")
    client.close()


def timed_session(run, port_of, *service_args):
    """Seconds, requests and challenges of one session."""
    with Service(*service_args) as service, Gateways(service) as gateway:
        mark = len(service.stderr())
        started = time.perf_counter()
        run(port_of(gateway))
        seconds = time.perf_counter() - started
        time.sleep(0.2)
        requests, challenges = requests_since(service, mark)
    return seconds, requests, challenges


def main():
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, 8192)), hard))

    pop_peak, pop_idle = idle_memory_mib(pop_login, lambda g: g.port)
    print("1,000 idle POP3 sessions: peak %.1f MiB added, %.1f MiB while idle"
          % (pop_peak, pop_idle))
    print("figure idle_pop3_peak_mib %.6g" % pop_peak)
    imap_peak, imap_idle = idle_memory_mib(imap_select, lambda g: g.imap_port)
    print("1,000 idle IMAP sessions: peak %.1f MiB added, %.1f MiB while idle"
          % (imap_peak, imap_idle))
    print("figure idle_imap_peak_mib %.6g" % imap_peak)

    ratio, sent = submission_ratio()
    print("20 MB submission, Digest: %d bytes sent to the service, %.4f x the message"
          % (sent, ratio))
    print("figure submission_wire_bytes %d" % sent)
    print("figure submission_bytes %d" % SUBMISSION)

    fill = ("--fill", "1000x2000")
    for name, run, port_of in (("pop3", pop_session, lambda g: g.port),
                               ("imap", imap_session, lambda g: g.imap_port)):
        seconds, requests, challenges = timed_session(run, port_of, *fill)
        print("%s session: %d requests, %d challenges, %.0f ms" % (name, requests, challenges,
                                                                 seconds * 1000))
        print("figure %s_requests %d" % (name, requests - challenges))
        print("figure %s_challenges %d" % (name, challenges))
        # Best of a few: the machine's other work only ever adds time.
        seconds, requests, challenges = min(
            timed_session(run, port_of, "--latency", str(LATENCY_MS), *fill)
            for _ in range(LATENCY_RUNS))
        floor = requests * LATENCY_MS / 1000
        print("%s session, answers held %d ms: %d requests, %.0f ms, %.3f x the held time"
              % (name, LATENCY_MS, requests, seconds * 1000, seconds / floor))
        print("figure %s_latency_ms %.6g" % (name, seconds * 1000))
        print("figure %s_held_ms %.6g" % (name, floor * 1000))
    seconds, requests, challenges = timed_session(pop_session, lambda g: g.port,
                                                  "--fresh-nonce", *fill)
    print("pop3 session, every nonce once: %d requests, %d challenges" % (requests, challenges))
    print("figure pop3_fresh_requests %d" % (requests - challenges))
    print("figure pop3_fresh_challenges %d" % challenges)


if __name__ == "__main__":
    main()
