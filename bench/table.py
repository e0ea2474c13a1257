"""Runs every benchmark program of a release build, one after the other, and
prints one table: each figure beside its baseline from the same run, their
ratio, the target and whether it is met. The programs' own reports go to
BUILD/bench/*.out; progress goes to standard error.

Usage: table.py BUILD_FOLDER"""
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PIECE_MIB = 100000 / (1024 * 1024)  # the HTTP client's receive piece


def programs(build, xml_json):
    """(name, command) of every benchmark program."""
    bench = os.path.join(build, "bench")
    return [
        ("text", [os.path.join(bench, "text/text_bench"), "--benchmark_filter=BM_MirelinkXml|BM_Expat",
                  "--benchmark_repetitions=7", "--benchmark_report_aggregates_only=true",
                  "--benchmark_out_format=json", "--benchmark_out=" + xml_json]),
        ("pop3", [os.path.join(bench, "pop3/pop3_bench")]),
        ("webmail", [os.path.join(bench, "webmail/webmail_bench")]),
        ("retr_chain", [os.path.join(bench, "pop3/retr_chain_bench")]),
        ("http", [os.path.join(bench, "http/http_bench")]),
        ("smtp", [os.path.join(bench, "smtp/smtp_bench")]),
        ("imap", [os.path.join(bench, "imap/imap_bench")]),
        ("startup", [sys.executable, os.path.join(HERE, "app/startup_bench.py"),
                     os.path.join(build, "app/mirelink"),
                     os.path.join(build, "tools/httpmail/mirelink-httpmail")]),
        ("sessions", [sys.executable, os.path.join(HERE, "app/session_bench.py"),
                      os.path.join(build, "app/mirelink"),
                      os.path.join(build, "tools/httpmail/mirelink-httpmail")]),
    ]


def at_most(limit):
    return "<= %g" % limit, lambda ratio: ratio <= limit


def at_least(limit):
    return ">= %g" % limit, lambda ratio: ratio >= limit


def below(limit, unit):
    return "< %g %s" % (limit, unit), None


def not_above(limit, unit):
    return "<= %g %s" % (limit, unit), None


# title, value key, unit, baseline key (or None), baseline label, target.
# The ratio is value / baseline; a target without a ratio test judges the value.
HTTP_ROWS = [("HTTP download 50 MiB, %s, into %s%s" % (body, into, when),
              "http_%s_%s_%s_ms" % (body, into, phase), "ms",
              "http_%s_%s_curl_ms" % (body, into),
              "curl to " + ("/dev/null" if into == "sink" else "a file"), at_most(1.2))
             for body in ("sized", "chunked") for into in ("sink", "file")
             for phase, when in (("cold", ", first of a process"), ("warm", ", next ones"))]
SINK_PEAK_ROWS = [("HTTP download of %d MB, %s, into a sink: peak memory added" % (mb, body),
                   "http_sink_%dmb_%s_peak_mib" % (mb, body), "MiB", None, "", below(2, "MiB"))
                  for mb in (20, 200) for body in ("sized", "chunked")]
