// Prints what RETR costs through the whole chain (the POP3 service, the real
// web mail client, HTTP through the proxy settings to the local HTTPMail
// service, which serves messages from a mail folder), beside a plain HTTP GET
// of the same bytes from the same service read by the same reader:
//  - time of a RETR of 20 MiB over that of the GET, medians;
//  - peak resident memory a RETR of 20 MiB and of 200 MiB adds;
//  - time to the first message byte at the client over the service's;
//  - 20 clients fetching a 50 MB message at once: all byte-exact, and the
//    peak memory they add.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/figure.h"
#include "bench/loopback.h"
#include "bench/process_memory.h"
#include "core/dir_util.h"
#include "core/thread.h"
#include "pop3/dot_stuffer.h"
#include "pop3/pop_server.h"
#include "settings/config.h"
#include "tests/http/peer_process.h"
#include "tests/support/process.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/temp_dir.h"
#include "text/str_util.h"
#include "webmail/hotmail.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kBuffer = 64 * 1024;  // every reader's receive size
constexpr int kRuns = 11;
constexpr int kCrowd = 20;
const char kAccount[] = "bob@msn.com";
const char kPassword[] = "builder";

struct Message {
    const char* file;
    size_t size;
    bool dotted;
};
// In the order the service lists them: RETR 1, 2, 3.
const Message kMessages[] = {
    {"1.eml", 20u << 20, false},   // an attachment
    {"2.eml", 200u << 20, false},  // a large one
    {"3.eml", 50000000, true},     // text with a dot line in ten
};

double Seconds(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double>(end - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// 76-character lines after a short header.
void WriteMessage(const std::string& path, const Message& message) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::ofstream out(path, std::ios::binary);
    std::string text = "Subject: big\r\nContent-Type: text/plain\r\n\r\n";
    size_t written = 0;
    std::string line(78, ' ');
    for (size_t n = 0; written + text.size() + line.size() + 2 <= message.size; ++n) {
        for (int i = 0; i < 76; ++i) line[i] = kAlphabet[(n + i) % 64];
        if (message.dotted && n % 10 == 0) line[0] = '.';
        line[76] = '\r';
        line[77] = '\n';
        text += line;
        if (text.size() > (1 << 20)) {
            out.write(text.data(), text.size());
            written += text.size();
            text.clear();
        }
    }
    text.append(message.size - written - text.size() - 2, 'x');
    text += "\r\n";
    out.write(text.data(), text.size());
}

// FNV-1a over what a reader receives, to compare answers without keeping them.
struct Hash {
    uint64_t value = 1469598103934665603ull;
    void Add(const char* data, size_t size) {
        for (size_t i = 0; i < size; ++i) value = (value ^ uint8_t(data[i])) * 1099511628211ull;
    }
};

// The one reader both ways: a blocking socket read in 64 KiB pieces. It
// notes when the first byte after `head` (the status line or the HTTP head)
// came, and hashes what follows.
class Reader {
public:
    explicit Reader(int port) : fd(ConnectLoopback(port)), buffer(kBuffer) {}
    ~Reader() {
        if (fd >= 0) ::close(fd);
    }
    bool Send(const std::string& bytes) {
        return fd >= 0 &&
               ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == long(bytes.size());
    }
    // Reads the head up to its terminator, then `bodySize` bytes or, with
    // bodySize 0, up to the terminator "\r\n.\r\n". False on failure.
    bool Read(const std::string& headEnd, size_t bodySize, bool hash) {
        std::string head;
        size_t body = 0;
        std::string tail;
        for (;;) {
            long count = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (count <= 0) return false;
            const char* data = buffer.data();
            size_t size = static_cast<size_t>(count);
            if (!headDone) {
                size_t before = head.size();
                head.append(data, size);
                size_t end = head.find(headEnd);
                if (end == std::string::npos) continue;
                // The head ends in this piece: it was not found in the last.
                size_t bodyStart = end + headEnd.size() - before;
                headDone = true;
                data += bodyStart;
                size -= bodyStart;
                if (size > 0) firstByte = Clock::now();
                status = head.substr(0, head.find("\r\n"));
            } else if (body == 0 && size > 0) {
                firstByte = Clock::now();
            }
            if (hash) answer.Add(data, size);
            body += size;
            if (bodySize > 0 && body >= bodySize) return true;
            if (bodySize == 0) {
                tail.append(data + size - std::min<size_t>(size, 5), std::min<size_t>(size, 5));
                if (tail.size() > 5) tail.erase(0, tail.size() - 5);
                if (tail == "\r\n.\r\n") return true;
            }
        }
    }
    bool LogIn() {
        headDone = true;  // lines are read whole below
        return ReadLine().rfind("+OK", 0) == 0 &&
               Send(std::string("USER ") + kAccount + "\r\n") && ReadLine().rfind("+OK", 0) == 0 &&
               Send(std::string("PASS ") + kPassword + "\r\n") && ReadLine().rfind("+OK", 0) == 0;
    }
    void Reset() { headDone = false; }
    Clock::time_point firstByte;
    std::string status;
    Hash answer;

private:
    std::string ReadLine() {
        std::string line;
        char c = 0;
        while (::recv(fd, &c, 1, 0) == 1) {
            line += c;
            if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) break;
        }
        return line;
    }

    int fd;
    std::vector<char> buffer;
    bool headDone = false;
};

