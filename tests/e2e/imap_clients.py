"""The workflows of real IMAP clients, each run against one server (Dovecot
or the gateway) and reduced to what the user ends up with, so that two runs
can be compared: folders, messages (their bytes), flags."""
import hashlib
import imaplib
import os
import pty
import re
import select
import shutil
import subprocess
import tempfile
import time

import imap_wire

SPECIAL_USE = {"\\Sent", "\\Junk", "\\Trash", "\\Drafts", "\\Archive", "\\All", "\\Flagged"}
# What only one server keeps: Dovecot's session flag, and the attributes of
# the CHILDREN extension that the gateway does not offer.
IGNORED_FLAGS = {"\\Recent"}


def digest(data):
    return hashlib.sha256(data).hexdigest()[:16]


def flag_set(flags):
    return sorted(f for f in flags if f not in IGNORED_FLAGS)


def list_folders(connection):
    """{name: special-use attributes} from LIST "" "*"."""
    folders = {}
    for line in connection.ok(b'LIST "" "*"'):
        values, _ = imap_wire.parse(line)
        attributes, name = values[2], values[4]
        name = name if isinstance(name, bytes) else name.encode()
        folders[name.decode("latin-1")] = sorted(a for a in attributes if a in SPECIAL_USE)
    return folders


def snapshot(port, user, password):
    """Every folder with its messages (digest of the bytes, flags), in an
    order that does not depend on the server's numbering."""
    connection = imap_wire.Connection(port)
    try:
        connection.ok(b"LOGIN %s %s" % (user.encode(), password.encode()))
        state = {}
        for name, attributes in sorted(list_folders(connection).items()):
            connection.ok(b'EXAMINE "%s"' % name.encode("latin-1"))
            messages = connection.fetch(b"1:*", b"FLAGS BODY.PEEK[]") if exists(connection, name) else {}
            state[name] = {"special": attributes,
                           "messages": sorted((digest(m["BODY[]"]), flag_set(m["FLAGS"]))
                                              for m in messages.values())}
        connection.ok(b"LOGOUT")
        return state
    finally:
        connection.close()


def exists(connection, name):
    untagged, _ = connection.command(b'STATUS "%s" (MESSAGES)' % name.encode("latin-1"))
    for line in untagged:
        match = re.search(rb"MESSAGES (\d+)", line)
        if match:
            return int(match.group(1)) > 0
    return False


def fetch_values(data):
    """imaplib's FETCH data as {sequence number: {item: value}}."""
    raw = b"".join(item[0] + b"\r\n" + item[1] if isinstance(item, tuple) else item
                   for item in data if item is not None)
    values, _ = imap_wire.parse(raw)
    out = {}
    for number, pairs in zip(values[0::2], values[1::2]):
        items = out.setdefault(number, {})
        for i in range(0, len(pairs) - 1, 2):
            items[pairs[i].upper()] = pairs[i + 1]
    return out


def plain(value):
    """Parsed IMAP values in a form that compares and prints well."""
    if isinstance(value, list):
        return [plain(v) for v in value]
    if isinstance(value, bytes):
        return value.decode("utf-8", errors="backslashreplace")
    return value if isinstance(value, (int, str)) else repr(value)


