#include "net/socket.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "core/exception.h"
#include "core/thread.h"
#include "net/session_control.h"
#include "net/socket_init.h"
#include "net/socket_system.h"

namespace vxw {

vx::Str sys::DescribeError(int error) {
    vx::Str words = ErrorWords(error);
    return std::to_string(error) + (words.empty() ? vx::Str() : " (" + words + ")");
}

namespace {

constexpr int32_t kSendRetryPauseMs = 1000;
constexpr int32_t kAcceptFailurePauseMs = 100;
// How often a send that waits for room looks whether the peer took bytes.
constexpr int32_t kSendProgressCheckMs = 1000;

[[noreturn]] void ThrowLastError(const vx::Str& text) {
    int error = sys::LastError();
    throw SocketError::FromSystem(text, error, sys::DescribeError(error));
}

vx::Str ConnectTarget(const vx::Str& host, int32_t port) {
    return host + " on port " + std::to_string(port);
}

// Counts a thread in Accept for as long as it may use the handle's number.
class AcceptorCount {
public:
    explicit AcceptorCount(std::atomic<int32_t>& count) : count(count) { ++count; }
    ~AcceptorCount() { --count; }
    AcceptorCount(const AcceptorCount&) = delete;
    AcceptorCount& operator=(const AcceptorCount&) = delete;

private:
    std::atomic<int32_t>& count;
};

}  // namespace

void Socket::SslContextFree::operator()(SSL_CTX* context) const {
    SSL_CTX_free(context);
}
void Socket::SslFree::operator()(SSL* session) const {
    SSL_free(session);
}

Socket::Socket(SocketHandle handle) : handle(handle) {
    SocketInit::Instance();
    if (handle == kInvalidSocket) return;
    EnlistInSession();
    SetNonBlocking();
}

void Socket::EnlistInSession() {
    control = SessionControl::Current();
    if (control != nullptr) control->Enlist(*this);
}

Socket::~Socket() {
    Close();
}

uint32_t Socket::GetAddress(const vx::Str& host) {
    if (host.empty()) return sys::AnyAddress();
    uint32_t address = 0;
    if (!sys::LookupHost(host, address)) {
        ThrowLastError("vxw::Socket::GetAddress - Error in host lookup - " + host);
    }
    return address;
}

void Socket::SetSocketOption(int option, int value) {
    if (!sys::SetOption(handle.load(), option, value)) {
        ThrowLastError("vxw::Socket::SetSocketOption::setsockopt - Error setting socket option - " +
                       std::to_string(option) + " " + std::to_string(value));
    }
}

void Socket::SetNonBlocking() {
    if (!sys::SetNonBlocking(handle.load())) {
        ThrowLastError(
            "vxw::Socket::SetNonBlocking::ioctlsocket - Error setting socket to nonblocking mode");
    }
}

void Socket::Open(int32_t port, const vx::Str& host, int32_t timeoutMs, bool useTls) {
    timeout = timeoutMs;
    Close();
    try {
        Connect(port, host, useTls);
    } catch (...) {
        Close();
        throw;
    }
}

void Socket::Connect(int32_t port, const vx::Str& host, bool useTls) {
    SocketHandle opened = sys::OpenStream();
    if (opened == kInvalidSocket)
        ThrowLastError("vxw::Socket::Open::socket - Error opening socket");
    handle.exchange(opened);
    EnlistInSession();
    SetNonBlocking();
    // An HTTP request goes out as a head and a body in two sends; held back
    // until the head is acknowledged, the body would wait for the server's
    // delayed acknowledgement (some 40 ms) on every request of a kept-alive
    // connection. Only speed depends on it, so a refusal is no error.
    sys::SetNoDelay(opened);
    uint32_t address = GetAddress(host);
    if (!sys::Connect(opened, address, port)) {
        if (!sys::WouldBlock(sys::LastError())) {
            ThrowLastError("vxw::Socket::Open::connect - Error connecting socket to " +
                           ConnectTarget(host, port));
        }
        if (!WaitUntilWriteable(timeout)) {
            ThrowLastError("vxw::Socket::Open::WaitUntilWriteable - Error connecting socket to " +
                           ConnectTarget(host, port));
        }
    }
    if (useTls) SslConnect(sys::IsDottedAddress(host) ? vx::Str() : host);
}

void Socket::Listen(const vx::Str& host, int32_t port, int32_t backlog) {
    Close();
    SocketHandle opened = sys::OpenStream();
    if (opened == kInvalidSocket)
        ThrowLastError("vxw::Socket::Listen::socket - Error creating socket");
    handle.exchange(opened);
    SetSocketOption(sys::ListenerAddressOption(), 1);
    uint32_t address = GetAddress(host);
    if (!sys::Bind(opened, address, port)) {
        throw SocketError("vxw::Socket::Listen::bind - Error binding socket - " + host + " - " +
                          std::to_string(port) + " - " + sys::DescribeError(sys::LastError()));
    }
    if (!sys::Listen(opened, backlog)) {
        throw SocketError("vxw::Socket::Listen::listen - Error setting socket to listen - " +
                          sys::DescribeError(sys::LastError()));
    }
    SetNonBlocking();
}

SocketHandle Socket::Accept() {
    // While this thread is counted, Close (from another thread) only shuts the
    // socket down, which wakes the wait below; the number is released after we
    // left, so a new socket that reuses it can never be accepted on by mistake.
    AcceptorCount counted(acceptors);
    for (;;) {
        SocketHandle listening = handle.load();
        if (listening == kInvalidSocket) return kInvalidSocket;
        SocketHandle accepted = sys::Accept(listening);
        if (accepted != kInvalidSocket) {
            // A reply of several lines goes out in several sends (EHLO's two
            // lines, a status line and then the message); held back until the
            // first is acknowledged, the rest would wait for the client's
            // delayed acknowledgement, some 40 ms each time.
            sys::SetNoDelay(accepted);
            return accepted;
        }
        int error = sys::LastError();
        if (handle.load() == kInvalidSocket) return kInvalidSocket;
        // A failure that a wait cannot cure (out of descriptors) would turn the
        // loop into a busy spin: pause before trying again.
        if (!sys::WouldBlock(error)) Sleep(kAcceptFailurePauseMs);
        WaitUntilReadable(timeout);
    }
}

int32_t Socket::LocalPort() const {
    SocketHandle current = handle.load();
    return current == kInvalidSocket ? 0 : sys::LocalPort(current);
}

bool Socket::WaitUntilReadable(int32_t ms) {
    SocketHandle current = handle.load();
    return current != kInvalidSocket && sys::Wait(current, false, ms);
}

bool Socket::WaitUntilWriteable(int32_t ms) {
    SocketHandle current = handle.load();
    return current != kInvalidSocket && sys::Wait(current, true, ms);
}

// A writeable wait on Linux wakes only once a third of the send buffer is
// free; a client that reads a large message at a few KiB/s frees that much
// only every minute or so, while it takes bytes all the time. So the wait
// goes in slices, and each slice that saw the unacknowledged bytes shrink
// starts the time-out again.
bool Socket::WaitForRoomToSend(int32_t ms) {
    using Clock = std::chrono::steady_clock;
    SocketHandle current = handle.load();
    if (current == kInvalidSocket) return false;
    long queued = sys::UnacknowledgedBytes(current);
    Clock::time_point moved = Clock::now();
    for (;;) {
        int64_t left =
            ms - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - moved).count();
        if (left <= 0) {
            sys::SetLastError(sys::TimeOutError());
            return false;
        }
        int32_t slice = static_cast<int32_t>(queued < 0 ? left : std::min<int64_t>(left, kSendProgressCheckMs));
        if (sys::Wait(current, true, slice)) return true;
        if (sys::LastError() != sys::TimeOutError()) return false;
        long now = sys::UnacknowledgedBytes(current);
        if (now >= 0 && now < queued) moved = Clock::now();
        queued = now;
    }
}