struct Transfer {
    double seconds = -1;
    double firstByteSeconds = -1;
};

// A GET of the message straight from the service, through it as the proxy.
Transfer Get(int servicePort, const std::string& url, size_t size) {
    Reader reader(servicePort);
    std::string credentials = vx::StrUtil::Base64Encode(std::string(kAccount) + ":" + kPassword);
    auto start = Clock::now();
    reader.Send("GET " + url + " HTTP/1.1\r\nHost: services.msn.com\r\nAuthorization: Basic " +
                credentials + "\r\nConnection: close\r\n\r\n");
    Transfer result;
    if (!reader.Read("\r\n\r\n", size, false) || reader.status.find(" 200 ") == std::string::npos)
        return result;
    result.seconds = Seconds(start, Clock::now());
    result.firstByteSeconds = Seconds(start, reader.firstByte);
    return result;
}

// RETR of message `number` (the login not counted).
Transfer Retr(int port, int number) {
    Reader reader(port);
    Transfer result;
    if (!reader.LogIn()) return result;
    reader.Reset();
    auto start = Clock::now();
    reader.Send("RETR " + std::to_string(number) + "\r\n");
    if (!reader.Read("\r\n", 0, false)) return result;
    result.seconds = Seconds(start, Clock::now());
    result.firstByteSeconds = Seconds(start, reader.firstByte);
    reader.Send("QUIT\r\n");
    return result;
}

// The peak resident memory (MiB) one RETR adds; the reader's buffer is in
// place before.
double RetrPeakMib(int port, int number) {
    Reader reader(port);
    if (!reader.LogIn()) return -1;
    reader.Reset();
    long before = StatusKb("VmRSS");
    ResetPeakMemory();
    reader.Send("RETR " + std::to_string(number) + "\r\n");
    if (!reader.Read("\r\n", 0, false)) return -1;
    double added = (StatusKb("VmHWM") - before) / 1024.0;
    reader.Send("QUIT\r\n");
    return added;
}

// The hash of RETR's answer after its status line, from the message file.
uint64_t ExpectedAnswer(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    DotStuffer stuffer;
    Hash hash;
    vx::Str stuffed = "X-Mirelink-Folder: inbox\r\n";
    std::vector<char> piece(1 << 20);
    while (in.read(piece.data(), piece.size()) || in.gcount() > 0) {
        stuffer.Feed(piece.data(), static_cast<size_t>(in.gcount()), stuffed);
        hash.Add(stuffed.data(), stuffed.size());
        stuffed.clear();
    }
    hash.Add("\r\n.\r\n", 5);
    return hash.value;
}

// kCrowd clients fetch message 3 at once; how many got it byte for byte, and
// the peak memory (MiB) added meanwhile.
int Crowd(int port, uint64_t expected, double& peakMib) {
    std::vector<std::unique_ptr<Reader>> readers;
    for (int i = 0; i < kCrowd; ++i) {
        readers.push_back(std::make_unique<Reader>(port));
        if (!readers.back()->LogIn()) return 0;
        readers.back()->Reset();
    }
    std::atomic<long> peakKb{0};
    std::atomic<bool> done{false};
    long before = StatusKb("VmRSS");
    std::thread sampler([&] {
        while (!done) {
            peakKb = std::max(peakKb.load(), StatusKb("VmRSS"));
            vxw::Sleep(5);
        }
    });
    std::atomic<int> exact{0};
    std::vector<std::thread> clients;
    for (auto& reader : readers) {
        clients.emplace_back([&, r = reader.get()] {
            r->Send("RETR 3\r\n");
            if (r->Read("\r\n", 0, true) && r->answer.value == expected) ++exact;
        });
    }
    for (auto& client : clients) client.join();
    done = true;
    sampler.join();
    peakMib = (peakKb - before) / 1024.0;
    return exact;
}