def imaplib_workflow(port, user, password):
    """What a desktop client does: folders and counts, a header sweep, the
    structure and parts of messages, searches, flags, a copy, a move and a
    deletion, then a new session that must see the same."""
    result = {}
    client = imaplib.IMAP4("127.0.0.1", port, timeout=60)
    client.login(user, password)
    folders = sorted(f.decode("latin-1") for f in
                     (re.search(rb'"/" (.*)$', line).group(1).strip(b'"') for line in client.list()[1]))
    result["list"] = folders
    result["list %"] = sorted(re.search(rb'"/" (.*)$', line).group(1).strip(b'"').decode("latin-1")
                              for line in client.list('""', "%")[1])
    result["status"] = {}
    for folder in folders:
        typ, data = client.status('"%s"' % folder, "(MESSAGES UNSEEN)")
        result["status"][folder] = (typ, data[0].decode("latin-1").split("(", 1)[1])
    typ, data = client.select("INBOX")
    result["select"] = (typ, int(data[0]))
    typ, data = client.fetch("1:*", "(FLAGS RFC822.SIZE ENVELOPE BODYSTRUCTURE)")
    result["sweep"] = {n: {k: plain(v) for k, v in items.items() if k != "FLAGS"}
                       for n, items in fetch_values(data).items()}
    result["flags"] = {n: flag_set(items["FLAGS"]) for n, items in fetch_values(data).items()}
    typ, data = client.fetch("1:*", "(BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE)])")
    result["header sweep"] = {n: items for n, items in fetch_values(data).items()}
    typ, data = client.fetch("3", "(BODY.PEEK[1.MIME] BODY.PEEK[3]<0.20> BODY.PEEK[2.HEADER] "
                                  "BODY.PEEK[2.1.MIME] BODY.PEEK[TEXT]<10.15> RFC822.HEADER)")
    result["parts"] = {n: plain(items) for n, items in fetch_values(data).items()}
    result["search"] = {}
    for criteria in ("ALL", "UNSEEN", "SEEN", 'SUBJECT "note"', 'FROM "ann"', "LARGER 1000",
                     "NOT SEEN", 'OR SUBJECT "lunch" SUBJECT "digest"', "1:3 UNSEEN",
                     'HEADER "Message-ID" "lunch"', 'TO "dan"', "SMALLER 100", "UNDELETED"):
        typ, data = client.search(None, criteria)
        result["search"][criteria] = (typ, data[0].decode().split())
    typ, data = client.uid("SEARCH", None, "ALL")
    uids = data[0].split()
    result["store"] = [client.store("1", "+FLAGS", "(\\Flagged)")[0],
                       client.store("2", "+FLAGS.SILENT", "(\\Seen \\Answered)")[0],
                       client.store("3", "-FLAGS", "(\\Seen)")[0],
                       client.uid("STORE", uids[3], "FLAGS", "(\\Draft)")[0]]
    typ, data = client.fetch("1:4", "(FLAGS)")
    result["after store"] = {n: flag_set(i["FLAGS"]) for n, i in fetch_values(data).items()}
    result["copy"] = client.copy("5", "Work")[0]
    result["move"] = client.uid("MOVE", uids[5], '"Junk Mail"')[0]
    result["delete"] = [client.store("6", "+FLAGS", "(\\Deleted)")[0], client.expunge()[0]]
    typ, data = client.fetch("1:*", "(FLAGS)")
    result["after expunge"] = {n: flag_set(i["FLAGS"]) for n, i in fetch_values(data).items()}
    client.logout()
    # A new session: the same messages, the same UIDs, the same flags.
    client = imaplib.IMAP4("127.0.0.1", port, timeout=60)
    client.login(user, password)
    client.select("INBOX")
    typ, data = client.uid("SEARCH", None, "ALL")
    result["uids stable"] = data[0].split() == [u for i, u in enumerate(uids) if i not in (5, 6)] \
        if len(uids) > 6 else None
    typ, data = client.fetch("1:*", "(FLAGS)")
    result["next session"] = {n: flag_set(i["FLAGS"]) for n, i in fetch_values(data).items()}
    client.logout()
    return result


ENCODED_WORD = re.compile(r"=\?([^?]+)\?([bBqQ])\?([^?]*)\?=")


def decode_words(text):
    """RFC 2047 words decoded; blanks between two words dropped."""
    import base64
    import quopri

    def word(match):
        charset, kind, data = match.groups()
        raw = (base64.b64decode(data + "===") if kind in "bB" else
               quopri.decodestring(data.replace("_", " ").encode(), header=True))
        return raw.decode(charset, errors="replace")
    text = re.sub(r"(\?=)\s+(?==\?)", r"\1", text)
    return ENCODED_WORD.sub(word, text)


def readable_fields(header):
    """The fields of a header as a reader sees them: RFC 2047 words decoded,
    folding and runs of blanks as one space."""
    fields = []
    for line in re.split(rb"\r?\n(?![ \t])", header):
        if b":" not in line:
            continue
        name, value = line.split(b":", 1)
        text = decode_words(value.decode("utf-8", errors="replace"))
        # Listings are XML, which cannot carry control characters.
        text = "".join(c for c in text if c >= " " or c == "\t")
        fields.append((name.decode().strip().lower(), " ".join(text.split())))
    # A header built from listing properties need not keep the message's order.
    return sorted(fields)


