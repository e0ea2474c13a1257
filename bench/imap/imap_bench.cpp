// Prints what the IMAP service costs through the whole chain (the real web
// mail client, HTTP through the proxy settings, the local HTTPMail service):
//  - SELECT of a 10,000-message folder and FETCH 1:* (UID FLAGS RFC822.SIZE),
//    beside curl sending the listing PROPFIND alone;
//  - a header sweep FETCH 1:* (BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE)])
//    over 1,000 messages, answered from the listing's header properties, and
//    the same sweep from a service that lists none (one GET each);
//  - SEARCH TEXT of a non-ASCII word over 1,000 messages of mixed
//    encodings once their headers are cached, beside the same search for an
//    ASCII word;
//  - the peak resident memory added while a 200 MB message is fetched;
//  - APPEND of a 20 MB message (a PUT at the service), beside curl sending
//    the same PUT, and the peak resident memory the first APPEND added.
// The IMAP client counts what it reads without keeping message data.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "bench/figure.h"
#include "bench/process_memory.h"
#include "core/dir_util.h"
#include "core/thread.h"
#include "imap/imap_server.h"
#include "settings/config.h"
#include "tests/http/peer_process.h"
#include "tests/support/line_client.h"
#include "tests/support/process.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/temp_dir.h"
#include "webmail/hotmail.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 9;
const char kUser[] = "bob@msn.com";
const char kPassword[] = "builder";

double Ms(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A plain IMAP client over the test line client: sends a command and reads
// up to its tagged reply, skipping literal data without keeping it.
class Client {
public:
    explicit Client(int port) : line(port, 600000) { line.ReadLine(); }
    // The last untagged response line of the last command.
    const std::string& Untagged() const { return untagged; }
    // The bytes of literal data the answer carried.
    uint64_t Run(const std::string& command, bool* ok = nullptr) {
        line.Send("b " + command + "\r\n");
        uint64_t data = 0;
        for (;;) {
            std::string text = line.ReadLine();
            size_t open = text.rfind('{');
            if (text.size() > 3 && text.compare(text.size() - 3, 3, "}\r\n") == 0 &&
                open != std::string::npos) {
                uint64_t size = std::stoull(text.substr(open + 1));
                data += size;
                Skip(size);
                continue;
            }
            if (text.rfind("* ", 0) == 0) untagged = text;
            if (text.rfind("b ", 0) == 0) {
                if (ok) *ok = text.rfind("b OK", 0) == 0;
                if (text.rfind("b OK", 0) != 0) std::fprintf(stderr, "%s", text.c_str());
                return data;
            }
        }
    }

private:
    void Skip(uint64_t size) {
        while (size > 0) {
            size_t piece = static_cast<size_t>(std::min<uint64_t>(size, 1 << 20));
            line.ReadExactly(piece);
            size -= piece;
        }
    }
    testing_support::LineClient line;
    std::string untagged;
};

// The local service on a free port with the switches that give it the account.
std::vector<std::string> ServiceCommand(int port, std::vector<std::string> switches) {
    std::vector<std::string> command = {HTTPMAIL_BIN, "--port", std::to_string(port)};
    command.insert(command.end(), switches.begin(), switches.end());
    return command;
}

// Generated messages of the service's own (--fill COUNT x SIZE).
std::vector<std::string> Filled(const std::string& fill, bool headerProperties = true) {
    std::vector<std::string> switches = {"--fill", fill};
    if (!headerProperties) switches.push_back("--no-header-properties");
    return switches;
}

struct Chain {
    explicit Chain(std::vector<std::string> switches)
        : servicePort(testing_support::FreeLoopbackPort()),
          service(ServiceCommand(servicePort, std::move(switches)), servicePort, "/dev/null") {
        Config::Values values;
        values.address = "127.0.0.1";
        values.port = 0;
        values.portSmtp = 0;
        values.portImap = 0;
        values.timeout = 600;
        values.delay = 0;
        values.proxyAddress = "127.0.0.1";
        values.proxyPort = servicePort;
        Config::Instance().SetValues(values);
        ImapServer::Options options;
        options.stateFolder = state.Path() + "/";
        server = std::make_unique<ImapServer>(MakeHotmail, options);
        server->Start();
        while (server->ListeningPort() == 0) vxw::Sleep(10);
    }
    ~Chain() { server->Stop(); }
    std::unique_ptr<Client> LoggedIn() {
        auto client = std::make_unique<Client>(server->ListeningPort());
        client->Run(std::string("LOGIN ") + kUser + " " + kPassword);
        return client;
    }
    // ms of curl sending the listing PROPFIND the gateway sends, 0 on failure.
    double CurlPropfindMs() {
        const std::string body =
            "<?xml version=\"1.0\"?><D:propfind xmlns:D=\"DAV:\" "
            "xmlns:hm=\"urn:schemas:httpmail:\" "
            "xmlns:m=\"urn:schemas:mailheader:\"><D:prop><D:isfolder/><D:getcontentlength/"
            "><hm:read/>"
            "<hm:date/><m:subject/><m:from/><m:to/><m:date/></D:prop></D:propfind>";
        auto start = Clock::now();
        auto result = testing_support::RunProcess(
            {"curl", "-sS", "-o", "/dev/null", "-u", std::string(kUser) + ":" + kPassword, "-x",
             "http://127.0.0.1:" + std::to_string(servicePort), "-X", "PROPFIND", "-H",
             "Depth: 1,noroot", "-H", "Content-Type: text/xml", "--data-binary", body,
             "http://services.msn.com/mail/bob%40msn.com/inbox/"});
        if (result.exitCode != 0) std::fprintf(stderr, "curl: %s\n", result.err.c_str());
        return result.exitCode == 0 ? Ms(start) : 0;
    }

    int servicePort;
    testing_support::PeerProcess service;
    testing_support::TempDir state;
    std::unique_ptr<ImapServer> server;
};

void SelectAndFlags() {
    Chain chain(Filled("10000x2000"));
    auto client = chain.LoggedIn();
    // The first SELECT gives every message its UID and writes the map.
    auto start = Clock::now();
    client->Run("SELECT INBOX");
    double firstMs = Ms(start);
    double best = 1e9, curlBest = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        start = Clock::now();
        bool ok = false;
        client->Run("SELECT INBOX", &ok);
        client->Run("FETCH 1:* (UID FLAGS RFC822.SIZE)");
        if (ok) best = std::min(best, Ms(start));
        double curl = chain.CurlPropfindMs();
        if (curl > 0) curlBest = std::min(curlBest, curl);
    }
    client->Run("LOGOUT");
    std::printf(
        "SELECT of 10,000 messages + FETCH 1:* (UID FLAGS RFC822.SIZE): %8.1f ms "
        "(first SELECT, UIDs given and written: %.1f ms)\n",
        best, firstMs);
    std::printf("curl sending the listing PROPFIND alone:                      %8.1f ms\n",
                curlBest);
    PrintFigure("imap_select_fetch_ms", best);
    PrintFigure("imap_propfind_curl_ms", curlBest);
    PrintFigure("imap_first_select_ms", firstMs);
}

