// Prints what a RETR of a 20 MiB message costs through the whole chain: the
// POP3 service with the real web mail client, HTTP through the proxy
// settings to the local HTTPMail service. The POP3 client counts what it
// reads without keeping it, so the peak resident memory measured here is the
// gateway's; a plain HTTP download of the same message by curl (in a process
// of its own) is the speed to compare with.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/figure.h"
#include "bench/process_memory.h"
#include "core/config.h"
#include "core/thread.h"
#include "pop3/pop_server.h"
#include "tests/http/peer_process.h"
#include "tests/support/line_client.h"
#include "tests/support/process.h"
#include "webmail/hotmail.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kBigMessage = 20 * 1024 * 1024;
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

// The last message of the account's inbox ("inbox/ID SIZE" lines): the big one.
std::string BigMessageId(int servicePort) {
    auto page = testing_support::RunProcess(
        {"curl", "-sS",
         "http://127.0.0.1:" + std::to_string(servicePort) + "/_admin/mailbox/" + kAccount});
    size_t start = page.out.rfind("inbox/") + 6;
    return page.out.substr(start, page.out.find(' ', start) - start);
}

}  // namespace

int main() {
    signal(SIGPIPE, SIG_IGN);
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

    std::string http =
        "http://services.msn.com/mail/bob%40msn.com/inbox/" + BigMessageId(servicePort);
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
    std::printf("HTTP GET of the 20 MiB message by curl:  %8.1f MiB/s\n", httpBest);
    std::printf("RETR of it through the gateway:          %8.1f MiB/s (%.0f%% of the HTTP GET)\n",
                retrBest, 100.0 * retrBest / httpBest);
    std::printf(
        "peak resident memory added by the first RETR: %.1f MiB (%.2f x the message; "
        "target <= 3)\n",
        peakAdded / 1024.0, peakAdded * 1024.0 / kBigMessage);
    PrintFigure("webmail_retr_mibs", retrBest);
    PrintFigure("webmail_curl_mibs", httpBest);
    PrintFigure("webmail_retr_peak_mib", peakAdded / 1024.0);
    PrintFigure("webmail_message_mib", kBigMessage / (1024.0 * 1024.0));
    return 0;
}