def header_sweep_workflow(port, user, password):
    """A client's first look at a folder: a few header fields of every message."""
    client = imaplib.IMAP4("127.0.0.1", port, timeout=60)
    client.login(user, password)
    client.select("INBOX", readonly=True)
    typ, data = client.fetch("1:*", "(BODY.PEEK[HEADER.FIELDS (FROM TO SUBJECT DATE)])")
    client.logout()
    return {n: readable_fields(next(v for k, v in items.items() if k.startswith("BODY[")))
            for n, items in fetch_values(data).items()}


def run(command, timeout=120, **kwargs):
    result = subprocess.run(command, capture_output=True, timeout=timeout, **kwargs)
    return result.returncode, result.stdout, result.stderr


def curl_workflow(port, user, password):
    """curl's IMAP URLs (RFC 5092): the folder list, whole messages, one
    section, a part of one, a search, and a command of the user's own."""
    base = "imap://127.0.0.1:%d/" % port

    def curl(path, *extra):
        code, out, err = run(["curl", "-s", "-S", "--max-time", "60", "-u",
                              "%s:%s" % (user, password), *extra, base + path])
        return code, out

    result = {}
    code, out = curl("")
    result["list"] = (code, sorted(re.sub(rb"\\Has(No)?Children ?", b"", line).decode("latin-1")
                                   for line in out.splitlines()))
    for path in ("INBOX;MAILINDEX=1", "INBOX;MAILINDEX=3", "Work;MAILINDEX=2"):
        code, out = curl(path)
        result[path] = (code, digest(out), len(out))
    for path in ("INBOX;MAILINDEX=3/;SECTION=2.HEADER", "INBOX;MAILINDEX=3/;SECTION=1.MIME",
                 "INBOX;MAILINDEX=2/;SECTION=TEXT/;PARTIAL=5.30", "INBOX?SUBJECT%20note",
                 "INBOX?UNSEEN"):
        result[path] = curl(path)
    result["store"] = curl("INBOX", "-X", "STORE 1 +FLAGS (\\Flagged)")[0]
    code, out = curl("INBOX", "-X", "FETCH 1:3 (FLAGS)")
    # The order of flags means nothing.
    flags = re.findall(rb"\* (\d+) FETCH \(FLAGS \(([^)]*)\)\)", out)
    result["flags"] = (code, [(n, sorted(f for f in fs.split() if f != b"\\Recent"))
                              for n, fs in flags])
    return result


def maildir_state(root):
    """{folder: sorted (digest, flag letters)} of a local Maildir tree, the
    client's own bookkeeping files left out."""
    state = {}
    for folder, dirs, files in os.walk(root):
        if os.path.basename(folder) not in ("cur", "new"):
            continue
        name = os.path.relpath(os.path.dirname(folder), root)
        for file in files:
            # mbsync marks what it stores with a random X-TUID line.
            data = re.sub(rb"(?m)^X-TUID: [^\n]*\n", b"", read(os.path.join(folder, file)))
            flags = file.rsplit(":2,", 1)[1] if ":2," in file else ""
            state.setdefault(name, []).append((digest(data), "".join(sorted(flags))))
    return {name: sorted(messages) for name, messages in sorted(state.items())}


def read(path):
    with open(path, "rb") as f:
        return f.read()


def change_maildir(root, folder, change):
    """Applies change(flags) -> flags to the first message (by content
    order) of a local folder, as a user's client would; None deletes it."""
    for sub in ("cur", "new"):
        directory = os.path.join(root, folder, sub)
        for file in sorted(os.listdir(directory), key=lambda f: read(os.path.join(directory, f))):
            base, _, flags = file.partition(":2,")
            if change is None:
                os.remove(os.path.join(directory, file))
            else:
                os.rename(os.path.join(directory, file),
                          os.path.join(root, folder, "cur", base + ":2," + "".join(sorted(change(flags)))))
            return