// ms of the best of three header sweeps, each in a new session (the
// per-session cache starts empty).
double HeaderSweepMs(bool headerProperties) {
    Chain chain(Filled("1000x4000", headerProperties));
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto client = chain.LoggedIn();
        client->Run("EXAMINE INBOX");
        auto start = Clock::now();
        client->Run("FETCH 1:* (BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE)])");
        best = std::min(best, Ms(start));
        client->Run("LOGOUT");
    }
    return best;
}

void HeaderSweeps() {
    double listed = HeaderSweepMs(true);
    double downloaded = HeaderSweepMs(false);
    std::printf("header sweep of 1,000, from the listing:                 %8.1f ms\n", listed);
    std::printf("header sweep of 1,000, without header properties (GETs): %8.1f ms\n", downloaded);
    PrintFigure("imap_sweep_listed_ms", listed);
    PrintFigure("imap_sweep_downloaded_ms", downloaded);
}

// A mail folder of 1,000 messages of some 4 kB as mail comes: an encoded
// subject, a quoted-printable UTF-8 text and a base64 ISO-8859-1 HTML
// alternative. Only the last one holds the words searched for.
void WriteSearchFolder(const testing_support::TempDir& folder) {
    const std::string account = folder.File(kUser);
    vxw::DirUtil::CreatePath(account + "/inbox");
    std::ofstream(account + "/account") << "password = " << kPassword << "\nauth = basic\n";
    std::string text, html;
    for (int line = 0; line < 24; ++line) {
        text += "Caf=C3=A9 cr=C3=A8me and a sentence that runs on for a whi=\r\nle, line " +
                std::to_string(line) + "\r\n";
        html += "PHA+Q2Fm6SBjcuhtZSBhbmQgYSBzZW50ZW5jZSB0aGF0IHJ1bnMgb248L3A+DQo=\r\n";
    }
    for (int i = 1; i <= 1000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/inbox/%04d.eml", i);
        std::ofstream out(account + name, std::ios::binary);
        out << "From: =?utf-8?q?Jos=C3=A9?= <jose@example.org>\r\nTo: bob@msn.com\r\n"
               "Subject: =?utf-8?b?UsOpdW5pb24gZGUgbCfDqXF1aXBl?= "
            << i
            << "\r\n"
               "MIME-Version: 1.0\r\nContent-Type: multipart/alternative; boundary=\"a\"\r\n\r\n"
               "--a\r\nContent-Type: text/plain; charset=utf-8\r\n"
               "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
            << text << (i == 1000 ? "=CE=A3=CE=BF=CF=86=CE=AF=CE=B1 zebra\r\n" : "")
            << "--a\r\nContent-Type: text/html; charset=iso-8859-1\r\n"
               "Content-Transfer-Encoding: base64\r\n\r\n"
            << html << "--a--\r\n";
    }
}