ROWS = [
    ("XML: 10,000-message listing (3.2 MB), D:href and D:getcontentlength", "xml_ms", "ms",
     "expat_ms", "libexpat", at_most(1)),
    ("CharsetMap: first construction", "charset_construction_us", "us", None, "",
     below(2000, "us")),
    ("ChooseCharset: first call, Cyrillic", "charset_cyrillic_us", "us", None, "",
     below(50000, "us")),
    ("RETR 20 MiB attachment-like (Delay 0, OperaCompat)", "retr_attachment_mibs", "MiB/s",
     "loopback_mibs", "loopback send/recv", at_least(0.5)),
    ("RETR 20 MiB, a dot line in ten (Delay 0, OperaCompat)", "retr_dotted_mibs", "MiB/s",
     "loopback_mibs", "loopback send/recv", at_least(0.5)),
    ("RETR 20 MiB: peak resident memory added", "retr_peak_mib", "MiB", None, "",
     not_above(2, "MiB")),
    ("RETR 200 MiB: peak resident memory added", "retr_200_peak_mib", "MiB", None, "",
     not_above(2, "MiB")),
    ("RETR 20 MiB through the web mail client, HTTP and the local service", "webmail_retr_mibs",
     "MiB/s", "webmail_curl_mibs", "curl GET of it", ("-", None)),
    ("RETR through the web mail client: peak resident memory added", "webmail_retr_peak_mib", "MiB",
     "webmail_message_mib", "the message", at_most(3)),
    ("Web mail client: 20 MiB message into a sink, HTTP and the local service",
     "webmail_sink_mibs", "MiB/s", "webmail_curl_mibs", "curl GET of it", at_least(0.87)),
    ("Web mail client: 20 MiB message into a sink, peak memory added", "webmail_sink_peak_mib",
     "MiB", None, "", below(2, "MiB")),
    ("Web mail client: 200 MB message into a sink, peak memory added",
     "webmail_sink_200mb_peak_mib", "MiB", None, "", below(2, "MiB")),
    ("RETR 20 MiB through the web mail client and the local service, over a GET of it (same "
     "reader, medians)", "chain_retr_ms", "ms", "chain_get_ms", "GET from the service",
     at_most(1.15)),
    ("RETR 20 MiB through the web mail client: time to the first message byte",
     "chain_retr_first_ms", "ms", "chain_get_first_ms", "the service's first body byte",
     at_most(2)),
    ("RETR 20 MiB through the web mail client: peak resident memory added",
     "chain_retr20_peak_mib", "MiB", None, "", not_above(2, "MiB")),
    ("RETR 200 MiB through the web mail client: peak resident memory added",
     "chain_retr200_peak_mib", "MiB", None, "", not_above(2, "MiB")),
    ("20 clients fetching a 50 MB message at once: byte-exact, peak resident memory added",
     "chain_crowd_peak_mib", "MiB", None, "", ("all, <= 50 MiB", None)),
    ("1,000 POP3 sessions at once (login, LIST, RETR 10 kB, QUIT)", "sessions_per_s",
     "sessions/s", None, "", ("all succeed", None)),
    ("1,000 POP3 sessions at once: peak resident memory added", "sessions_peak_mib", "MiB", None,
     "", ("-", None)),
    ("1,000 POP3 sessions at once: peak descriptors added", "sessions_peak_descriptors", "", None,
     "", ("-", None)),
    ("5,000 POP3 sessions one after the other: descriptors / threads / memory added",
     "sequential_mib_added", "MiB", None, "", ("0 / 0 / <= 1 MiB", None)),
] + HTTP_ROWS + SINK_PEAK_ROWS + [
    ("HTTP download 50 MiB, sized, into memory: peak memory with the caller's copy",
     "http_sized_memory_copy_peak_mib", "MiB", "http_body_mib", "the body", at_most(2)),
    ("HTTP download 50 MiB, chunked, into memory: peak memory with the caller's copy",
     "http_chunked_memory_copy_peak_mib", "MiB", "http_body_mib", "the body", at_most(2)),
    ("HTTP download into a file: peak memory", "http_file_peak_mib", "MiB", "http_piece_mib",
     "a 100 kB piece", at_most(5)),
    ("SMTP submission of 20 MB through the gateway", "smtp_ms", "ms", "smtp_curl_ms",
     "curl POST straight to the service", at_most(1.2)),
    ("SMTP submission of 20 MB: peak resident memory added (1 MiB held, the rest spooled)",
     "smtp_peak_mib", "MiB", None, "", not_above(3, "MiB")),
    ("SMTP 20 MB received by the SMTP service alone: peak resident memory added",
     "smtp_reception_peak_mib", "MiB", None, "", not_above(3, "MiB")),
    ("IMAP: SELECT of 10,000 messages and FETCH 1:* (UID FLAGS RFC822.SIZE)",
     "imap_select_fetch_ms", "ms", "imap_propfind_curl_ms", "curl sending the listing PROPFIND",
     at_most(1.3)),
    ("IMAP: the first SELECT of it (UIDs given, map written)", "imap_first_select_ms", "ms",
     "imap_propfind_curl_ms", "curl sending the listing PROPFIND", ("-", None)),
    ("IMAP: header sweep FROM SUBJECT DATE of 1,000, from the listing", "imap_sweep_listed_ms",
     "ms", "imap_sweep_downloaded_ms", "a listing without them: one GET each", ("-", None)),
    ("IMAP: SEARCH TEXT of a non-ASCII word over 1,000 messages, headers cached",
     "imap_search_text_ms", "ms", "imap_search_text_ascii_ms", "the same for an ASCII word",
     at_most(1.2)),
    ("IMAP: FETCH of a 200 MB message: peak resident memory added", "imap_big_fetch_peak_mib",
     "MiB", None, "", not_above(3, "MiB")),
    ("IMAP: APPEND of a 20 MB message (a PUT at the service)", "imap_append_ms", "ms",
     "imap_append_curl_ms", "curl PUT of it straight to the service", at_most(1.2)),
    ("IMAP: APPEND of 20 MB: peak resident memory added", "imap_append_peak_mib", "MiB", None, "",
     not_above(3, "MiB")),
    ("Start-up until both ports listen", "startup_ms", "ms", None, "", ("-", None)),
    ("Idle gateway: resident memory", "idle_rss_mib", "MiB", None, "", ("-", None)),
    ("1,000 idle POP3 sessions, logged in: peak resident memory added", "idle_pop3_peak_mib",
     "MiB", None, "", not_above(64, "MiB")),
    ("1,000 idle IMAP sessions, INBOX selected: peak resident memory added",
     "idle_imap_peak_mib", "MiB", None, "", not_above(64, "MiB")),
    ("SMTP submission of 20 MB, Digest account: bytes sent to the service",
     "submission_wire_bytes", "B", "submission_bytes", "the message", at_most(1.01)),
    ("POP3 session (log in, LIST, RETR 100, DELE 10, QUIT): requests / challenges",
     "pop3_requests", "", None, "", ("112 / 1", None)),
    ("POP3 session, every answer held 50 ms: wall time", "pop3_latency_ms", "ms", "pop3_held_ms",
     "requests x 50 ms", at_most(1.1)),
    ("IMAP session (LOGIN, SELECT of 1,000, FETCH 20 bodies, LOGOUT): requests / challenges",
     "imap_requests", "", None, "", ("-", None)),
    ("IMAP session, every answer held 50 ms: wall time", "imap_latency_ms", "ms", "imap_held_ms",
     "requests x 50 ms", at_most(1.1)),
    ("POP3 session, a service that takes each nonce once: requests / challenges",
     "pop3_fresh_requests", "", None, "", ("112 / 112", None)),
]

