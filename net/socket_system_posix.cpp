#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "net/socket_system.h"

namespace vxw {
namespace sys {
namespace {

int ToFd(SocketHandle handle) {
    return static_cast<int>(handle);
}

sockaddr_in MakeAddress(uint32_t address, int32_t port) {
    sockaddr_in result;
    std::memset(&result, 0, sizeof result);
    result.sin_family = AF_INET;
    result.sin_port = htons(static_cast<uint16_t>(port));
    result.sin_addr.s_addr = address;
    return result;
}

// The error a failed connect or a reset left on the socket.
int PendingError(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error != 0 ? error : ECONNRESET;
}

}  // namespace

int LastError() {
    return errno;
}
int TimeOutError() {
    return ETIMEDOUT;
}
vx::Str ErrorWords(int error) {
    // The resolver's numbers (EAI_*) are negative; errno values positive.
    if (error < 0) return gai_strerror(error);
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}
void SetLastError(int error) {
    errno = error;
}
bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINPROGRESS;
}

SocketHandle OpenStream() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? kInvalidSocket : fd;
}

int CloseHandle(SocketHandle handle) {
    return ::close(ToFd(handle));
}

void ShutdownBoth(SocketHandle handle) {
    ::shutdown(ToFd(handle), SHUT_RDWR);
}

void WakeReader(SocketHandle handle) {
    ::shutdown(ToFd(handle), SHUT_RD);
}

bool SetNonBlocking(SocketHandle handle) {
    int flags = ::fcntl(ToFd(handle), F_GETFL, 0);
    return flags >= 0 && ::fcntl(ToFd(handle), F_SETFL, flags | O_NONBLOCK) == 0;
}

int ListenerAddressOption() {
    return SO_REUSEADDR;
}

bool SetOption(SocketHandle handle, int option, int value) {
    return ::setsockopt(ToFd(handle), SOL_SOCKET, option, &value, sizeof value) == 0;
}

bool SetNoDelay(SocketHandle handle) {
    int on = 1;
    return ::setsockopt(ToFd(handle), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

bool IsDottedAddress(const vx::Str& host) {
    in_addr parsed;
    return ::inet_aton(host.c_str(), &parsed) != 0;
}

bool LookupHost(const vx::Str& host, uint32_t& address) {
    in_addr parsed;
    if (::inet_aton(host.c_str(), &parsed) != 0) {
        address = parsed.s_addr;
        return true;
    }
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0 || found == nullptr) {
        // The resolver's own number (EAI_*), unless it failed in a system call.
        SetLastError(result == EAI_SYSTEM ? errno : result);
        return false;
    }
    address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return true;
}

uint32_t AnyAddress() {
    return htonl(INADDR_ANY);
}

// A port that does not fit would silently wrap to another one.
bool PortFits(int32_t port) {
    if (port >= 0 && port <= 65535) return true;
    SetLastError(EINVAL);
    return false;
}

bool Connect(SocketHandle handle, uint32_t address, int32_t port) {
    if (!PortFits(port)) return false;
    sockaddr_in target = MakeAddress(address, port);
    return ::connect(ToFd(handle), reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
}

bool Bind(SocketHandle handle, uint32_t address, int32_t port) {
    if (!PortFits(port)) return false;
    sockaddr_in local = MakeAddress(address, port);
    return ::bind(ToFd(handle), reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
}

bool Listen(SocketHandle handle, int32_t backlog) {
    return ::listen(ToFd(handle), backlog) == 0;
}

SocketHandle Accept(SocketHandle handle) {
    int fd = ::accept4(ToFd(handle), nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? kInvalidSocket : fd;
}

int32_t LocalPort(SocketHandle handle) {
    sockaddr_in local;
    socklen_t length = sizeof local;
    if (::getsockname(ToFd(handle), reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return ntohs(local.sin_port);
}

long Send(SocketHandle handle, const char* data, size_t length) {
    return ::send(ToFd(handle), data, length, MSG_NOSIGNAL);
}

long Receive(SocketHandle handle, char* buffer, size_t size) {
    return ::recv(ToFd(handle), buffer, size, 0);
}

bool Wait(SocketHandle handle, bool forWrite, int32_t ms) {
    pollfd entry;
    entry.fd = ToFd(handle);
    entry.events = forWrite ? POLLOUT : POLLIN;
    entry.revents = 0;
    int result = ::poll(&entry, 1, ms < 0 ? 0 : ms);
    if (result < 0) return false;
    if (result == 0) {
        SetLastError(ETIMEDOUT);
        return false;
    }
    if (entry.revents & POLLNVAL) {
        SetLastError(EBADF);
        return false;
    }
    if (forWrite) {
        // A refused or reset connection: report its error, as the exception
        // set of a select would.
        if (entry.revents & (POLLERR | POLLHUP)) {
            SetLastError(PendingError(entry.fd));
            return false;
        }
        return (entry.revents & POLLOUT) != 0;
    }
    // An error or a hang-up is "readable": the next receive reports it (or 0).
    return (entry.revents & (POLLIN | POLLERR | POLLHUP)) != 0;
}

long UnacknowledgedBytes(SocketHandle handle) {
    int queued = 0;
    if (::ioctl(ToFd(handle), SIOCOUTQ, &queued) != 0) return -1;
    return queued;
}

}  // namespace sys
}  // namespace vxw
