// Prints the POP3 service's transfer and load figures, with an in-memory web
// mail account behind it (no HTTP):
//  - RETR of a 20 MiB message over loopback (Delay 0, OperaCompat on) beside a
//    plain loopback send/recv of the same 20 MiB, and the peak resident memory
//    a RETR of 20 MiB and of 200 MiB adds (the message streams through);
//  - 1,000 POP3 sessions at once (login, LIST, RETR of a 10 kB message, QUIT),
//    with the peak memory and descriptors they add;
//  - 5,000 sessions one after the other: descriptors, threads and memory stay flat.
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <dirent.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/figure.h"
#include "bench/loopback.h"
#include "bench/process_memory.h"
#include "core/thread.h"
#include "pop3/pop_server.h"
#include "settings/config.h"
#include "tests/support/memory_account.h"
#include "tests/support/settings_sandbox.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kBigMessage = 20 * 1024 * 1024;
constexpr size_t kHugeMessage = 200 * 1024 * 1024;
constexpr size_t kChunk = 256 * 1024;
constexpr int kSessions = 1000;
constexpr int kSequentialSessions = 5000;
constexpr int kRuns = 7;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Mib(double bytes) {
    return bytes / (1024.0 * 1024.0);
}

// A message of the given size, in 76-character lines. Base64-like lines
// (a large attachment) never start with a dot; in dotted text every tenth
// line does, so every block needs stuffing.
std::string MakeMessage(size_t size, bool dotted) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text = "Subject: big\r\nContent-Type: text/plain\r\n\r\n";
    for (size_t line = 0; text.size() < size; ++line) {
        text += dotted && line % 10 == 0 ? '.' : kAlphabet[line % 64];
        for (int i = 0; i < 73; ++i) text += kAlphabet[(line + i) % 64];
        text += "\r\n";
    }
    text.resize(size - 2);
    return text + "\r\n";
}

// A plain blocking POP3 client; counts what it reads without keeping it.
class Client {
public:
    explicit Client(int port, size_t bufferSize = kChunk)
        : fd(ConnectLoopback(port)), buffer(bufferSize) {}
    ~Client() {
        if (fd >= 0) ::close(fd);
    }
    bool Ok() const { return fd >= 0; }
    bool Send(const std::string& line) {
        std::string bytes = line + "\r\n";
        return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<long>(bytes.size());
    }
    // Reads up to and including terminator; returns the bytes read, 0 on
    // failure. The server sends nothing behind an answer until the next
    // command, and dot-stuffing keeps the terminator out of the text, so the
    // answer ends where the received bytes first end in the terminator.
    size_t ReadUntil(const std::string& terminator, std::string* keep = nullptr) {
        std::string tail;  // the last bytes received, at most the terminator's length
        size_t total = 0;
        for (;;) {
            long count = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (count <= 0) return 0;
            total += static_cast<size_t>(count);
            if (keep) keep->append(buffer.data(), static_cast<size_t>(count));
            size_t take = std::min(static_cast<size_t>(count), terminator.size());
            tail.append(buffer.data() + count - take, take);
            if (tail.size() > terminator.size()) tail.erase(0, tail.size() - terminator.size());
            if (tail == terminator) return total;
        }
    }
    bool Expect(const std::string& command, const char* answerStart) {
        std::string answer;
        return Send(command) && ReadUntil("\r\n", &answer) && answer.rfind(answerStart, 0) == 0;
    }
    bool LogIn() {
        std::string greeting;
        return ReadUntil("\r\n", &greeting) && Expect("USER user", "+OK") &&
               Expect("PASS pw", "+OK");
    }

private:
    int fd;
    std::vector<char> buffer;
};

double LoopbackMibPerSecond(const std::string& data) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::thread sender([&] {
        int fd = ConnectLoopback(ntohs(address.sin_port));
        for (size_t at = 0; at < data.size();) {
            long sent =
                ::send(fd, data.data() + at, std::min(kChunk, data.size() - at), MSG_NOSIGNAL);
            if (sent <= 0) break;
            at += static_cast<size_t>(sent);
        }
        ::close(fd);
    });
    int fd = ::accept(listener, nullptr, nullptr);
    auto start = Clock::now();
    std::vector<char> buffer(kChunk);
    size_t received = 0;
    for (long count; (count = ::recv(fd, buffer.data(), buffer.size(), 0)) > 0;)
        received += static_cast<size_t>(count);
    double seconds = Seconds(start);
    sender.join();
    ::close(fd);
    ::close(listener);
    return Mib(static_cast<double>(received)) / seconds;
}

double RetrMibPerSecond(Client& client, size_t& answerBytes);

// One RETR of message 1; the MiB/s of the answer, 0 when it failed.
double RetrMibPerSecond(int port, size_t& answerBytes) {
    Client client(port);
    if (!client.Ok() || !client.LogIn()) return 0;
    return RetrMibPerSecond(client, answerBytes);
}

