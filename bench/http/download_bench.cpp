// Downloads bodies from a local server, sized and chunked: 50 MiB into a sink
// that counts and drops the bytes (as a message goes on to a mail client),
// into a file (as the update download) and into memory (as a listing is
// kept), beside curl fetching the same URL in the same run; and the peak
// resident memory of each, with 20 MB and 200 MB bodies into a sink to show
// that it does not grow with the body.
//
// Every measurement runs in a child process of its own, so its peak resident
// size (getrusage) is that download's alone; the server is another process
// and makes its bodies as it sends them.
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/figure.h"
#include "core/body_stream.h"
#include "core/exception.h"
#include "http/http.h"

namespace {

constexpr size_t kBodySize = 50u << 20;
constexpr size_t kChunkSize = 16384;
constexpr size_t kBlock = 1 << 20;  // the server sends its bodies from one block of this size
constexpr int kRuns = 5;

bool SendAll(int fd, const char* data, size_t size) {
    for (size_t at = 0; at < size;) {
        ssize_t sent = send(fd, data + at, size - at, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        at += static_cast<size_t>(sent);
    }
    return true;
}

// A body of size bytes from the repeated block; chunked in pieces of kChunkSize.
bool SendBody(int fd, const std::string& block, size_t size, bool chunked) {
    std::string head = "HTTP/1.1 200 OK\r\n" +
                       (chunked ? std::string("Transfer-Encoding: chunked\r\n")
                                : "Content-Length: " + std::to_string(size) + "\r\n") +
                       "\r\n";
    if (!SendAll(fd, head.data(), head.size())) return false;
    char line[32];
    for (size_t at = 0; at < size;) {
        size_t piece = std::min({size - at, chunked ? kChunkSize : kBlock, kBlock - at % kBlock});
        if (chunked) {
            int length = std::snprintf(line, sizeof line, "%zx\r\n", piece);
            if (!SendAll(fd, line, static_cast<size_t>(length))) return false;
        }
        if (!SendAll(fd, block.data() + at % kBlock, piece)) return false;
        if (chunked && !SendAll(fd, "\r\n", 2)) return false;
        at += piece;
    }
    return !chunked || SendAll(fd, "0\r\n\r\n", 5);
}

// Answers GET /sized/N and GET /chunked/N (N bytes) on one connection after
// the other, with keep-alive. Writes a byte to ready once it listens.
[[noreturn]] void Serve(int listener, int ready) {
    std::string block(kBlock, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('a' + (i * 7919) % 26);
    if (write(ready, "r", 1) != 1) _exit(1);
    for (;;) {
        int fd = accept(listener, nullptr, nullptr);
        if (fd < 0) continue;
        std::string pending;
        char piece[4096];
        for (;;) {
            size_t end = pending.find("\r\n\r\n");
            if (end == std::string::npos) {
                ssize_t got = recv(fd, piece, sizeof piece, 0);
                if (got <= 0) break;
                pending.append(piece, static_cast<size_t>(got));
                continue;
            }
            bool chunked = pending.compare(0, 12, "GET /chunked") == 0;
            size_t size = std::strtoull(pending.c_str() + pending.find('/', 5) + 1, nullptr, 10);
            pending.erase(0, end + 4);
            if (!SendBody(fd, block, size, chunked)) break;
        }
        close(fd);
    }
}

enum class Into { Memory, Sink, File };

// Counts what reaches it and lets it go, as curl writing to /dev/null.
struct CountingSink : vxw::BodySink {
    bool Put(const char*, size_t size) override {
        received += size;
        return true;
    }
    size_t received = 0;
};

// What one child process reports.
struct Measure {
    double coldMs = 0;         // the first download of a fresh process
    double warmMs = 0;         // median of the next downloads on the same Http object
    long downloadPeakKiB = 0;  // peak resident size after the first download
    long peakKiB = 0;          // at the end: in memory mode with the caller's copy
    bool ok = false;
};

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

long PeakKiB() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Runs work(m) in a child process; m.peakKiB is the child's peak resident size.
template <typename Work>
Measure InChild(Work work) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        Measure m;
        m.ok = work(m);
        m.peakKiB = PeakKiB();
        ssize_t written = write(pipeFds[1], &m, sizeof m);
        _exit(written == sizeof m ? 0 : 1);
    }
    close(pipeFds[1]);
    Measure m;
    if (read(pipeFds[0], &m, sizeof m) != sizeof m) m = {};
    close(pipeFds[0]);
    waitpid(pid, nullptr, 0);
    return m;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One download of path into the place asked for; false when it failed or
// came out at another size.
bool Download(vxw::Http& http, const std::string& path, Into into, const std::string& file,
              size_t size) {
    if (into == Into::Memory) {
        http.SendRequest(path, "GET", nullptr, 0, nullptr, nullptr, 0, false, false, "");
        // As the web mail client takes an answer: handed over, then let go.
        std::string page;
        http.TakePage(page);
        return page.size() == size;
    }
    CountingSink counter;
    vxw::FileSink saver(file, "cannot write " + file);
    vxw::BodySink* sink = &counter;
    if (into == Into::File) {
        saver.Open();
        sink = &saver;
    }
    http.SendRequest(path, "GET", nullptr, nullptr, nullptr, 0, false, false,
                     [sink](const vxw::Http&) { return sink; });
    if (into == Into::Sink) return counter.received == size;
    saver.Close();
    struct stat info;
    return stat(file.c_str(), &info) == 0 && static_cast<size_t>(info.st_size) == size;
}

// coldOnly: just the first download, for more samples of it.
bool FetchWithHttp(int port, const std::string& path, Into into, const std::string& file,
                   size_t size, bool coldOnly, Measure& m) {
    try {
        vxw::Http http;
        http.SetServer(port, false, "127.0.0.1", "", 0, "", "", 30000);
        auto timed = [&](double& ms) {
            auto start = std::chrono::steady_clock::now();
            bool ok = Download(http, path, into, file, size);
            ms = Since(start);
            return ok;
        };
        if (!timed(m.coldMs)) return false;
        m.downloadPeakKiB = PeakKiB();
        if (coldOnly) return true;
        std::vector<double> warm(kRuns);
        for (double& ms : warm)
            if (!timed(ms)) return false;
        m.warmMs = Median(warm);
        return true;
    } catch (const vx::Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message().c_str());
        return false;
    }
}

bool FetchWithCurl(const std::string& url, const std::string& file) {
    std::string command =
        "curl -s -o " + (file.empty() ? std::string("/dev/null") : file) + " " + url;
    return std::system(command.c_str()) == 0;
}

const char* Name(Into into) {
    return into == Into::Memory ? "memory" : into == Into::Sink ? "sink" : "file";
}

}  // namespace

