#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "tools/httpmail/response_writer.h"
#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace {
std::string Hex(size_t n) {
    char text[24];
    snprintf(text, sizeof text, "%zx", n);
    return text;
}
}  // namespace

ResponseWriter::ResponseWriter(int socket, const StopSignal& signal) : fd(socket), stop(signal) {}

bool ResponseWriter::Send(std::string_view a, std::string_view b, std::string_view c) {
    iovec parts[3] = {{const_cast<char*>(a.data()), a.size()},
                      {const_cast<char*>(b.data()), b.size()},
                      {const_cast<char*>(c.data()), c.size()}};
    iovec* next = parts;
    size_t left = 3;
    while (left > 0) {
        if (next->iov_len == 0) {
            ++next;
            --left;
            continue;
        }
        msghdr message{};
        message.msg_iov = next;
        message.msg_iovlen = left;
        const ssize_t n = sendmsg(fd, &message, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        for (size_t sent = size_t(n); sent > 0;) {
            const size_t step = std::min(sent, next->iov_len);
            next->iov_base = static_cast<char*>(next->iov_base) + step;
            next->iov_len -= step;
            sent -= step;
            if (next->iov_len == 0 && sent > 0) {
                ++next;
                --left;
            }
        }
    }
    return true;
}

std::string ResponseWriter::Head(const HttpResponse& response, bool chunked, bool close,
                                 size_t length, int minorVersion) const {
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                       ReasonPhrase(response.status) + "\r\nServer: mirelink-httpmail\r\n";
    for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
    if (chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (!StatusHasNoBody(response.status))
        head += "Content-Length: " + std::to_string(length) + "\r\n";
    if (close)
        head += "Connection: close\r\n";
    else if (minorVersion == 0)
        head += "Connection: keep-alive\r\n";
    return head + "\r\n";
}

bool ResponseWriter::SendChunked(std::string_view head, std::string_view body, size_t chunkSize,
                                 bool last) {
    std::string prefix(head);
    for (size_t at = 0; at < body.size(); at += chunkSize) {
        const std::string_view piece = body.substr(at, chunkSize);
        if (!Send(prefix + Hex(piece.size()) + "\r\n", piece, "\r\n")) return false;
        prefix.clear();
    }
    if (last) return Send(prefix + "0\r\n\r\n");
    return prefix.empty() || Send(prefix);
}

bool ResponseWriter::Write(const std::string& method, int minorVersion, const Answer& answer,
                           bool keepAlive) {
    const AppliedFaults& faults = answer.faults;
    const HttpResponse& response = answer.response;
    // Every connection waits on its own thread, so a held answer holds no other.
    const unsigned hold = answer.latencyMs + faults.delayMs;
    if (hold > 0 && !stop.Sleep(hold)) return false;
    if (faults.replaced && faults.replacement == FaultKind::Drop) return false;

    const bool close = !keepAlive || response.close || faults.close || faults.dropMidBody;
    const bool hasBody = !StatusHasNoBody(response.status);
    const bool chunked = hasBody && faults.chunkSize > 0;
    const std::string& body = response.Body();
    const std::string head = Head(response, chunked, close, body.size(), minorVersion);
    if (!hasBody || IEquals(method, "HEAD")) return Send(head) && !close;

    // A cut-off answer stops halfway through its body, and the connection goes with it.
    const std::string_view sent =
        std::string_view(body).substr(0, faults.dropMidBody ? body.size() / 2 : body.size());
    const bool ok =
        chunked ? SendChunked(head, sent, faults.chunkSize, !faults.dropMidBody) : Send(head, sent);
    return ok && !close;
}

}  // namespace httpmail