def server_move(port, user, password, source, target):
    """Moves the first message of a folder on the server, as another client would."""
    client = imaplib.IMAP4("127.0.0.1", port, timeout=60)
    client.login(user, password)
    client.select('"%s"' % source)
    typ, _ = client.uid("MOVE", client.uid("SEARCH", None, "ALL")[1][0].split()[0], '"%s"' % target)
    client.logout()
    return typ


def sync_rounds(sync, local, port, user, password):
    """The same three rounds for each sync client: everything down; local
    flag changes and a deletion up; a move on the server down again."""
    result = {"first": sync()}
    result["after first"] = maildir_state(local)
    inbox = "INBOX" if os.path.isdir(os.path.join(local, "INBOX")) else "."
    change_maildir(local, inbox, lambda f: f + "F")
    change_maildir(local, "Junk Mail", lambda f: f + "S")
    change_maildir(local, "Work", None)
    result["second"] = sync()
    result["server move"] = server_move(port, user, password, "Sent Items", "INBOX")
    result["third"] = sync()
    result["after third"] = maildir_state(local)
    return result


MBSYNC_CONFIG = (
    "IMAPAccount a\nHost 127.0.0.1\nPort {port}\nUser {user}\nPass {password}\nSSLType None\n"
    "AuthMechs LOGIN\n\nIMAPStore far\nAccount a\n\n"
    "MaildirStore near\nPath {local}/\nInbox {local}/INBOX\nSubFolders Verbatim\n\n"
    "Channel c\nFar :far:\nNear :near:\nPatterns *\nCreate Both\nExpunge Both\nSyncState *\n")

OFFLINEIMAP_CONFIG = (
    "[general]\naccounts = a\nmetadata = {scratch}/meta\n\n[Account a]\n"
    "localrepository = near\nremoterepository = far\n\n"
    "[Repository near]\ntype = Maildir\nlocalfolders = {local}\nsep = /\n\n"
    "[Repository far]\ntype = IMAP\nremotehost = 127.0.0.1\nremoteport = {port}\n"
    "remoteuser = {user}\nremotepass = {password}\nssl = no\nstarttls = no\n"
    "createfolders = False\n")


def sync_workflow(config_text, command, port, user, password):
    """A sync client with its configuration in a scratch folder, through
    the rounds of sync_rounds; command gets the configuration file's path."""
    with tempfile.TemporaryDirectory() as scratch:
        local = os.path.join(scratch, "mail")
        os.makedirs(local)
        config = os.path.join(scratch, "config")
        with open(config, "w") as f:
            f.write(config_text.format(scratch=scratch, local=local, port=port, user=user,
                                       password=password))
        return sync_rounds(lambda: run(command(config))[0], local, port, user, password)


def mbsync_workflow(port, user, password):
    return sync_workflow(MBSYNC_CONFIG, lambda config: ["mbsync", "-q", "-c", config, "-a"],
                         port, user, password)


def offlineimap_workflow(port, user, password):
    return sync_workflow(OFFLINEIMAP_CONFIG,
                         lambda config: ["offlineimap", "-c", config, "-o", "-u", "quiet"],
                         port, user, password)


def mutt_workflow(port, user, password):
    """mutt in IMAP mode, driven by keys in a terminal of its own: every
    non-empty message of the inbox saved to a local Maildir (mutt stops
    at an empty one), one flagged, one moved to
    another folder, one deleted, the mailbox synchronised."""
    with tempfile.TemporaryDirectory() as scratch:
        saved = os.path.join(scratch, "saved")
        config = os.path.join(scratch, "muttrc")
        server = "imap://%s@127.0.0.1:%d/" % (user, port)
        with open(config, "w") as f:
            f.write('set imap_pass="%s"\nset folder="%s"\nset spoolfile="+INBOX"\n'
                    "set mbox_type=Maildir\nset confirmcreate=no\nset confirmappend=no\n"
                    "set quit=yes\nset delete=yes\nset move=no\nset record=\"\"\n"
                    "set resolve=no\nset sort=mailbox-order\nset mail_check=0\n"
                    "set imap_check_subscribed=no\nset header_cache=\"\"\nset wait_key=no\n"
                    "set beep=no\nset mark_old=no\nset timeout=0\nset ssl_force_tls=no\nset ssl_starttls=no\n" % (password, server))
        keys = ("<tag-pattern>~z 1-<enter><tag-prefix><copy-message>%s<enter><untag-pattern>~A<enter>"
                "<first-entry><flag-message><next-entry><delete-message>"
                "<next-entry><save-message>=Work<enter><sync-mailbox><quit>" % saved)
        code, screen = in_terminal(["mutt", "-n", "-F", config, "-f", server + "INBOX",
                                    "-e", "push '%s'" % keys])
        return {"exit": code, "saved": maildir_state(saved)}