// ms of one search with keys; 0 when it did not find the last message.
// cpuMs gets the processor time the process (the gateway and the client)
// spent on it, which the machine's load moves less.
double SearchMs(Client& client, const std::string& keys, double& cpuMs) {
    auto start = Clock::now();
    std::clock_t cpu = std::clock();
    client.Run("SEARCH " + keys);
    double ms = Ms(start);
    cpuMs = (std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC;
    if (client.Untagged() == "* SEARCH 1000\r\n") return ms;
    std::fprintf(stderr, "SEARCH %s: %s", keys.c_str(), client.Untagged().c_str());
    return 0;
}

// Best of seven of each search, taking turns in one session whose header
// cache a sweep warmed: each search downloads every message again (the
// session keeps one message's bytes), so the machine's load moves both.
void Searches() {
    testing_support::TempDir folder;
    WriteSearchFolder(folder);
    Chain chain({"--mail-dir", folder.Path()});
    const std::string word = "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8A\xCE\x91";  // ΣΟΦΊΑ
    const std::string keys[] = {
        "CHARSET UTF-8 TEXT {" + std::to_string(word.size()) + "+}\r\n" + word, "TEXT ZEBRA"};
    auto client = chain.LoggedIn();
    client->Run("EXAMINE INBOX");
    client->Run("FETCH 1:* (BODY.PEEK[HEADER])");
    double best[2] = {1e9, 1e9}, cpuBest[2] = {1e9, 1e9};
    for (int i = 0; i < 7; ++i) {
        for (int k = 0; k < 2; ++k) {
            double cpu = 0;
            best[k] = std::min(best[k], SearchMs(*client, keys[k], cpu));
            cpuBest[k] = std::min(cpuBest[k], cpu);
        }
    }
    client->Run("LOGOUT");
    std::printf(
        "SEARCH TEXT of a non-ASCII word over 1,000 messages: %8.1f ms (%.1f ms processor)\n",
        best[0], cpuBest[0]);
    std::printf(
        "SEARCH TEXT of an ASCII word over the same:          %8.1f ms (%.1f ms processor)\n",
        best[1], cpuBest[1]);
    PrintFigure("imap_search_text_ms", best[0]);
    PrintFigure("imap_search_text_ascii_ms", best[1]);
}

// A mail folder holding one message of size bytes (larger than the service
// generates) in the account's inbox.
void WriteBigMessage(const testing_support::TempDir& folder, uint64_t size) {
    const std::string account = folder.File(kUser);
    vxw::DirUtil::CreatePath(account + "/inbox");
    std::ofstream(account + "/account") << "password = " << kPassword << "\nauth = basic\n";
    std::ofstream out(account + "/inbox/big.eml", std::ios::binary);
    const std::string header = "From: a@example.org\r\nSubject: big\r\n\r\n";
    const std::string line = std::string(76, 'x') + "\r\n";
    out << header;
    uint64_t written = header.size();
    for (; written + line.size() <= size; written += line.size()) out << line;
    out << std::string(size - written, 'y');
}

void BigMessage() {
    const uint64_t size = 200ull * 1000 * 1000;
    testing_support::TempDir folder;
    WriteBigMessage(folder, size);
    Chain chain({"--mail-dir", folder.Path()});
    auto client = chain.LoggedIn();
    client->Run("EXAMINE INBOX");
    long before = StatusKb("VmRSS");
    ResetPeakMemory();
    auto start = Clock::now();
    uint64_t got = client->Run("FETCH 1 BODY.PEEK[]");
    double ms = Ms(start);
    long added = StatusKb("VmHWM") - before;
    client->Run("LOGOUT");
    std::printf(
        "FETCH of a 200 MB message: %.1f MB in %.0f ms, peak resident memory added "
        "%.1f MiB\n",
        got / 1e6, ms, added / 1024.0);
    PrintFigure("imap_big_fetch_peak_mib", added / 1024.0);
    PrintFigure("imap_big_message_mib", size / (1024.0 * 1024.0));
    PrintFigure("imap_big_fetch_ms", ms);
}

// A raw client's APPEND of message (LITERAL+, as a client that may sends
// it): the seconds until the tagged reply, or -1 when it was no OK.
double AppendSeconds(testing_support::LineClient& client, const std::string& message) {
    auto start = Clock::now();
    client.Send("a APPEND INBOX {" + std::to_string(message.size()) + "+}\r\n");
    client.Send(message);
    client.Send("\r\n");
    std::string reply;
    do {
        reply = client.ReadLine();
    } while (reply.rfind("a ", 0) != 0);
    double ms = Ms(start);
    if (reply.rfind("a OK", 0) != 0) std::fprintf(stderr, "%s", reply.c_str());
    return reply.rfind("a OK", 0) == 0 ? ms : -1;
}

void Append() {
    constexpr int kAppendRuns = 5;
    testing_support::TempDir folder;
    const std::string path = folder.File("message.eml");
    std::string message = "From: a@example.org\r\nSubject: appended\r\n\r\n";
    const std::string line = std::string(76, 'x') + "\r\n";
    while (message.size() + line.size() <= 20000000) message += line;
    std::ofstream(path, std::ios::binary) << message;
    Chain chain({});
    testing_support::LineClient client(chain.server->ListeningPort(), 600000);
    client.ReadLine();
    client.Send(std::string("a LOGIN ") + kUser + " " + kPassword + "\r\n");
    client.ReadLine();
    long before = StatusKb("VmRSS");
    ResetPeakMemory();
    double best = AppendSeconds(client, message);
    long added = StatusKb("VmHWM") - before;
    double curlBest = 1e9;
    for (int i = 0; i < kAppendRuns; ++i) {
        auto start = Clock::now();
        auto result = testing_support::RunProcess(
            {"curl", "-sS", "-f", "-o", "/dev/null", "-u", std::string(kUser) + ":" + kPassword,
             "-x", "http://127.0.0.1:" + std::to_string(chain.servicePort), "-T", path,
             "http://services.msn.com/mail/bob%40msn.com/inbox/curl-" + std::to_string(i) +
                 ".eml"});
        if (result.exitCode == 0)
            curlBest = std::min(curlBest, Ms(start));
        else
            std::fprintf(stderr, "curl: %s\n", result.err.c_str());
        double ms = AppendSeconds(client, message);
        if (ms >= 0) best = best < 0 ? ms : std::min(best, ms);
    }
    std::printf("APPEND of a 20 MB message (a PUT at the service): %8.1f ms, first one added "
                "%.2f MiB of resident memory\n",
                best, added / 1024.0);
    std::printf("curl PUT of the same bytes straight to the service: %8.1f ms\n", curlBest);
    PrintFigure("imap_append_ms", best);
    PrintFigure("imap_append_curl_ms", curlBest);
    PrintFigure("imap_append_peak_mib", added / 1024.0);
}

}  // namespace

int main() {
    // Settings, log and state of its own beside the program, however it is started.
    testing_support::PrepareTestProcess();
    try {
        // First, while no earlier transfer left freed pages for it to reuse.
        Append();
        SelectAndFlags();
        HeaderSweeps();
        Searches();
        BigMessage();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "imap_bench: %s\n", failure.what());
        return 1;
    }
    return 0;
}