// The id of each inbox message at the service ("inbox/ID SIZE" lines).
std::vector<std::string> MessageUrls(int servicePort) {
    auto page = testing_support::RunProcess(
        {"curl", "-sS",
         "http://127.0.0.1:" + std::to_string(servicePort) + "/_admin/mailbox/" + kAccount});
    std::vector<std::string> urls;
    for (size_t at = page.out.find("inbox/"); at != std::string::npos;
         at = page.out.find("inbox/", at + 1)) {
        size_t start = at + 6;
        urls.push_back("http://services.msn.com/mail/bob%40msn.com/inbox/" +
                       page.out.substr(start, page.out.find(' ', start) - start));
    }
    return urls;
}

}  // namespace

int main() {
    // Settings, log and state of its own beside the program, however it is started.
    testing_support::PrepareTestProcess();
    testing_support::TempDir folder;
    std::string box = folder.File(std::string(kAccount) + "/inbox/");
    vxw::DirUtil::CreatePath(box);
    std::ofstream(folder.File(std::string(kAccount) + "/account"))
        << "password = " << kPassword << "\n";
    for (const Message& message : kMessages) WriteMessage(box + message.file, message);

    int servicePort = testing_support::FreeLoopbackPort();
    testing_support::PeerProcess service(
        {HTTPMAIL_BIN, "--port", std::to_string(servicePort), "--mail-dir", folder.Path()},
        servicePort, "/dev/null");
    std::vector<std::string> urls = MessageUrls(servicePort);
    if (urls.size() != std::size(kMessages)) {
        std::fprintf(stderr, "the service lists %zu messages\n", urls.size());
        return 1;
    }

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
    int port = server.ListeningPort();

    // The process's first transfers, before freed pages could hide growth.
    double peak20 = RetrPeakMib(port, 1);
    double peak200 = RetrPeakMib(port, 2);

    std::vector<double> retr, get, retrFirst, getFirst;
    for (int i = 0; i < kRuns; ++i) {
        Transfer g = Get(servicePort, urls[0], kMessages[0].size);
        Transfer r = Retr(port, 1);
        if (g.seconds < 0 || r.seconds < 0) {
            std::fprintf(stderr, "a transfer failed\n");
            return 1;
        }
        get.push_back(g.seconds);
        getFirst.push_back(g.firstByteSeconds);
        retr.push_back(r.seconds);
        retrFirst.push_back(r.firstByteSeconds);
    }
    double crowdPeak = 0;
    int exact = Crowd(port, ExpectedAnswer(box + kMessages[2].file), crowdPeak);
    server.Stop();

    std::printf("GET of 20 MiB straight from the service:  %7.1f ms (median of %d)\n",
                Median(get) * 1000, kRuns);
    std::printf("RETR of it through the gateway:           %7.1f ms (%.2f x; target <= 1.15)\n",
                Median(retr) * 1000, Median(retr) / Median(get));
    std::printf("first message byte: service %.2f ms, gateway %.2f ms (%.2f x; target <= 2)\n",
                Median(getFirst) * 1000, Median(retrFirst) * 1000,
                Median(retrFirst) / Median(getFirst));
    std::printf("peak resident memory added by a RETR of 20 MiB: %.2f MiB, of 200 MiB: %.2f MiB "
                "(target <= 2 MiB)\n",
                peak20, peak200);
    std::printf("%d clients fetching 50 MB at once: %d byte-exact, %.1f MiB added at the peak "
                "(target <= 50 MiB)\n",
                kCrowd, exact, crowdPeak);
    PrintFigure("chain_retr_ms", Median(retr) * 1000);
    PrintFigure("chain_get_ms", Median(get) * 1000);
    PrintFigure("chain_retr_first_ms", Median(retrFirst) * 1000);
    PrintFigure("chain_get_first_ms", Median(getFirst) * 1000);
    PrintFigure("chain_retr20_peak_mib", peak20);
    PrintFigure("chain_retr200_peak_mib", peak200);
    PrintFigure("chain_crowd_exact", exact);
    PrintFigure("chain_crowd_clients", kCrowd);
    PrintFigure("chain_crowd_peak_mib", crowdPeak);
    return 0;
}