int main() {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener, 8) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::perror("listen");
        return 1;
    }
    int port = ntohs(address.sin_port);
    int ready[2];
    if (pipe(ready) != 0) return 1;
    pid_t server = fork();
    if (server == 0) Serve(listener, ready[1]);
    close(listener);
    char byte;
    if (read(ready[0], &byte, 1) != 1) return 1;

    char folder[] = "/tmp/mirelink-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    const std::string file = std::string(folder) + "/body",
                      curlFile = std::string(folder) + "/curl-body";
    // The reference: a process that made the same connection and fetched a
    // one-byte body, so that what the rows add is the body's alone.
    const long idleKiB = InChild([&](Measure& m) {
                             return FetchWithHttp(port, "/sized/1", Into::Sink, file, 1, true, m);
                         }).peakKiB;
    auto addedMiB = [idleKiB](long kib) { return (kib - idleKiB) / 1024.0; };

    std::printf(
        "body %zu bytes (50 MiB) from a local server on 127.0.0.1:%d; times in ms, medians of %d "
        "runs\n\n",
        kBodySize, port, kRuns);
    std::printf("%-8s %-7s %8s %8s %8s %10s %10s %10s %14s\n", "body", "into", "cold", "warm",
                "curl", "warm/curl", "cold/curl", "peak MiB", "with copy MiB");
    int failures = 0;
    std::vector<std::pair<std::string, double>> figures;
    for (const char* kind : {"sized", "chunked"}) {
        const std::string path = "/" + std::string(kind) + "/" + std::to_string(kBodySize);
        const std::string url = "http://127.0.0.1:" + std::to_string(port) + path;
        for (Into into : {Into::Sink, Into::File, Into::Memory}) {
            Measure m = InChild([&](Measure& out) {
                return FetchWithHttp(port, path, into, file, kBodySize, false, out);
            });
            std::vector<double> curl, cold = {m.coldMs};
            for (int run = 0; run < kRuns; ++run) {
                if (run > 0) {
                    Measure more = InChild([&](Measure& out) {
                        return FetchWithHttp(port, path, into, file, kBodySize, true, out);
                    });
                    failures += !more.ok;
                    cold.push_back(more.coldMs);
                }
                Measure c = InChild([&](Measure& out) {
                    auto start = std::chrono::steady_clock::now();
                    bool ok = FetchWithCurl(url, into == Into::File ? curlFile : "");
                    out.coldMs = Since(start);
                    return ok;
                });
                failures += !c.ok;
                curl.push_back(c.coldMs);
            }
            failures += !m.ok;
            m.coldMs = Median(cold);
            double c = Median(curl);
            std::printf("%-8s %-7s %8.1f %8.1f %8.1f %10.2f %10.2f %10.1f %14s\n", kind, Name(into),
                        m.coldMs, m.warmMs, c, m.warmMs / c, m.coldMs / c,
                        addedMiB(m.downloadPeakKiB),
                        into == Into::Memory ? std::to_string(addedMiB(m.peakKiB)).c_str() : "-");
            const std::string name = std::string("http_") + kind + "_" + Name(into);
            figures.insert(figures.end(), {{name + "_cold_ms", m.coldMs},
                                           {name + "_warm_ms", m.warmMs},
                                           {name + "_curl_ms", c},
                                           {name + "_peak_mib", addedMiB(m.downloadPeakKiB)},
                                           {name + "_copy_peak_mib", addedMiB(m.peakKiB)}});
        }
    }

    std::printf("\npeak resident memory added by one download into a sink:\n");
    for (size_t bytes : {size_t(20000000), size_t(200000000)}) {
        for (const char* kind : {"sized", "chunked"}) {
            const std::string path = "/" + std::string(kind) + "/" + std::to_string(bytes);
            Measure m = InChild([&](Measure& out) {
                return FetchWithHttp(port, path, Into::Sink, file, bytes, true, out);
            });
            failures += !m.ok;
            std::printf("  %3zu MB %-8s %6.2f MiB\n", bytes / 1000000, kind,
                        addedMiB(m.downloadPeakKiB));
            figures.push_back(
                {"http_sink_" + std::to_string(bytes / 1000000) + "mb_" + kind + "_peak_mib",
                 addedMiB(m.downloadPeakKiB)});
        }
    }
    std::printf(
        "\ncold: the first download in a fresh process, median of %d processes; warm: the next\n"
        "downloads on the same Http object, as a web mail session fetches one message after\n"
        "another. curl: a whole curl run, writing to /dev/null for the sink and memory rows and\n"
        "to a file for the file rows. sink: counts the bytes and lets them go. memory: the body\n"
        "kept and handed to the caller (TakePage), each download on fresh memory pages. peak:\n"
        "the downloading process above one that fetched a one-byte body into a sink (%.1f MiB),\n"
        "after the first download, and at the end, with the caller's copy.\n",
        kRuns, idleKiB / 1024.0);
    std::remove(file.c_str());
    std::remove(curlFile.c_str());
    rmdir(folder);
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    if (failures != 0) std::printf("%d downloads failed\n", failures);
    for (const auto& [name, value] : figures) PrintFigure(name.c_str(), value);
    PrintFigure("http_body_mib", kBodySize / (1024.0 * 1024.0));
    return failures == 0 ? 0 : 1;
}