NEOMUTT_CONFIG = (
    'set folder="imap://{user}@127.0.0.1:{port}/"\nset imap_pass="{password}"\n'
    'set spoolfile="+INBOX"\nset record="=Sent Items"\n'
    'set smtp_url="smtp://{user}@127.0.0.1:{smtp_port}/"\nset smtp_pass="{password}"\n'
    'set from="{user}@example.com"\nset ssl_force_tls=no\nset ssl_starttls=no\n'
    'set header_cache=""\nset message_cachedir=""\nset mail_check=0\nset timeout=0\n'
    "set imap_check_subscribed=no\nset confirmappend=no\nset confirmcreate=no\n"
    'set editor="true"\nset abort_unmodified=no\nset edit_headers=no\nset wait_key=no\n'
    "set beep=no\nset quit=yes\nset delete=yes\nset move=no\nset sort=mailbox-order\n"
    "set fast_reply=yes\nset copy=yes\n")


def neomutt_workflow(port, smtp_port, user, password):
    """neomutt with an IMAP folder and a sent copy in "Sent Items", as a
    user has it: a message written and sent (the sent copy saved by IMAP),
    then the first message of the inbox saved ("s") to Work and the inbox
    synchronised. Returns the exit codes and the last screens."""
    with tempfile.TemporaryDirectory() as home:
        config = os.path.join(home, "neomuttrc")
        body = os.path.join(home, "body")
        with open(config, "w") as f:
            f.write(NEOMUTT_CONFIG.format(user=user, password=password, port=port,
                                          smtp_port=smtp_port))
        with open(body, "w") as f:
            f.write("Hello Bob\n")
        neomutt = ["neomutt", "-n", "-F", config]
        sent = in_terminal(neomutt + ["-i", body, "-s", "Kept once", "bob@example.com"],
                           steps=[("NeoMutt: Compose", "y")], home=home, timeout=60)
        saved = in_terminal(neomutt + ["-f", "=INBOX"],
                            steps=[("NeoMutt: ", "s"), ("Save to mailbox", "=Work\r"),
                                   ("", "$"), ("", "q")], home=home, timeout=60)
        return {"send": sent[0], "save": saved[0], "screens": sent[1][-300:] + saved[1][-300:]}


def mbsync_folder_workflow(port, user, password):
    """mbsync with Create Both and Remove Both: a folder made in the local
    Maildir is made on the server, and removed there once removed here.
    Returns the exit codes of the two runs."""
    with tempfile.TemporaryDirectory() as scratch:
        local = os.path.join(scratch, "mail")
        for sub in ("cur", "new", "tmp"):
            os.makedirs(os.path.join(local, "Trips", sub))
        config = os.path.join(scratch, "config")
        with open(config, "w") as f:
            # The sync state apart from the folders: a folder removed with
            # its state would look new, not removed.
            f.write(MBSYNC_CONFIG.format(local=local, port=port, user=user, password=password)
                    .replace("Patterns *", "Patterns Trips")
                    .replace("SyncState *", "SyncState %s/state/" % scratch) + "Remove Both\n")
        made = run(["mbsync", "-q", "-c", config, "-a"])[0]
        listed = imaplib_folders(port, user, password)
        shutil.rmtree(os.path.join(local, "Trips"))
        removed = run(["mbsync", "-q", "-c", config, "-a"])[0]
        return made, listed, removed, imaplib_folders(port, user, password)


