#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "fuzz/support/fuzz_check.h"
#include "fuzz/support/socket_pair.h"

namespace fuzz_support {

SocketPair::SocketPair() {
    int ends[2];
    FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) == 0);
    inner = ends[0];
    outer = ends[1];
}

SocketPair::~SocketPair() {
    if (inner >= 0) ::close(inner);
    ::close(outer);
}

vxw::SocketHandle SocketPair::TakeInner() {
    int handle = inner;
    inner = -1;
    return handle;
}

size_t SocketPair::WriteWithoutWaiting(const char* data, size_t size) {
    size_t written = 0;
    while (written < size) {
        ssize_t sent = ::send(outer, data + written, size - written, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) break;
        written += static_cast<size_t>(sent);
    }
    return written;
}

bool SocketPair::WriteAndClose(const char* data, size_t size) {
    while (size > 0) {
        ssize_t sent = ::send(outer, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    ::shutdown(outer, SHUT_WR);
    return true;
}

vx::Str SocketPair::Drain(size_t keep) {
    vx::Str received;
    char buffer[65536];
    for (;;) {
        ssize_t got = ::recv(outer, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return received;
        received.append(buffer, std::min(static_cast<size_t>(got), keep - received.size()));
    }
}

}  // namespace fuzz_support
