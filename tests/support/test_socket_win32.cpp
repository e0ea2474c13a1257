#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <set>
#include <stdexcept>

#include "net/socket_init.h"
#include "tests/support/test_socket.h"

namespace testing_support {
namespace {

SOCKET ToSocket(RawSocket socket) {
    return static_cast<SOCKET>(socket);
}
int Clamp(size_t length) {
    return static_cast<int>(std::min<size_t>(length, INT_MAX));
}

// Listeners that WakeSocket was called for (until they are closed).
std::mutex wokenLock;
std::set<RawSocket> woken;

bool IsWoken(RawSocket socket) {
    std::lock_guard<std::mutex> guard(wokenLock);
    return woken.count(socket) != 0;
}

}  // namespace

const int kTimedOutError = WSAETIMEDOUT;
const int kConnectionRefusedError = WSAECONNREFUSED;
const int kConnectionResetError = WSAECONNRESET;
const int kAddressInUseError = WSAEADDRINUSE;
const int kInvalidArgumentError = WSAEINVAL;

// Winsock raises no signal on a broken connection.
DefaultBrokenPipeSignal::DefaultBrokenPipeSignal() {}
DefaultBrokenPipeSignal::~DefaultBrokenPipeSignal() {
    (void)previous;
}

RawSocket ListenOnLoopback(int backlog, int& port) {
    vxw::SocketInit::Instance();
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (listener == INVALID_SOCKET ||
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener, backlog) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (listener != INVALID_SOCKET) ::closesocket(listener);
        throw std::runtime_error("test server cannot listen");
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(listener), HANDLE_FLAG_INHERIT, 0);
    port = ntohs(address.sin_port);
    return static_cast<RawSocket>(listener);
}

RawSocket AcceptConnection(RawSocket listener) {
    // Winsock's shutdown cannot wake a blocked accept: wait in slices and
    // give up once WakeSocket has marked the listener.
    for (;;) {
        if (IsWoken(listener)) return kNoSocket;
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(ToSocket(listener), &ready);
        timeval slice{0, 50 * 1000};
        int result = ::select(0, &ready, nullptr, nullptr, &slice);
        if (result == SOCKET_ERROR) return kNoSocket;
        if (result == 0) continue;
        SOCKET accepted = ::accept(ToSocket(listener), nullptr, nullptr);
        if (accepted == INVALID_SOCKET) return kNoSocket;
        SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
        return static_cast<RawSocket>(accepted);
    }
}

void WakeSocket(RawSocket socket) {
    {
        std::lock_guard<std::mutex> guard(wokenLock);
        woken.insert(socket);
    }
    ::shutdown(ToSocket(socket), SD_BOTH);
}

void CloseSocket(RawSocket socket) {
    {
        std::lock_guard<std::mutex> guard(wokenLock);
        woken.erase(socket);
    }
    ::closesocket(ToSocket(socket));
}

void SetReceiveTimeout(RawSocket socket, int milliseconds) {
    DWORD wait = static_cast<DWORD>(milliseconds);
    ::setsockopt(ToSocket(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wait),
                 sizeof wait);
}

void SetNoDelay(RawSocket socket) {
    BOOL on = TRUE;
    ::setsockopt(ToSocket(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                 sizeof on);
}

bool HasNoDelay(RawSocket socket) {
    BOOL on = FALSE;
    int length = sizeof on;
    return ::getsockopt(ToSocket(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&on),
                        &length) == 0 &&
           on != FALSE;
}

long SendSome(RawSocket socket, const char* data, size_t length) {
    return ::send(ToSocket(socket), data, Clamp(length), 0);
}

long ReceiveSome(RawSocket socket, char* buffer, size_t size) {
    return ::recv(ToSocket(socket), buffer, Clamp(size), 0);
}

}  // namespace testing_support
