#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/support/test_socket.h"

namespace testing_support {

const int kTimedOutError = ETIMEDOUT;
const int kConnectionRefusedError = ECONNREFUSED;
const int kConnectionResetError = ECONNRESET;
const int kAddressInUseError = EADDRINUSE;
const int kInvalidArgumentError = EINVAL;

DefaultBrokenPipeSignal::DefaultBrokenPipeSignal() : previous(signal(SIGPIPE, SIG_DFL)) {}
DefaultBrokenPipeSignal::~DefaultBrokenPipeSignal() {
    signal(SIGPIPE, previous);
}

RawSocket ListenOnLoopback(int backlog, int& port) {
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener, backlog) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (listener >= 0) ::close(listener);
        throw std::runtime_error("test server cannot listen");
    }
    port = ntohs(address.sin_port);
    return listener;
}

RawSocket AcceptConnection(RawSocket listener) {
    int fd = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? kNoSocket : fd;
}

void WakeSocket(RawSocket socket) {
    ::shutdown(static_cast<int>(socket), SHUT_RDWR);
}

void CloseSocket(RawSocket socket) {
    ::close(static_cast<int>(socket));
}

void SetReceiveTimeout(RawSocket socket, int milliseconds) {
    timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
    ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
}

void SetNoDelay(RawSocket socket) {
    int on = 1;
    ::setsockopt(static_cast<int>(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool HasNoDelay(RawSocket socket) {
    int on = 0;
    socklen_t length = sizeof on;
    return ::getsockopt(static_cast<int>(socket), IPPROTO_TCP, TCP_NODELAY, &on, &length) == 0 &&
           on != 0;
}

long SendSome(RawSocket socket, const char* data, size_t length) {
    return ::send(static_cast<int>(socket), data, length, MSG_NOSIGNAL);
}

long ReceiveSome(RawSocket socket, char* buffer, size_t size) {
    return ::recv(static_cast<int>(socket), buffer, size, 0);
}

}  // namespace testing_support
