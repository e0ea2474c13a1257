// Prints what the IMAP service costs through the whole chain (the real web
// mail client, HTTP through the proxy settings, the local HTTPMail service):
//  - SELECT of a 10,000-message folder and FETCH 1:* (UID FLAGS RFC822.SIZE),
//    beside curl sending the listing PROPFIND alone;
//  - a header sweep FETCH 1:* (BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE)])
//    over 1,000 messages, answered from the listing's header properties, and
//    the same sweep from a service that lists none (one GET each);
//  - the peak resident memory added while a 200 MB message is fetched;
//  - APPEND of a 20 MB message (a PUT at the service), beside curl sending
//    the same PUT, and the peak resident memory the first APPEND added.
// The IMAP client counts what it reads without keeping message data.

#include <algorithm>
#include <chrono>
#include <cstdio>
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
        BigMessage();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "imap_bench: %s\n", failure.what());
        return 1;
    }
    return 0;
}