double RetrMibPerSecond(Client& client, size_t& answerBytes) {
    auto start = Clock::now();
    client.Send("RETR 1");
    answerBytes = client.ReadUntil("\r\n.\r\n");
    double seconds = Seconds(start);
    client.Expect("QUIT", "+OK");
    return answerBytes == 0 ? 0 : Mib(static_cast<double>(answerBytes)) / seconds;
}

// Lets threads wait, without spinning, until a number of them have arrived.
class Gate {
public:
    explicit Gate(int count) : waiting(count) {}
    void ArriveAndWait() {
        std::unique_lock<std::mutex> lock(mutex);
        if (--waiting == 0) opened.notify_all();
        opened.wait(lock, [this] { return waiting <= 0; });
    }

private:
    std::mutex mutex;
    std::condition_variable opened;
    int waiting;
};

// Logs in, waits until every other session of the crowd has too, then
// lists, fetches and quits: the sessions are all open at the same time.
bool OneSession(int port, Gate& loggedIn) {
    Client client(port, 16 * 1024);
    bool ok = client.Ok() && client.LogIn();
    loggedIn.ArriveAndWait();
    if (!ok || !client.Send("LIST")) return false;
    if (client.ReadUntil("\r\n.\r\n") == 0 || !client.Send("RETR 1")) return false;
    std::string answer;
    if (client.ReadUntil("\r\n.\r\n", &answer) < 10 * 1024) return false;
    return client.Expect("QUIT", "+OK Bye bye...");
}

// A server with one message in its mailbox, 20 MiB unless said otherwise.
struct RetrSetup {
    explicit RetrSetup(bool dotted, size_t size = kBigMessage) : server(service.Factory()) {
        service.AddAccount("user", "pw");
        service.AddMessage("user", "inbox", MakeMessage(size, dotted));
        server.Start();
        while (server.ListeningPort() == 0) vxw::Sleep(10);
    }
    testing_support::MemoryService service;
    PopServer server;
};

// The peak resident memory (MiB) the first RETR of a message of the given
// size adds, with the client and the mailbox in place before it starts.
double RetrPeakMib(size_t size) {
    RetrSetup setup(true, size);
    Client client(setup.server.ListeningPort());
    if (!client.Ok() || !client.LogIn()) return -1;
    long rssBefore = StatusKb("VmRSS");
    ResetPeakMemory();
    size_t answerBytes = 0;
    if (RetrMibPerSecond(client, answerBytes) == 0) return -1;
    return (StatusKb("VmHWM") - rssBefore) / 1024.0;
}

// The runs of the plain loopback transfer and of both RETRs take turns, so
// that other work on the machine hits them alike; the best of each counts.
void BenchRetr() {
    double peakBig = RetrPeakMib(kBigMessage);
    double peakHuge = RetrPeakMib(kHugeMessage);
    RetrSetup attachment(false);
    RetrSetup dotted(true);
    std::string plain = MakeMessage(kBigMessage, false);
    double loopbackBest = 0;
    double attachmentBest = 0;
    double dottedBest = 0;
    size_t answerBytes = 0;
    for (int i = 0; i < kRuns; ++i) {
        loopbackBest = std::max(loopbackBest, LoopbackMibPerSecond(plain));
        attachmentBest = std::max(attachmentBest,
                                  RetrMibPerSecond(attachment.server.ListeningPort(), answerBytes));
        dottedBest =
            std::max(dottedBest, RetrMibPerSecond(dotted.server.ListeningPort(), answerBytes));
    }
    std::printf("loopback send/recv of 20 MiB:          %8.1f MiB/s\n", loopbackBest);
    for (auto [name, best] : {std::pair<const char*, double>{"attachment-like:", attachmentBest},
                              {"a dot line in ten:", dottedBest}}) {
        std::printf("RETR of 20 MiB, %-22s %8.1f MiB/s  (%.0f%% of loopback; target >= 50%%)\n",
                    name, best, 100.0 * best / loopbackBest);
    }
    std::printf("peak resident memory added by a RETR of 20 MiB: %.2f MiB, of 200 MiB: %.2f MiB "
                "(target <= 2 MiB)\n",
                peakBig, peakHuge);
    PrintFigure("loopback_mibs", loopbackBest);
    PrintFigure("retr_attachment_mibs", attachmentBest);
    PrintFigure("retr_dotted_mibs", dottedBest);
    PrintFigure("retr_peak_mib", peakBig);
    PrintFigure("retr_200_peak_mib", peakHuge);
}

int OpenDescriptors() {
    int count = 0;
    if (DIR* listing = opendir("/proc/self/fd")) {
        while (readdir(listing) != nullptr) ++count;
        closedir(listing);
    }
    return count - 3;  // ".", ".." and the listing's own
}

