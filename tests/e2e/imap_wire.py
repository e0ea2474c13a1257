"""A plain IMAP conversation on a socket, and the reading of what a server
answers into Python values, so that two servers' answers can be compared
by what they say rather than how they spell it (a quoted string or a
literal, letter case of NIL)."""
import re
import socket


class Nil:
    def __repr__(self):
        return "NIL"

    def __eq__(self, other):
        return isinstance(other, Nil)

    def __hash__(self):
        return 0


NIL = Nil()


def parse(data, at=0):
    """The values of data from at on: lists, bytes for strings, ints for
    numbers, NIL, and str for atoms. Returns (values, position)."""
    values = []
    while at < len(data):
        c = data[at:at + 1]
        if c in (b" ", b"\r", b"\n"):
            at += 1
        elif c == b"(":
            inner, at = parse(data, at + 1)
            values.append(inner)
        elif c == b")":
            return values, at + 1
        elif c == b'"':
            out = bytearray()
            at += 1
            while data[at:at + 1] != b'"':
                if data[at:at + 1] == b"\\":
                    at += 1
                out += data[at:at + 1]
                at += 1
            values.append(bytes(out))
            at += 1
        elif c == b"{":
            end = data.index(b"}", at)
            size = int(data[at + 1:end].rstrip(b"+"))
            start = data.index(b"\n", end) + 1
            values.append(data[start:start + size])
            at = start + size
        else:
            start = at
            while at < len(data) and data[at:at + 1] not in b" ()\r\n":
                # A section's brackets may hold blanks and parentheses.
                at = data.index(b"]", at) + 1 if data[at:at + 1] == b"[" else at + 1
            atom = data[start:at]
            if atom.upper() == b"NIL":
                values.append(NIL)
            elif atom.isdigit():
                values.append(int(atom))
            else:
                values.append(atom.decode("latin-1"))
    return values, at


class Connection:
    """One IMAP connection: commands go out as lines, answers come back
    whole (literals included) until the tagged reply."""

    def __init__(self, port, timeout=30):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
        self.buffer = b""
        self.tag = 0
        self.greeting = self._line()

    def close(self):
        self.sock.close()

    def _fill(self):
        data = self.sock.recv(65536)
        if not data:
            raise ConnectionError("the server closed the connection")
        self.buffer += data

    def _line(self):
        """One response line with the literals it announces."""
        out = b""
        while True:
            while b"\r\n" not in self.buffer:
                self._fill()
            line, self.buffer = self.buffer.split(b"\r\n", 1)
            out += line + b"\r\n"
            literal = re.search(rb"\{(\d+)\}$", line)
            if not literal:
                return out
            size = int(literal.group(1))
            while len(self.buffer) < size:
                self._fill()
            out += self.buffer[:size]
            self.buffer = self.buffer[size:]

    def command(self, text):
        """Sends one command; returns (untagged lines, tagged status line)."""
        self.tag += 1
        tag = b"c%d" % self.tag
        self.sock.sendall(tag + b" " + text + b"\r\n")
        untagged = []
        while True:
            line = self._line()
            if line.startswith(tag + b" "):
                return untagged, line[len(tag) + 1:].rstrip()
            untagged.append(line)

    def ok(self, text):
        untagged, status = self.command(text)
        if not status.upper().startswith(b"OK"):
            raise AssertionError("%r: %r" % (text, status))
        return untagged

    def fetch(self, sequence, items):
        """{item name: value} of each message, by sequence number."""
        out = {}
        for line in self.ok(b"FETCH %s (%s)" % (sequence, items)):
            values, _ = parse(line)
            if len(values) >= 4 and values[2] == "FETCH":
                pairs = values[3]
                attributes = out.setdefault(values[1], {})
                for i in range(0, len(pairs) - 1, 2):
                    attributes[pairs[i].upper()] = pairs[i + 1]
        return out
