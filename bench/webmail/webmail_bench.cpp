// Prints what a RETR of a 20 MiB message costs through the whole chain: the
// POP3 service with the real web mail client, HTTP through the proxy
// settings to the local HTTPMail service. The POP3 client counts what it
// reads without keeping it, so the peak resident memory measured here is the
// gateway's; a plain HTTP download of the same message by curl (in a process
// of its own) is the speed to compare with. Then the web mail client alone:
// messages of 20 MB and 200 MB downloaded into a sink that counts and drops
// the bytes, with the peak resident memory each adds.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/figure.h"
#include "bench/process_memory.h"
#include "core/thread.h"
#include "pop3/pop_server.h"
#include "settings/config.h"
#include "tests/http/peer_process.h"
#include "tests/support/line_client.h"
#include "tests/support/process.h"
#include "tests/support/settings_sandbox.h"
#include "webmail/hotmail.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kBigMessage = 20 * 1024 * 1024;
constexpr size_t kLargeMessage = 200 * 1000 * 1000;
constexpr int kRuns = 5;
const char kAccount[] = "bob@msn.com";
const char kCredentials[] = "bob@msn.com:builder";

double MibPerSecond(Clock::time_point start) {
    return kBigMessage / (1024.0 * 1024.0) /
           std::chrono::duration<double>(Clock::now() - start).count();
}

// MiB/s of a curl download through the service as proxy, 0 when it failed.
double HttpMibPerSecond(const std::string& proxy, const std::string& url) {
    auto start = Clock::now();
    auto result = testing_support::RunProcess(
        {"curl", "-sS", "-o", "/dev/null", "-u", kCredentials, "-x", proxy, url});
    if (result.exitCode != 0) std::fprintf(stderr, "curl: %s\n", result.err.c_str());
    return result.exitCode == 0 ? MibPerSecond(start) : 0;
}

// MiB/s of RETR 3 (login not counted), 0 when it failed.
double RetrMibPerSecond(int port) {
    testing_support::LineClient client(port, 60000);
    client.ReadLine();
    if (client.Command("USER bob@msn.com").rfind("+OK", 0) != 0 ||
        client.Command("PASS builder").rfind("+OK", 0) != 0)
        return 0;
    auto start = Clock::now();
    client.Send("RETR 3\r\n");
    // Nothing follows the answer until the next command, so it ends where
    // the received bytes first end in the terminator.
    std::vector<char> buffer(1 << 20);
    std::string tail;
    while (tail != "\r\n.\r\n") {
        size_t count = client.Socket().Receive(buffer.data(), buffer.size());
        if (count == 0) return 0;
        tail.append(buffer.data() + count - std::min<size_t>(count, 5), std::min<size_t>(count, 5));
        tail.erase(0, tail.size() > 5 ? tail.size() - 5 : 0);
    }
    double speed = MibPerSecond(start);
    client.Command("QUIT");
    return speed;
}

// Counts what reaches it and lets it go.
struct CountingSink : MessageSink {
    void Begin() override { began = true; }
    bool Put(const char*, size_t size) override {
        received += size;
        return true;
    }
    bool began = false;
    size_t received = 0;
};

struct SinkFigures {
    double mibPerSecond = 0;
    double peakAddedMib = 0;
};

// A download of the account's message at url by the web mail client into a
// counting sink: speed (best of runs) and the peak resident memory the first
// one added. Zeros when it failed or brought another size.
SinkFigures DownloadIntoSink(const std::string& url, size_t size, int runs) {
    SinkFigures figures;
    Hotmail hotmail;
    if (!hotmail.Login(kAccount, "builder")) return figures;
    for (int run = 0; run < runs; ++run) {
        long rssBefore = StatusKb("VmRSS");
        ResetPeakMemory();
        CountingSink sink;
        auto start = Clock::now();
        hotmail.GetMessage(url, sink);
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!sink.began || sink.received != size) return SinkFigures();
        if (run == 0) figures.peakAddedMib = (StatusKb("VmHWM") - rssBefore) / 1024.0;
        figures.mibPerSecond =
            std::max(figures.mibPerSecond, sink.received / (1024.0 * 1024.0) / seconds);
    }
    return figures;
}

// The service's sample accounts in folder, with a message of kLargeMessage
// bytes added to the account's inbox (it sorts last there).
bool WriteLargeMailbox(const std::string& folder) {
    auto exported = testing_support::RunProcess({HTTPMAIL_BIN, "--export-samples", folder});
    if (exported.exitCode != 0) return false;
    std::ofstream out(folder + "/" + kAccount + "/inbox/999-large.eml", std::ios::binary);
    const std::string head = "From: a@example.com\r\nSubject: large\r\n\r\n";
    const std::string line = std::string(76, 'x') + "\r\n";
    out << head;
    for (size_t at = head.size(); at + line.size() <= kLargeMessage; at += line.size()) out << line;
    out << std::string(kLargeMessage - head.size() - (kLargeMessage - head.size()) / line.size() *
                                                        line.size(),
                       'y');
    return static_cast<bool>(out);
}

