"""The IMAP servers the client workflows run against: Dovecot with a
throw-away configuration (its own folders, a passwd-file user, a loopback
port, nothing of the machine's own mail setup), and the mirelink gateway in
front of the local HTTPMail service. Both are loaded with the same account."""
import grp
import os
import pwd
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import urllib.request

from gateway_fixture import Gateway, Service, free_port, listening
from httpmail_fixture import responses
from imap_corpus import Account

DOVECOT = os.environ.get("DOVECOT_BIN", "/usr/sbin/dovecot")

DOVECOT_CONF = """\
base_dir = {root}/run
state_dir = {root}/state
log_path = {root}/dovecot.log
protocols = imap
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain login
mail_location = maildir:~/Maildir:LAYOUT=fs
default_login_user = {login_user}
default_internal_user = {internal_user}
{internal_group}first_valid_uid = 1
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {root}/passwd
}}
userdb {{
  driver = passwd-file
  args = username_format=%u {root}/passwd
}}
# Like the gateway, which moves a message to the deleted-items folder when a
# client expunges it elsewhere.
mail_plugins = $mail_plugins lazy_expunge
plugin {{
  lazy_expunge = Deleted Items
  lazy_expunge_only_last_instance = yes
}}
namespace inbox {{
  inbox = yes
  separator = /
{mailboxes}}}
# No chroot: a user who is not root cannot, and a test needs none.
service anvil {{
  chroot =
}}
service imap-login {{
  chroot =
  inet_listener imap {{
    address = 127.0.0.1
    port = {port}
  }}
  inet_listener imaps {{
    port = 0
  }}
}}
service pop3-login {{
  inet_listener pop3 {{
    port = 0
  }}
}}
service submission-login {{
  inet_listener submission {{
    port = 0
  }}
}}
"""


def dovecot_available():
    return os.path.exists(DOVECOT)


class Dovecot:
    """Dovecot serving the account; use as a context manager. As root the mail
    processes run as nobody (Dovecot serves no mail as root); otherwise
    everything runs as the calling user."""

    def __init__(self, account=None):
        self.account = account or Account()
        self.user, self.password = self.account.USER, self.account.PASSWORD

    def __enter__(self):
        self.root = tempfile.mkdtemp(prefix="mirelink-dovecot-")
        os.chmod(self.root, 0o755)
        try:
            self._start()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def _start(self):
        home = os.path.join(self.root, "home", self.user)
        self.account.write_maildir(home)
        if os.geteuid() == 0:
            mail = pwd.getpwnam("nobody")
            login_user, internal_user, internal_group = "dovenull", "dovecot", ""
            for folder, _, files in os.walk(os.path.join(self.root, "home")):
                for name in [folder] + [os.path.join(folder, f) for f in files]:
                    os.chown(name, mail.pw_uid, mail.pw_gid)
        else:
            mail = pwd.getpwuid(os.getuid())
            login_user = internal_user = mail.pw_name
            internal_group = "default_internal_group = %s\n" % grp.getgrgid(os.getgid()).gr_name
        with open(os.path.join(self.root, "passwd"), "w") as f:
            f.write("%s:{PLAIN}%s:%d:%d::%s\n" % (self.user, self.password, mail.pw_uid,
                                                   mail.pw_gid, home))
        mailboxes = "".join('  mailbox "%s" {\n    special_use = %s\n  }\n' % (name, use)
                            for name, (_, use) in self.account.FOLDERS.items() if use)
        for _ in range(5):
            self.port = free_port()
            with open(os.path.join(self.root, "dovecot.conf"), "w") as f:
                f.write(DOVECOT_CONF.format(root=self.root, port=self.port, mailboxes=mailboxes,
                                            login_user=login_user, internal_user=internal_user,
                                            internal_group=internal_group))
            # In the foreground, so the test owns the process and its end.
            self.output = open(os.path.join(self.root, "output.log"), "wb")
            self.process = subprocess.Popen(
                [DOVECOT, "-F", "-c", os.path.join(self.root, "dovecot.conf")],
                stdin=subprocess.DEVNULL, stdout=self.output, stderr=self.output)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and not listening(self.port):
                if self.process.poll() is not None:
                    break
                time.sleep(0.02)
            if listening(self.port):
                return
            self._stop()
        raise RuntimeError("dovecot did not listen: " + self.log())

    def _stop(self):
        process = getattr(self, "process", None)
        if process is None:
            return
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
        try:
            process.wait(20)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(10)
        self.output.close()
        self.process = None

    def __exit__(self, *exc):
        try:
            self._stop()
        finally:
            shutil.rmtree(self.root, ignore_errors=True)

    def log(self):
        text = ""
        for name in ("output.log", "dovecot.log"):
            try:
                with open(os.path.join(self.root, name), errors="replace") as f:
                    text += f.read()
            except OSError:
                pass
        return text


def mark_read(service, account):
    """The service keeps no read state on disk: set it as a client would."""
    body = (b'<D:propertyupdate xmlns:D="DAV:" xmlns:hm="urn:schemas:httpmail:"><D:set>'
            b'<D:prop><hm:read>1</hm:read></D:prop></D:set></D:propertyupdate>')
    credentials = (account.USER, account.PASSWORD)
    for name, messages in account.folders.items():
        folder = "/mail/%s/%s/" % (account.USER,
                                   urllib.request.quote(account.FOLDERS[name][0].encode()))
        status, _, listing = service.request("PROPFIND", folder, credentials, {"Depth": "1,noroot"})
        assert status == 207, (folder, status)
        # Listed in file name order, which is the account's order.
        hrefs = [href for href, _ in responses(listing)]
        for href, (_, read) in zip(hrefs, messages):
            if read:
                status = service.request("PROPPATCH", href, credentials, body=body)[0]
                assert status == 207, (href, status)


class ImapGateway:
    """The mirelink program serving IMAP, in front of the local HTTPMail
    service that holds the account; use as a context manager."""

    def __init__(self, account=None, header_properties=False):
        self.account = account or Account()
        self.user, self.password = self.account.USER, self.account.PASSWORD
        # Listings without the mailheader fields make the gateway take every
        # header from the message itself, byte for byte as Dovecot does.
        self.service_switches = [] if header_properties else ["--no-header-properties"]

    # Seconds to wait for the IMAP port once POP3 and SMTP listen.
    IMAP_WAIT = 10

    def __enter__(self):
        self.root = tempfile.mkdtemp(prefix="mirelink-imap-")
        try:
            self.account.write_mail_dir(self.root)
            self.service = Service("--mail-dir", self.root, "--write-back", "--copy-and-delete",
                                   *self.service_switches)
            self.service.__enter__()
            mark_read(self.service, self.account)
            self.port = free_port()
            self.gateway = Gateway(self.service, PortImap=self.port)
            self.gateway.__enter__()
            deadline = time.monotonic() + self.IMAP_WAIT
            while not listening(self.port):
                if time.monotonic() > deadline:
                    raise AssertionError("the gateway does not serve IMAP: " + self.gateway.log())
                time.sleep(0.02)
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        try:
            for part in ("gateway", "service"):
                if hasattr(self, part):
                    getattr(self, part).__exit__(*exc)
                    delattr(self, part)
        finally:
            shutil.rmtree(self.root, ignore_errors=True)