// The highest descriptor count and resident memory while it runs.
class PeakSampler {
public:
    PeakSampler() : thread([this] {
        while (!done) {
            descriptors = std::max(descriptors.load(), OpenDescriptors());
            rssKb = std::max(rssKb.load(), StatusKb("VmRSS"));
            vxw::Sleep(5);
        }
    }) {}
    ~PeakSampler() { Stop(); }
    void Stop() {
        done = true;
        if (thread.joinable()) thread.join();
    }
    std::atomic<int> descriptors{0};
    std::atomic<long> rssKb{0};

private:
    std::atomic<bool> done{false};
    std::thread thread;
};

// The clients run in this process too: each holds one descriptor and one
// thread, which the figures leave out.
void BenchSessions(int port) {
    std::atomic<int> succeeded{0};
    Gate ready(kSessions + 1), loggedIn(kSessions);
    std::vector<std::thread> clients;
    int descriptorsBefore = OpenDescriptors();
    long rssBefore = StatusKb("VmRSS");
    for (int i = 0; i < kSessions; ++i) {
        clients.emplace_back([&] {
            ready.ArriveAndWait();
            if (OneSession(port, loggedIn)) ++succeeded;
        });
    }
    vxw::Sleep(500);  // the threads are at the gate
    long rssWithClients = StatusKb("VmRSS");
    PeakSampler peak;
    auto start = Clock::now();
    ready.ArriveAndWait();
    for (auto& client : clients) client.join();
    double seconds = Seconds(start);
    peak.Stop();
    int descriptors = peak.descriptors - descriptorsBefore - kSessions;
    // Each client's 16 KiB receive buffer is the one part of the clients
    // that comes after the baseline.
    double memoryMib = (peak.rssKb - rssWithClients) / 1024.0 - kSessions * 16.0 / 1024.0;
    std::printf(
        "%d sessions at once (login, LIST, RETR 10 kB, QUIT): %d succeeded, %.2f s, %.0f "
        "sessions/s; at the peak the gateway held %d descriptors more and %.1f MiB more "
        "(the clients' own left out; %.1f MiB with them)\n",
        kSessions, succeeded.load(), seconds, kSessions / seconds, descriptors, memoryMib,
        (peak.rssKb - rssBefore) / 1024.0);
    PrintFigure("sessions_started", kSessions);
    PrintFigure("sessions_succeeded", succeeded.load());
    PrintFigure("sessions_per_s", kSessions / seconds);
    PrintFigure("sessions_peak_mib", memoryMib);
    PrintFigure("sessions_peak_descriptors", descriptors);
}

int Threads() {
    return static_cast<int>(StatusKb("Threads"));
}

bool ShortSession(int port) {
    Client client(port);
    return client.Ok() && client.LogIn() && client.Expect("STAT", "+OK") &&
           client.Expect("QUIT", "+OK Bye bye...");
}

void WaitForNoSessions() {
    for (int i = 0; i < 1000 && ActivePopSessions.load() > 0; ++i) vxw::Sleep(10);
}

// One session after the other: what a long run of mail checks leaves behind.
void BenchSequentialSessions(int port) {
    for (int i = 0; i < 100; ++i) ShortSession(port);  // the allocator settles
    WaitForNoSessions();
    int descriptors = OpenDescriptors(), threads = Threads();
    long rss = StatusKb("VmRSS");
    int succeeded = 0;
    for (int i = 0; i < kSequentialSessions; ++i) succeeded += ShortSession(port) ? 1 : 0;
    WaitForNoSessions();
    int descriptorsAdded = OpenDescriptors() - descriptors, threadsAdded = Threads() - threads;
    double memoryAdded = (StatusKb("VmRSS") - rss) / 1024.0;
    std::printf("%d sessions one after the other: %d succeeded; afterwards %d descriptors, %d "
                "threads and %.2f MiB more than before\n",
                kSequentialSessions, succeeded, descriptorsAdded, threadsAdded, memoryAdded);
    PrintFigure("sequential_succeeded", succeeded);
    PrintFigure("sequential_started", kSequentialSessions);
    PrintFigure("sequential_descriptors_added", descriptorsAdded);
    PrintFigure("sequential_threads_added", threadsAdded);
    PrintFigure("sequential_mib_added", memoryAdded);
}

}  // namespace

int main() {
    // Settings, log and state of its own beside the program, however it is started.
    testing_support::PrepareTestProcess();
    // Clients and sessions of a thousand connections need two thousand descriptors.
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    Config::Values values;
    values.address = "127.0.0.1";
    values.port = 0;
    values.timeout = 60;
    values.delay = 0;
    values.operaCompat = true;
    Config::Instance().SetValues(values);

    BenchRetr();

    testing_support::MemoryService service;
    service.AddAccount("user", "pw");
    service.AddMessage("user", "inbox", MakeMessage(10 * 1024, true));
    PopServer server(service.Factory());
    server.Start();
    while (server.ListeningPort() == 0) vxw::Sleep(10);
    BenchSessions(server.ListeningPort());
    BenchSequentialSessions(server.ListeningPort());
    server.Stop();
    return 0;
}