bool IsTimeOut(const SocketError& error) {
    return error.Code() == sys::TimeOutError();
}

void Socket::Send(const char* data, size_t length) {
    if (ssl) {
        SendTls(data, length);
    } else {
        SendPlain(data, length);
    }
}

void Socket::SendText(const vx::Str& text) {
    Send(text.data(), text.size());
}

void Socket::SendPlain(const char* data, size_t length) {
    const int32_t budget = timeout / 1000 + 1;
    int32_t attempts = 0;
    while (length > 0) {
        if (!WaitForRoomToSend(timeout)) {
            ThrowLastError(
                "vxw::Socket::Send::WaitUntilWriteable - There was an error sending the data "
                "through the socket");
        }
        long sent = sys::Send(handle.load(), data, length);
        if (sent >= 0) {
            data += sent;
            length -= static_cast<size_t>(sent);
            attempts = 0;
            continue;
        }
        int error = sys::LastError();
        if (!sys::WouldBlock(error) || ++attempts >= budget) {
            sys::SetLastError(error);
            ThrowLastError(
                "vxw::Socket::Send::result - There was an error sending the data through the "
                "socket");
        }
        Sleep(kSendRetryPauseMs);
    }
}

size_t Socket::Receive(char* buffer, size_t size) {
    return ssl ? ReceiveTls(buffer, size) : ReceivePlain(buffer, size);
}

void Socket::AwaitReadable() {
    if (ssl) return;
    if (!WaitUntilReadable(timeout)) {
        ThrowLastError(
            "vxw::Socket::Receive::WaitUntilReadable - There was an error receiving data through "
            "the socket");
    }
}

size_t Socket::ReceivePlain(char* buffer, size_t size) {
    AwaitReadable();
    long received = sys::Receive(handle.load(), buffer, size);
    if (received < 0) {
        ThrowLastError(
            "vxw::Socket::Receive::result - There was an error receiving data through the socket");
    }
    return static_cast<size_t>(received);
}

int Socket::Close() {
    // Out of the session's list before the number can go to another socket.
    if (control != nullptr) {
        control->Delist(*this);
        control = nullptr;
    }
    SocketHandle closing = handle.exchange(kInvalidSocket);
    if (closing == kInvalidSocket) return -1;
    SslPtr session = std::move(ssl);
    SslContextPtr context = std::move(sslContext);
    if (session) SSL_shutdown(session.get());
    sys::ShutdownBoth(closing);
    // A thread still in Accept has been woken by the shutdown; keep the number
    // until it has let go of it.
    while (acceptors.load() > 0) Sleep(1);
    int result = sys::CloseHandle(closing);
    session.reset();
    if (context) {
        context.reset();
        ERR_clear_error();
    }
    return result;
}

}  // namespace vxw