struct Listed {
    std::string id;
    size_t size = 0;
};

// The last message of the account's inbox ("inbox/ID SIZE" lines): the big one.
Listed BigMessage(int servicePort) {
    auto page = testing_support::RunProcess(
        {"curl", "-sS",
         "http://127.0.0.1:" + std::to_string(servicePort) + "/_admin/mailbox/" + kAccount});
    size_t start = page.out.rfind("inbox/") + 6, blank = page.out.find(' ', start);
    return {page.out.substr(start, blank - start),
            std::strtoull(page.out.c_str() + blank + 1, nullptr, 10)};
}

std::string MessageUrl(const Listed& message) {
    return "http://services.msn.com/mail/bob%40msn.com/inbox/" + message.id;
}

}  // namespace

int main() {
    // Settings, log and state of its own beside the program, however it is started.
    testing_support::PrepareTestProcess();
    int servicePort = testing_support::FreeLoopbackPort();
    testing_support::PeerProcess service({HTTPMAIL_BIN, "--port", std::to_string(servicePort),
                                          "--fill", "1x" + std::to_string(kBigMessage)},
                                         servicePort, "/dev/null");

    Config::Values values;
    values.address = "127.0.0.1";
    values.port = 0;
    values.timeout = 60;
    values.delay = 0;
    values.operaCompat = true;
    values.proxyAddress = "127.0.0.1";
    values.proxyPort = servicePort;
    Config::Instance().SetValues(values);
    PopServer server(MakeHotmail);
    server.Start();
    while (server.ListeningPort() == 0) vxw::Sleep(10);

    const Listed big = BigMessage(servicePort);
    std::string http = MessageUrl(big);
    std::string proxy = "http://127.0.0.1:" + std::to_string(servicePort);

    long rssBefore = StatusKb("VmRSS");
    ResetPeakMemory();
    double retrBest = RetrMibPerSecond(server.ListeningPort());
    long peakAdded = StatusKb("VmHWM") - rssBefore;
    double httpBest = 0;
    for (int i = 0; i < kRuns; ++i) {
        httpBest = std::max(httpBest, HttpMibPerSecond(proxy, http));
        retrBest = std::max(retrBest, RetrMibPerSecond(server.ListeningPort()));
    }
    server.Stop();
    SinkFigures sink20 = DownloadIntoSink(http, big.size, kRuns);
    SinkFigures sink200;
    {
        // A second service for the large message, started only now: it holds
        // it in memory. Generated messages are at most 64 MiB; this one is a
        // file in a mail folder laid out as the service exports its samples.
        char folder[] = "/tmp/mirelink-bench-XXXXXX";
        if (mkdtemp(folder) == nullptr || !WriteLargeMailbox(folder)) return 1;
        int largePort = testing_support::FreeLoopbackPort();
        {
            testing_support::PeerProcess large(
                {HTTPMAIL_BIN, "--port", std::to_string(largePort), "--mail-dir", folder},
                largePort, "/dev/null");
            values.proxyPort = largePort;
            Config::Instance().SetValues(values);
            const Listed message = BigMessage(largePort);
            sink200 = DownloadIntoSink(MessageUrl(message), message.size, 2);
        }
        testing_support::RunProcess({"rm", "-rf", folder});
    }
    std::printf("HTTP GET of the 20 MiB message by curl:  %8.1f MiB/s\n", httpBest);
    std::printf("RETR of it through the gateway:          %8.1f MiB/s (%.0f%% of the HTTP GET)\n",
                retrBest, 100.0 * retrBest / httpBest);
    std::printf(
        "peak resident memory added by the first RETR: %.1f MiB (%.2f x the message; "
        "target <= 3)\n",
        peakAdded / 1024.0, peakAdded * 1024.0 / kBigMessage);
    std::printf(
        "web mail client into a counting sink, 20 MiB: %8.1f MiB/s, peak memory added "
        "%.2f MiB\n",
        sink20.mibPerSecond, sink20.peakAddedMib);
    std::printf(
        "web mail client into a counting sink, 200 MB: %8.1f MiB/s, peak memory added "
        "%.2f MiB\n",
        sink200.mibPerSecond, sink200.peakAddedMib);
    PrintFigure("webmail_sink_mibs", sink20.mibPerSecond);
    PrintFigure("webmail_sink_peak_mib", sink20.peakAddedMib);
    PrintFigure("webmail_sink_200mb_mibs", sink200.mibPerSecond);
    PrintFigure("webmail_sink_200mb_peak_mib", sink200.peakAddedMib);
    PrintFigure("webmail_retr_mibs", retrBest);
    PrintFigure("webmail_curl_mibs", httpBest);
    PrintFigure("webmail_retr_peak_mib", peakAdded / 1024.0);
    PrintFigure("webmail_message_mib", kBigMessage / (1024.0 * 1024.0));
    return 0;
}