# Rows shown as "requests / challenges" and judged against the target's pair.
COUNT_ROWS = {"pop3_requests": "pop3_challenges", "imap_requests": "imap_challenges",
              "pop3_fresh_requests": "pop3_fresh_challenges"}


def run(name, command, out_path):
    print("running %s ..." % name, file=sys.stderr, flush=True)
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    with open(out_path, "wb") as out:
        out.write(result.stdout)
    text = result.stdout.decode(errors="replace")
    if result.returncode != 0:
        print("%s failed (%d); see %s" % (name, result.returncode, out_path), file=sys.stderr)
    return text, result.returncode == 0


def figures_of(text):
    found = {}
    for line in text.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[0] == "figure":
            found[parts[1]] = float(parts[2])
    return found


def derived(figures, xml_json):
    """The figures that come from several others or from a JSON report."""
    if os.path.exists(xml_json):
        with open(xml_json) as f:
            for entry in json.load(f)["benchmarks"]:
                key = {"BM_MirelinkXml": "xml_ms", "BM_Expat": "expat_ms"}.get(entry["run_name"])
                if key and entry.get("aggregate_name") == "median":
                    figures[key] = entry["real_time"]
    figures["http_file_peak_mib"] = max(figures.get("http_sized_file_peak_mib", 0),
                                        figures.get("http_chunked_file_peak_mib", 0))
    figures["http_piece_mib"] = PIECE_MIB


def number(value):
    return "%.3g" % value if abs(value) < 100 else "%.0f" % value


def row_cells(row, figures):
    title, key, unit, base_key, base_label, (target, ratio_test) = row
    if key not in figures:
        return [title, "missing", "", "", target, "no"]
    value = figures[key]
    shown = "%s %s" % (number(value), unit)
    baseline, ratio, met = "-", "-", "-"
    if base_key is not None:
        base = figures[base_key]
        baseline = "%s %s (%s)" % (number(base), unit, base_label)
        ratio = "%.2f" % (value / base)
    if ratio_test is not None:
        # Judged as shown: a figure is not failed on a digit the table hides.
        met = "yes" if ratio_test(float(ratio)) else "no"
    elif target.startswith("<"):
        limit = float(target.split()[1])
        met = "yes" if (value <= limit if target.startswith("<=") else value < limit) else "no"
    if key in COUNT_ROWS:
        shown = "%d / %d" % (value, figures.get(COUNT_ROWS[key], -1))
        met = "-" if target == "-" else ("yes" if shown == target else "no")
    if key == "sessions_per_s":
        ok = figures["sessions_succeeded"] == figures["sessions_started"]
        shown = "%d of %d ok, %s" % (figures["sessions_succeeded"], figures["sessions_started"],
                                     shown)
        met = "yes" if ok else "no"
    if key == "chain_crowd_peak_mib":
        exact, clients = figures["chain_crowd_exact"], figures["chain_crowd_clients"]
        shown = "%d of %d exact, %s" % (exact, clients, shown)
        met = "yes" if exact == clients and value <= 50 else "no"
    if key == "sequential_mib_added":
        added = (figures["sequential_descriptors_added"], figures["sequential_threads_added"])
        shown = "%d of %d ok; %d / %d / %s MiB" % (figures["sequential_succeeded"],
                                                 figures["sequential_started"], added[0],
                                                 added[1], number(value))
        flat = added == (0, 0) and value <= 1
        met = "yes" if flat and figures["sequential_succeeded"] == figures["sequential_started"] \
            else "no"
    return [title, shown, baseline, ratio, target, met]


def main():
    build = sys.argv[1]
    figures, failed = {}, []
    with tempfile.TemporaryDirectory() as scratch:
        xml_json = os.path.join(scratch, "xml.json")
        for name, command in programs(build, xml_json):
            text, ok = run(name, command, os.path.join(build, "bench", name + ".out"))
            figures.update(figures_of(text))
            if not ok:
                failed.append(name)
        derived(figures, xml_json)
    header = ["figure", "value", "baseline (same run)", "ratio", "target", "met"]
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    for row in ROWS:
        print("| " + " | ".join(row_cells(row, figures)) + " |")
    if failed:
        print("failed: " + ", ".join(failed), file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
