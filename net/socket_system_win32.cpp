// Winsock under vxw::Socket. The waits are selects with the socket in the
// read (or write) set and in the exception set, so a refused connect shows up
// as an error instead of a long wait.
//
// Waking a waiter from another thread: Winsock's shutdown does nothing on a
// listening socket and need not wake a select on a connection, and a handle
// must not be closed under a waiting thread (its number could be reused at
// once). ShutdownBoth and WakeReader therefore mark the handle, and every
// wait looks at the marks between short slices; CloseHandle clears them.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <vector>

#include "net/socket_system.h"

namespace vxw {
namespace sys {
namespace {

constexpr int32_t kWaitSliceMs = 100;

SOCKET ToSocket(SocketHandle handle) {
    return static_cast<SOCKET>(handle);
}

SocketHandle FromSocket(SOCKET socket) {
    return socket == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(socket);
}

// Handles given to other programs would keep the ports and connections alive.
SocketHandle NotInherited(SOCKET socket) {
    if (socket != INVALID_SOCKET) {
        SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    }
    return FromSocket(socket);
}

sockaddr_in MakeAddress(uint32_t address, int32_t port) {
    sockaddr_in result;
    std::memset(&result, 0, sizeof result);
    result.sin_family = AF_INET;
    result.sin_port = htons(static_cast<u_short>(port));
    result.sin_addr.s_addr = address;
    return result;
}

// Words for the errors a user meets most, where the system has no message
// for them (Wine has none for several).
struct SocketErrorName {
    int error;
    const char* words;
};
const SocketErrorName kSocketErrorNames[] = {
    {WSAEACCES, "Permission denied"},
    {WSAEINVAL, "Invalid argument"},
    {WSAEMFILE, "Too many open files"},
    {WSAEADDRINUSE, "Address already in use"},
    {WSAEADDRNOTAVAIL, "Cannot assign requested address"},
    {WSAENETUNREACH, "Network is unreachable"},
    {WSAECONNABORTED, "Software caused connection abort"},
    {WSAECONNRESET, "Connection reset by peer"},
    {WSAENOBUFS, "No buffer space available"},
    {WSAETIMEDOUT, "Connection timed out"},
    {WSAECONNREFUSED, "Connection refused"},
    {WSAEHOSTUNREACH, "No route to host"},
    {WSAHOST_NOT_FOUND, "Host not found"},
    {WSATRY_AGAIN, "Temporary failure in name resolution"},
};

vx::Str SocketErrorWords(int error) {
    for (const SocketErrorName& name : kSocketErrorNames) {
        if (name.error == error) return name.words;
    }
    return vx::Str();
}

int Clamp(size_t length) {
    return static_cast<int>(std::min<size_t>(length, INT_MAX));
}

// The error a failed connect or a reset left on the socket.
int PendingError(SOCKET socket) {
    int error = 0;
    int length = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        return WSAGetLastError();
    }
    return error != 0 ? error : WSAECONNRESET;
}

class ShutHandles {
public:
    void Mark(SocketHandle handle) {
        std::lock_guard<std::mutex> guard(lock);
        handles.push_back(handle);
    }
    void Clear(SocketHandle handle) {
        std::lock_guard<std::mutex> guard(lock);
        handles.erase(std::remove(handles.begin(), handles.end(), handle), handles.end());
    }
    bool Has(SocketHandle handle) {
        std::lock_guard<std::mutex> guard(lock);
        return std::find(handles.begin(), handles.end(), handle) != handles.end();
    }

private:
    std::mutex lock;
    std::vector<SocketHandle> handles;
};

ShutHandles& Shut() {
    static ShutHandles* shut = new ShutHandles;  // used by sockets closed at exit
    return *shut;
}

// Connections whose receiving side another thread ended.
ShutHandles& Woken() {
    static ShutHandles* woken = new ShutHandles;
    return *woken;
}

// One select; 1 ready, 0 time-out, -1 failure or error condition (with the error set).
int SelectOnce(SOCKET socket, bool forWrite, int32_t ms) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);
    timeval limit;
    limit.tv_sec = ms / 1000;
    limit.tv_usec = (ms % 1000) * 1000;
    int result =
        select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &limit);
    if (result == SOCKET_ERROR) return -1;
    if (result == 0) return 0;
    if (FD_ISSET(socket, &failed)) {
        WSASetLastError(PendingError(socket));
        return -1;
    }
    return FD_ISSET(socket, &ready) ? 1 : 0;
}

}  // namespace

