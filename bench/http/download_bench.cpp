// Downloads a 50 MiB body from a local server, sized and chunked, into memory
// and into a file, and prints the time beside curl fetching the same URL in
// the same run, and the peak resident memory of the download.
//
// Every measurement runs in a child process of its own, so its peak resident
// size (getrusage) is that download's alone; the server is another process.
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
#include "core/exception.h"
#include "http/http.h"

namespace {

constexpr size_t kBodySize = 50u << 20;
constexpr size_t kChunkSize = 16384;
constexpr int kRuns = 5;

std::string MakeBody() {
    std::string body(kBodySize, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + (i * 7919) % 26);
    return body;
}

std::string ChunkedEncoding(const std::string& body) {
    std::string out;
    out.reserve(body.size() + body.size() / kChunkSize * 10 + 16);
    char line[32];
    for (size_t at = 0; at < body.size(); at += kChunkSize) {
        size_t size = std::min(kChunkSize, body.size() - at);
        std::snprintf(line, sizeof line, "%zx\r\n", size);
        out += line;
        out.append(body, at, size);
        out += "\r\n";
    }
    return out + "0\r\n\r\n";
}

bool SendAll(int fd, const std::string& bytes) {
    for (size_t at = 0; at < bytes.size();) {
        ssize_t sent = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        at += static_cast<size_t>(sent);
    }
    return true;
}

// Answers GET /sized, GET /chunked and GET /tiny (a one-byte body) on one
// connection after the other, with keep-alive. Writes a byte to ready once the
// replies are built.
[[noreturn]] void Serve(int listener, int ready) {
    const std::string body = MakeBody();
    const std::string sized =
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    const std::string chunked =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + ChunkedEncoding(body);
    const std::string tiny = "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx";
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
            bool wantChunked = pending.compare(0, 12, "GET /chunked") == 0;
            bool wantTiny = pending.compare(0, 9, "GET /tiny") == 0;
            pending.erase(0, end + 4);
            if (!SendAll(fd, wantTiny ? tiny : wantChunked ? chunked : sized)) break;
        }
        close(fd);
    }
}

// What one child process reports.
struct Measure {
    double coldMs = 0;         // the first download of a fresh process
    double warmMs = 0;         // median of the next downloads on the same Http object
    double getPageMs = 0;      // TakePage handing the first body to the caller
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

double Median(std::vector<double> values);

// coldOnly: just the first download, for more samples of it.
bool FetchWithHttp(int port, const std::string& path, const std::string& file, bool coldOnly,
                   Measure& m) {
    try {
        vxw::Http http;
        http.SetServer(port, false, "127.0.0.1", "", 0, "", "", 30000);
        auto download = [&] {
            auto start = std::chrono::steady_clock::now();
            http.SendRequest(path, "GET", nullptr, 0, nullptr, nullptr, 0, false, false, file);
            return Since(start);
        };
        m.coldMs = download();
        if (coldOnly) return true;
        m.downloadPeakKiB = PeakKiB();
        if (file.empty()) {
            // As the web mail client takes a message: handed over, then let go.
            auto start = std::chrono::steady_clock::now();
            std::string page;
            http.TakePage(page);
            m.getPageMs = Since(start);
            if (page.size() != kBodySize) return false;
        } else {
            struct stat info;
            if (stat(file.c_str(), &info) != 0 || static_cast<size_t>(info.st_size) != kBodySize)
                return false;
        }
        std::vector<double> warm;
        for (int run = 0; run < kRuns; ++run) {
            warm.push_back(download());
            std::string page;
            if (file.empty()) http.TakePage(page);
        }
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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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
    const long idleKiB = InChild([&](Measure&) {
                             try {
                                 vxw::Http http;
                                 http.SetServer(port, false, "127.0.0.1", "", 0, "", "", 30000);
                                 http.SendRequest("/tiny", "GET", nullptr, 0, nullptr, nullptr, 0,
                                                  false, false, file);
                                 return true;
                             } catch (const vx::Exception&) {
                                 return false;
                             }
                         }).peakKiB;

    std::printf(
        "body %zu bytes (50 MiB) from a local server on 127.0.0.1:%d; times in ms, medians of %d "
        "runs\n\n",
        kBodySize, port, kRuns);
    std::printf("%-8s %-7s %8s %8s %8s %8s %10s %10s %14s %14s\n", "body", "into", "cold", "warm",
                "TakePage", "curl", "warm/curl", "cold/curl", "peak MiB", "with copy MiB");
    int failures = 0;
    std::vector<std::pair<std::string, double>> figures;
    for (const char* path : {"/sized", "/chunked"}) {
        for (bool toFile : {false, true}) {
            Measure m = InChild([&](Measure& out) {
                return FetchWithHttp(port, path, toFile ? file : "", false, out);
            });
            std::vector<double> curl, cold = {m.coldMs};
            for (int run = 0; run < kRuns; ++run) {
                if (run > 0) {
                    Measure more = InChild([&](Measure& out) {
                        return FetchWithHttp(port, path, toFile ? file : "", true, out);
                    });
                    failures += !more.ok;
                    cold.push_back(more.coldMs);
                }
                auto url = "http://127.0.0.1:" + std::to_string(port) + path;
                Measure c = InChild([&](Measure& out) {
                    auto start = std::chrono::steady_clock::now();
                    bool ok = FetchWithCurl(url, toFile ? curlFile : "");
                    out.coldMs = Since(start);
                    return ok;
                });
                failures += !c.ok;
                curl.push_back(c.coldMs);
            }
            failures += !m.ok;
            m.coldMs = Median(cold);
            double c = Median(curl);
            std::printf("%-8s %-7s %8.1f %8.1f %8.1f %8.1f %10.2f %10.2f %14.1f %14s\n", path + 1,
                        toFile ? "file" : "memory", m.coldMs, m.warmMs, m.getPageMs, c,
                        m.warmMs / c, m.coldMs / c, (m.downloadPeakKiB - idleKiB) / 1024.0,
                        toFile ? "-" : std::to_string((m.peakKiB - idleKiB) / 1024).c_str());
            const std::string name =
                std::string("http_") + (path + 1) + (toFile ? "_file" : "_memory");
            figures.insert(figures.end(),
                           {{name + "_cold_ms", m.coldMs},
                            {name + "_warm_ms", m.warmMs},
                            {name + "_curl_ms", c},
                            {name + "_peak_mib", (m.downloadPeakKiB - idleKiB) / 1024.0},
                            {name + "_copy_peak_mib", (m.peakKiB - idleKiB) / 1024.0}});
        }
    }
    std::printf(
        "\ncold: the first download in a fresh process (its memory pages are new), median of "
        "%d processes;\n"
        "warm: the next downloads on the same Http object, as a web mail session fetches one "
        "message\n"
        "after another, each taken by the caller and let go. TakePage: handing the first body to the\n"
        "caller (memory mode). curl: a whole curl "
        "run,\n"
        "writing to /dev/null for the memory rows and to a file for the file rows. peak: the\n"
        "downloading process above one that fetched a one-byte body into a file (%.1f MiB), "
        "after the\n"
        "first download, and at the end, with the caller's copy.\n",
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
