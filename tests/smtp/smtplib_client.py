"""Submits two messages through the local SMTP service with Python's smtplib,
one after AUTH PLAIN (initial response), one after AUTH LOGIN (challenges),
and prints each answer the client saw.

Usage: smtplib_client.py PORT USER PASSWORD
"""
import smtplib
import sys

TEXT = (
    "From: alice@example.com\r\n"
    "Subject: dots\r\n"
    "\r\n"
    ".leading dot\r\n"
    "..two dots\r\n"
    ".\r\n"
    "last line\r\n"
)


def submit(port, user, password, mechanism, initial_response):
    client = smtplib.SMTP("127.0.0.1", port, timeout=30)
    code, text = client.ehlo("client.example")
    print("ehlo", code, text.decode().replace("\n", "|"), client.esmtp_features)
    client.user, client.password = user, password
    authenticate = getattr(client, "auth_" + mechanism.lower())
    print("auth", mechanism, client.auth(mechanism, authenticate,
                                         initial_response_ok=initial_response))
    refused = client.sendmail("alice@example.com",
                              ["bob@example.com", "carol@example.com"], TEXT)
    print("sendmail", refused)
    print("quit", client.quit())


def main():
    port, user, password = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    submit(port, user, password, "PLAIN", True)
    submit(port, user, password, "LOGIN", False)


if __name__ == "__main__":
    main()
