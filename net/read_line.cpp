// The CR LF line reader shared by the line-protocol sessions.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <string_view>

#include "core/exception.h"
#include "net/receive_buffer.h"
#include "net/socket.h"

namespace vxw {
namespace {

using Clock = std::chrono::steady_clock;

// Bounds the receives of one line by one time-out for the whole line, so a
// client that trickles a byte now and then cannot hold a session for ever.
// Restores the socket's own time-out when the line is read.
class LineDeadline {
public:
    LineDeadline(Socket& socket, int32_t lineTimeoutMs)
        : socket(socket), own(socket.GetTimeout()), bounded(lineTimeoutMs >= 0),
          end(bounded ? Clock::now() + std::chrono::milliseconds(lineTimeoutMs) : Clock::time_point()) {}
    ~LineDeadline() { socket.SetTimeout(own); }
    LineDeadline(const LineDeadline&) = delete;
    LineDeadline& operator=(const LineDeadline&) = delete;

    // Before each receive: what is left of the line's time.
    void Arm() {
        if (!bounded) return;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        socket.SetTimeout(static_cast<int32_t>(std::max<int64_t>(left.count(), 0)));
    }

private:
    Socket& socket;
    const int32_t own;
    const bool bounded;
    const Clock::time_point end;
};

// Receives at most receiveSize bytes behind the buffered ones. On failure the
// buffer keeps exactly what it held.
void ReceiveMore(vx::Str& bytes, Socket& socket, size_t receiveSize, LineDeadline& deadline) {
    if (bytes.empty()) {
        // Every line taken: a session that waits for its client (an idle one
        // at its prompt, for hours maybe) waits without the room of a
        // receive, and takes it again once bytes are there.
        vx::Str().swap(bytes);
        deadline.Arm();
        socket.AwaitReadable();
    }
    size_t held = bytes.size();
    bytes.resize(held + receiveSize);
    size_t received = 0;
    try {
        deadline.Arm();
        received = socket.Receive(&bytes[held], receiveSize);
    } catch (...) {
        bytes.resize(held);
        throw;
    }
    bytes.resize(held + received);
    if (received == 0) throw SocketClosed("SOCKETUTIL_READLINE_RECEIVE: Socket was closed");
}

// The offset of the first CR LF at or after from, or npos. Looks for the LF
// and checks the byte before it: one scan per line instead of a scan for the
// CR and a comparison at each one.
size_t FindLineEnd(const vx::Str& bytes, size_t from) {
    const char* data = bytes.data();
    for (size_t at = from + 1; at < bytes.size();) {
        const void* found = std::memchr(data + at, '\n', bytes.size() - at);
        if (found == nullptr) break;
        size_t lf = static_cast<size_t>(static_cast<const char*>(found) - data);
        if (data[lf - 1] == '\r') return lf - 1;
        at = lf + 1;
    }
    return vx::Str::npos;
}

// The next line of bytes from offset start on; start moves past its CR LF.
// Bytes before start are consumed and may be dropped before a receive. The
// view points into bytes and lasts until they change.
std::string_view ReadLineFrom(vx::Str& bytes, size_t& start, Socket& socket, size_t maxLineLength,
                              size_t receiveSize, int32_t lineTimeoutMs) {
    LineDeadline deadline(socket, lineTimeoutMs);
    size_t scanFrom = start;
    for (;;) {
        size_t end = FindLineEnd(bytes, scanFrom);
        if (end != vx::Str::npos) {
            if (end - start > maxLineLength) {
                throw LineTooLong(
                    "SOCKETUTIL_READLINE_LINEEND: The line the maximum line length allowed - " +
                    std::to_string(bytes.size() - start));
            }
            std::string_view line(bytes.data() + start, end - start);
            start = end + 2;
            return line;
        }
        size_t pending = bytes.size() - start;
        // A line of the largest length whose LF has not come yet ends in its CR.
        bool endsInCr = pending > 0 && bytes.back() == '\r';
        if (pending > maxLineLength + (endsInCr ? 1 : 0)) {
            throw LineTooLong(
                "SOCKETUTIL_READLINE_BUFFERLEN: The buffer exceeds the maximum line length "
                "allowed - " +
                std::to_string(pending));
        }
        bytes.erase(0, start);
        start = 0;
        scanFrom = endsInCr ? pending - 1 : pending;
        ReceiveMore(bytes, socket, receiveSize, deadline);
    }
}

}  // namespace

vx::Str ReadLine(vx::Str& buffer, Socket& socket, size_t maxLineLength, size_t receiveSize) {
    size_t start = 0;
    vx::Str line(ReadLineFrom(buffer, start, socket, maxLineLength, receiveSize, -1));
    buffer.erase(0, start);
    return line;
}

vx::Str ReadLine(ReceiveBuffer& buffer, Socket& socket, size_t maxLineLength, size_t receiveSize) {
    return vx::Str(ReadLineView(buffer, socket, maxLineLength, receiveSize));
}

std::string_view ReadLineView(ReceiveBuffer& buffer, Socket& socket, size_t maxLineLength,
                              size_t receiveSize, int32_t lineTimeoutMs) {
    return ReadLineFrom(buffer.bytes, buffer.start, socket, maxLineLength, receiveSize,
                        lineTimeoutMs);
}

vx::Str ReadBlock(ReceiveBuffer& buffer, Socket& socket, size_t count, size_t receiveSize,
                  int32_t timeoutMs) {
    vx::Str& bytes = buffer.bytes;
    if (bytes.size() - buffer.start < count) {
        bytes.erase(0, buffer.start);
        buffer.start = 0;
        LineDeadline deadline(socket, timeoutMs);
        while (bytes.size() < count) ReceiveMore(bytes, socket, receiveSize, deadline);
    }
    vx::Str block = bytes.substr(buffer.start, count);
    buffer.start += count;
    return block;
}

}  // namespace vxw
