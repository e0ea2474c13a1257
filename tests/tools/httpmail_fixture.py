"""Starts the local HTTPMail service on a free loopback port and talks to it."""
import base64
import http.client
import os
import signal
import socket
import subprocess
import tempfile
import xml.etree.ElementTree as ET

BINARY = os.environ.get("HTTPMAIL_BIN", "mirelink-httpmail")
GATEWAY = "http://services.msn.com/svcs/hotmail/httpmail.asp"
MSN_DATA = "http://oe.msn.msnmail.hotmail.com/cgi-bin/hmdata"
NS = {"D": "DAV:", "hm": "urn:schemas:httpmail:", "m": "urn:schemas:mailheader:"}
ALICE = ("alice", "wonderland")  # Digest
BOB = ("bob@msn.com", "builder")  # Basic


class Service:
    """One running service; use as a context manager."""

    def __init__(self, *args):
        self.args = list(args)
        self.log = tempfile.TemporaryFile()

    def __enter__(self):
        self.process = subprocess.Popen([BINARY, "--port", "0", "--verbose", *self.args],
                                        stdout=subprocess.PIPE, stderr=self.log)
        line = self.process.stdout.readline()
        if not line.strip().isdigit():
            self.process.wait(10)
            raise RuntimeError("service did not start: " + self.stderr())
        self.port = int(line)
        return self

    def __exit__(self, *exc):
        self.process.send_signal(signal.SIGTERM)
        code = self.process.wait(10)
        self.process.stdout.close()
        output = self.stderr()
        self.log.close()
        # Sanitizer builds report on standard error and may still end with 0.
        if exc[0] is None and (code != 0 or "Sanitizer" in output or "runtime error:" in output):
            raise AssertionError("service ended with %d: %s" % (code, output))

    def stderr(self):
        self.log.seek(0)
        return self.log.read().decode(errors="replace")

    def connect(self):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)

    def request(self, method, url, auth=None, headers=None, body=None, conn=None):
        """One request with http.client; Basic credentials when `auth` is given.
        Absolute URLs are sent as to a proxy. Returns (status, headers, body)."""
        headers = dict(headers or {})
        if auth:
            token = base64.b64encode(("%s:%s" % auth).encode()).decode()
            headers["Authorization"] = "Basic " + token
        own = conn is None
        conn = conn or self.connect()
        try:
            conn.request(method, url, body=body, headers=headers)
            response = conn.getresponse()
            return response.status, response.headers, response.read()
        finally:
            if own:
                conn.close()

    def curl(self, method, url, user, *extra, body=None):
        """One request with curl --digest through the service as proxy.
        Returns (final status, body)."""
        with tempfile.NamedTemporaryFile() as out:
            command = ["curl", "-s", "-X", method, "--digest", "-u", "%s:%s" % user,
                       "-x", "http://127.0.0.1:%d" % self.port, "-o", out.name,
                       "-w", "%{http_code}", *extra, url]
            if body is not None:
                command[1:1] = ["--data-binary", "@-"]
            result = subprocess.run(command, input=body, capture_output=True, timeout=30)
            return int(result.stdout), out.read()

    def admin(self, page):
        status, _, body = self.request("GET", "/_admin/" + page)
        assert status == 200, (page, status)
        return body.decode()

    def raw(self, data, read_all=True):
        """Sends bytes on a fresh connection; returns what comes back until close."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as s:
            s.sendall(data)
            s.shutdown(socket.SHUT_WR) if read_all else None
            chunks = []
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    return b"".join(chunks)
                chunks.append(chunk)


def responses(body):
    """(href, {property: value}) per D:response of a multistatus body."""
    root = ET.fromstring(body)
    out = []
    for response in root.findall("D:response", NS):
        props = {}
        for prop in response.iterfind(".//D:prop/*", NS):
            props[prop.tag] = prop.text or ""
        out.append((response.find("D:href", NS).text, props))
    return out


def prop(name):
    prefix, local = name.split(":")
    return "{%s}%s" % (NS[prefix], local)


def write_account(root, name, password, folders):
    """A hand-written account in the --mail-dir layout, Basic only:
    folders maps a folder path ("inbox", "folders/Work") to {file name: bytes}."""
    account = os.path.join(root, name)
    os.makedirs(account)
    with open(os.path.join(account, "account"), "w") as f:
        f.write("password = %s\nauth = basic\n" % password)
    for folder, messages in folders.items():
        os.makedirs(os.path.join(account, folder))
        for file, data in messages.items():
            with open(os.path.join(account, folder, file), "wb") as f:
                f.write(data)