int LastError() {
    return WSAGetLastError();
}
int TimeOutError() {
    return WSAETIMEDOUT;
}
vx::Str ErrorWords(int error) {
    char buffer[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  static_cast<DWORD>(error), 0, buffer, sizeof buffer, nullptr);
    vx::Str words(buffer, length);
    // A sentence with its own line end and full stop; the text goes on after it.
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' ||
                              words.back() == '.'))
        words.pop_back();
    return words.empty() ? SocketErrorWords(error) : words;
}void SetLastError(int error) {
    WSASetLastError(error);
}
bool WouldBlock(int error) {
    return error == WSAEWOULDBLOCK;
}

SocketHandle OpenStream() {
    return NotInherited(::socket(AF_INET, SOCK_STREAM, 0));
}

int CloseHandle(SocketHandle handle) {
    Shut().Clear(handle);
    Woken().Clear(handle);
    return ::closesocket(ToSocket(handle));
}

void ShutdownBoth(SocketHandle handle) {
    Shut().Mark(handle);
    ::shutdown(ToSocket(handle), SD_BOTH);
}

void WakeReader(SocketHandle handle) {
    Woken().Mark(handle);
    ::shutdown(ToSocket(handle), SD_RECEIVE);
}

bool SetNonBlocking(SocketHandle handle) {
    u_long on = 1;
    return ::ioctlsocket(ToSocket(handle), FIONBIO, &on) == 0;
}

int ListenerAddressOption() {
    return SO_EXCLUSIVEADDRUSE;
}

bool SetOption(SocketHandle handle, int option, int value) {
    return ::setsockopt(ToSocket(handle), SOL_SOCKET, option, reinterpret_cast<const char*>(&value),
                        sizeof value) == 0;
}

bool SetNoDelay(SocketHandle handle) {
    BOOL on = TRUE;
    return ::setsockopt(ToSocket(handle), IPPROTO_TCP, TCP_NODELAY,
                        reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

bool IsDottedAddress(const vx::Str& host) {
    return ::inet_addr(host.c_str()) != INADDR_NONE || host == "255.255.255.255";
}

bool LookupHost(const vx::Str& host, uint32_t& address) {
    if (IsDottedAddress(host)) {
        address = ::inet_addr(host.c_str());
        return true;
    }
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0 || found == nullptr) {
        SetLastError(result != 0 ? result : WSAHOST_NOT_FOUND);
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
    SetLastError(WSAEINVAL);
    return false;
}

bool Connect(SocketHandle handle, uint32_t address, int32_t port) {
    if (!PortFits(port)) return false;
    sockaddr_in target = MakeAddress(address, port);
    return ::connect(ToSocket(handle), reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
}

bool Bind(SocketHandle handle, uint32_t address, int32_t port) {
    if (!PortFits(port)) return false;
    sockaddr_in local = MakeAddress(address, port);
    return ::bind(ToSocket(handle), reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
}

bool Listen(SocketHandle handle, int32_t backlog) {
    return ::listen(ToSocket(handle), backlog) == 0;
}

SocketHandle Accept(SocketHandle handle) {
    if (Shut().Has(handle)) {
        SetLastError(WSAESHUTDOWN);
        return kInvalidSocket;
    }
    return NotInherited(::accept(ToSocket(handle), nullptr, nullptr));
}

int32_t LocalPort(SocketHandle handle) {
    sockaddr_in local;
    int length = sizeof local;
    if (::getsockname(ToSocket(handle), reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}

long Send(SocketHandle handle, const char* data, size_t length) {
    return ::send(ToSocket(handle), data, Clamp(length), 0);
}

long Receive(SocketHandle handle, char* buffer, size_t size) {
    return ::recv(ToSocket(handle), buffer, Clamp(size), 0);
}

bool Wait(SocketHandle handle, bool forWrite, int32_t ms) {
    SOCKET socket = ToSocket(handle);
    int32_t left = ms < 0 ? 0 : ms;
    for (;;) {
        if (Shut().Has(handle) || (!forWrite && Woken().Has(handle))) {
            SetLastError(WSAESHUTDOWN);
            return false;
        }
        int32_t now = std::min(left, kWaitSliceMs);
        int result = SelectOnce(socket, forWrite, now);
        if (result != 0) return result > 0;
        left -= now;
        if (left <= 0) break;
    }
    SetLastError(WSAETIMEDOUT);
    return false;
}

// A writeable wait on Windows ends as soon as any room is free: there is no
// long sleep to see through.
long UnacknowledgedBytes(SocketHandle) {
    return -1;
}

}  // namespace sys
}  // namespace vxw
