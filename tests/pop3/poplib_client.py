"""Drives the POP3 service with Python's poplib and prints every answer.

Usage: poplib_client.py PORT. The greeting's time stamp is shown as T@mirelink
so that the output can be compared byte for byte.
"""
import poplib
import re
import sys


def main():
    port = int(sys.argv[1])
    box = poplib.POP3("127.0.0.1", port, timeout=30)
    results = [("welcome", re.sub(rb"\d+\.\d+@", b"T@", box.getwelcome()))]
    results.append(("user", box.user("alice")))
    results.append(("pass", box.pass_("open sesame")))
    results.append(("stat", box.stat()))
    results.append(("list", box.list()))
    results.append(("uidl", box.uidl()))
    results.append(("uidl 2", box.uidl(2)))
    results.append(("retr 1", box.retr(1)))
    results.append(("top 2 1", box.top(2, 1)))
    results.append(("dele 1", box.dele(1)))
    results.append(("list", box.list()))
    for command in (lambda: box.retr(1), lambda: box.list(7)):
        try:
            command()
        except poplib.error_proto as error:
            results.append(("error", error.args[0]))
    results.append(("rset", box.rset()))
    results.append(("dele 2", box.dele(2)))
    results.append(("noop", box.noop()))
    results.append(("quit", box.quit()))
    for name, value in results:
        print(name, repr(value))


if __name__ == "__main__":
    main()
