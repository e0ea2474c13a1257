#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "tools/httpmail/request_reader.h"
#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace {
const size_t kReadSize = 64 * 1024;
const size_t kMaxChunkLine = 1024;

// Whether the transfer codings end in chunked, the only one this service reads.
bool OnlyChunked(const HttpRequest& request, bool& present) {
    const std::vector<std::string> values = request.HeaderValues("Transfer-Encoding");
    present = !values.empty();
    return values.size() == 1 && IEquals(Trim(values[0]), "chunked");
}

bool ContentLength(const HttpRequest& request, uint64_t& length) {
    length = 0;
    bool first = true;
    for (const std::string& value : request.HeaderValues("Content-Length")) {
        uint64_t n = 0;
        if (!ParseDecimal(Trim(value), UINT64_MAX / 2, n) || (!first && n != length)) return false;
        length = n;
        first = false;
    }
    return true;
}

bool ParseChunkSize(std::string_view line, uint64_t& size) {
    const std::string_view digits = Trim(line.substr(0, line.find(';')));
    if (digits.empty() || digits.size() > 15) return false;
    size = 0;
    for (char c : digits) {
        const int v = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
        if (v < 0) return false;
        size = size * 16 + unsigned(v);
    }
    return true;
}
}  // namespace

RequestReader::RequestReader(int socket, const ReadLimits& l) : fd(socket), limits(l) {}

bool RequestReader::Fill() {
    if (offset > 0 && offset * 2 >= buffer.size()) {
        buffer.erase(0, offset);
        offset = 0;
    }
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const int ready = poll(&p, 1, limits.idleMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const size_t old = buffer.size();
        buffer.resize(old + kReadSize);
        const ssize_t n = recv(fd, &buffer[old], kReadSize, 0);
        buffer.resize(old + (n > 0 ? size_t(n) : 0));
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        return n > 0;
    }
}

void RequestReader::Send(const std::string& text) {
    send(fd, text.data(), text.size(), MSG_NOSIGNAL);
}

bool RequestReader::ReadLine(std::string& line, size_t max, bool& tooLong) {
    tooLong = false;
    for (;;) {
        const size_t lf = buffer.find('\n', offset);
        if (lf != std::string::npos && lf - offset <= max + 1) {
            line.assign(buffer, offset, lf - offset);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            offset = lf + 1;
            return true;
        }
        if (Available() > max + 1) {
            tooLong = true;
            return false;
        }
        if (!Fill()) return false;
    }
}

bool RequestReader::ReadExactly(size_t count, std::string& out) {
    while (Available() < count)
        if (!Fill()) return false;
    out.append(buffer, offset, count);
    offset += count;
    return true;
}

RequestReader::Outcome RequestReader::ReadHead(std::string& head, int& status, std::string& why) {
    // Empty lines before a request line are allowed (RFC 7230, 3.5).
    for (;;) {
        while (Available() > 0 && (buffer[offset] == '\r' || buffer[offset] == '\n')) ++offset;
        if (Available() > 0) break;
        if (!Fill()) return Outcome::Closed;
    }
    size_t scanned = 0;  // bytes after `offset` known to hold no end of the head
    for (;;) {
        for (size_t lf = buffer.find('\n', offset + scanned); lf != std::string::npos;
             lf = buffer.find('\n', lf + 1)) {
            const size_t next = lf + 1;
            const size_t end = next < buffer.size() && buffer[next] == '\n' ? next + 1
                               : buffer.compare(next, 2, "\r\n") == 0       ? next + 2
                                                                            : 0;
            if (end != 0 && end - offset > limits.maxHead) break;
            if (end != 0) {
                head.assign(buffer, offset, end - offset);
                offset = end;
                return Outcome::Request;
            }
            scanned = lf - offset;  // this line end may still start the empty line
        }
        if (Available() > limits.maxHead) {  // also when the end came too late
            status = 431;
            why = "the request head is too large";
            return Outcome::Refused;
        }
        if (!Fill()) return Outcome::Closed;
    }
}

bool RequestReader::ReadChunked(std::string& body, int& status, std::string& why) {
    std::string line;
    bool tooLong = false;
    for (;;) {
        uint64_t size = 0;
        if (!ReadLine(line, kMaxChunkLine, tooLong) || !ParseChunkSize(line, size)) {
            status = 400;
            why = "a chunk size line is not usable";
            return false;
        }
        if (size == 0) break;
        if (body.size() + size > limits.maxBody) {
            status = 413;
            why = "the request body is too large";
            return false;
        }
        std::string end;
        if (!ReadExactly(size_t(size), body) || !ReadExactly(2, end) || end != "\r\n") {
            status = 400;
            why = "a chunk is cut short or not followed by CR LF";
            return false;
        }
    }
    // Trailer fields are read and left out.
    for (size_t total = 0;; total += line.size()) {
        if (!ReadLine(line, limits.maxHead, tooLong) || total > limits.maxHead) {
            status = 400;
            why = "the chunked body does not end properly";
            return false;
        }
        if (line.empty()) return true;
    }
}

bool RequestReader::ReadBody(HttpRequest& request, int& status, std::string& why) {
    bool encoded = false;
    const bool chunked = OnlyChunked(request, encoded);
    uint64_t length = 0;
    if (encoded && !chunked) {
        status = 501;
        why = "only the chunked transfer coding is understood";
        return false;
    }
    if (!chunked && !ContentLength(request, length)) {
        status = 400;
        why = "the Content-Length is not usable";
        return false;
    }
    if (length > limits.maxBody) {
        status = 413;
        why = "the request body is too large";
        return false;
    }
    const std::string* expect = request.Header("Expect");
    if (expect && !IEquals(Trim(*expect), "100-continue")) {
        status = 417;
        why = "only 100-continue is understood in Expect";
        return false;
    }
    if (expect && (chunked || length > 0) && request.minorVersion >= 1)
        Send("HTTP/1.1 100 Continue\r\n\r\n");
    if (chunked) return ReadChunked(request.body, status, why);
    if (ReadExactly(size_t(length), request.body)) return true;
    status = 400;
    why = "the body ended before its Content-Length";
    return false;
}

RequestReader::Outcome RequestReader::Read(HttpRequest& out, int& status, std::string& why) {
    out = HttpRequest{};
    std::string head;
    const Outcome outcome = ReadHead(head, status, why);
    if (outcome != Outcome::Request) return outcome;
    status = ParseRequestHead(head, out);
    if (status == 0 && out.headers.size() > limits.maxHeaders) status = 431;
    if (status != 0) {
        why = status == 505 ? "only HTTP/1.x is spoken" : "the request head is malformed";
        return Outcome::Refused;
    }
    return ReadBody(out, status, why) ? Outcome::Request : Outcome::Refused;
}

}  // namespace httpmail