def imaplib_folders(port, user, password):
    client = imaplib.IMAP4("127.0.0.1", port, timeout=60)
    client.login(user, password)
    names = [re.search(rb'"/" (.*)$', line).group(1).strip(b'"').decode("latin-1")
             for line in client.list()[1]]
    client.logout()
    return sorted(names)


def in_terminal(command, timeout=120, steps=(), home=None):
    """Runs a full-screen program in a pseudo-terminal until it ends. Each
    step (text, keys) waits until text is on the screen, then types keys."""
    pid, fd = pty.fork()
    if pid == 0:
        os.environ.update(TERM="vt100", COLUMNS="120", LINES="40",
                          HOME=home or os.environ.get("HOME", "/"))
        os.execvp(command[0], command)
    screen = b""
    steps = list(steps)
    seen = 0  # the screen up to here has answered the last step
    deadline = time.monotonic() + timeout
    try:
        while time.monotonic() < deadline:
            if steps and steps[0][0].encode() in screen[seen:]:
                seen = len(screen)
                os.write(fd, steps.pop(0)[1].encode())
            ready, _, _ = select.select([fd], [], [], 0.2)
            if ready:
                try:
                    data = os.read(fd, 65536)
                except OSError:
                    break
                if not data:
                    break
                screen += data
            done, status = os.waitpid(pid, os.WNOHANG)
            if done:
                return os.waitstatus_to_exitcode(status), screen
        os.kill(pid, 9)
    finally:
        os.close(fd)
    _, status = os.waitpid(pid, 0)
    return os.waitstatus_to_exitcode(status), screen


def run_on(server_class, workflow):
    """The workflow's result on a fresh server, with what the server holds
    afterwards."""
    with server_class() as server:
        result = workflow(server.port, server.user, server.password)
        result["server afterwards"] = snapshot(server.port, server.user, server.password)
        return result


def without_empty_addresses(envelope):
    """An ENVELOPE without the addresses Dovecot makes of empty list
    elements, an empty list as NIL."""
    def empty(address):
        return (isinstance(address, list) and len(address) == 4 and
                [str(v).strip("b'") for v in address[2:]] == ["MISSING_MAILBOX", "MISSING_DOMAIN"])
    out = []
    for i, field in enumerate(envelope):
        if 2 <= i <= 7 and isinstance(field, list):
            field = [a for a in field if not empty(a)] or imap_wire.NIL
        out.append(str(field) if field == "NIL" else field)
    return [imap_wire.NIL if f == "NIL" else f for f in out]


def departure(item, dovecot, model):
    """Why the gateway's model answers otherwise on purpose, or None."""
    if (str(item).upper() == "ENVELOPE" and isinstance(dovecot, list) and isinstance(model, list)
            and without_empty_addresses(dovecot) == without_empty_addresses(model)):
        # RFC 5322 4.4 allows empty elements in an address list ("a@x,,b@x");
        # they name nobody. Dovecot makes each a MISSING_MAILBOX@MISSING_DOMAIN.
        return "an empty element of an address list gives no address"
    if ("HEADER.FIELDS" in str(item) and isinstance(dovecot, bytes) and isinstance(model, bytes)
            and dovecot == model + b"\r\n" and not model.endswith(b"\r\n\r\n")):
        # RFC 3501 6.4.5: the blank line is in every header fetch "except in
        # the case of a message which has no body and no blank line". Dovecot
        # adds one now and then (HEADER.FIELDS, or once it cached the header).
        return "a message without a blank line gets none in HEADER.FIELDS"
    return None


def differences(a, b, path="result"):
    """Where two results differ, one line each; departures left out."""
    if isinstance(a, dict) and isinstance(b, dict):
        out = []
        for key in sorted(set(a) | set(b), key=str):
            if key not in a or key not in b:
                out.append("%s[%r]: only on %s" % (path, key, "Dovecot" if key in a else "the gateway"))
            elif not departure(key, a[key], b[key]):
                out += differences(a[key], b[key], "%s[%r]" % (path, key))
        return out
    if a != b:
        return ["%s:\n  Dovecot:     %.600r\n  the gateway: %.600r" % (path, a, b)]
    return []


