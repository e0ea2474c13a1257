#pragma once
// One IPv4 TCP endpoint, always non-blocking; every wait is bounded by the
// socket's own time-out (milliseconds, 30000 by default). With a TLS session
// attached, Send and Receive go through it.
#include <openssl/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/exception.h"
#include "core/str.h"

namespace vxw {

class SessionControl;

// Wide enough for a POSIX descriptor and a Winsock SOCKET alike.
using SocketHandle = std::intptr_t;
constexpr SocketHandle kInvalidSocket = -1;

class Socket {
public:
    // Takes ownership of handle (an accepted connection) and makes it non-blocking.
    explicit Socket(SocketHandle handle = kInvalidSocket);
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Connects as a client (TLS handshake too when useTls). Throws SocketError;
    // the socket is closed after a failure.
    void Open(int32_t port, const vx::Str& host, int32_t timeoutMs, bool useTls);
    // Becomes a listening socket. Throws SocketError.
    void Listen(const vx::Str& host, int32_t port, int32_t backlog);
    // The handle of an accepted connection, or kInvalidSocket once another
    // thread closed this socket.
    SocketHandle Accept();

    // Sends every byte or throws SocketError.
    void Send(const char* data, size_t length);
    void SendText(const vx::Str& text);
    // 1..size bytes, or 0 when the peer closed. Throws SocketError.
    size_t Receive(char* buffer, size_t size);

    bool WaitUntilReadable(int32_t ms);
    // Waits within the time-out until a receive finds bytes (or the peer's
    // close), and throws as Receive does when none come. With TLS it returns
    // at once: the TLS library may hold received bytes already.
    void AwaitReadable();
    bool WaitUntilWriteable(int32_t ms);
    // Waits for room to send, up to ms after the last byte the peer took:
    // a slow reader that takes bytes all along is waited for as long as it
    // keeps taking them. False as WaitUntilWriteable is.
    bool WaitForRoomToSend(int32_t ms);

    void SetTimeout(int32_t ms) { timeout = ms; }
    int32_t GetTimeout() const { return timeout; }

    // Result of the last close call, or -1 when not open. Never throws; safe
    // to call from another thread to stop a waiting Accept.
    int Close();
    bool IsOpen() const { return handle.load() != kInvalidSocket; }
    SocketHandle Handle() const { return handle.load(); }
    // The local port of an open socket (the one a Listen on port 0 got), or 0.
    int32_t LocalPort() const;

    // TLS handshake over the connected socket; used by Open and by the HTTP
    // proxy tunnel. serverName, when given, is sent as the TLS server name
    // (SNI), which many servers need to pick their certificate. The server's
    // certificate is not verified. Throws SocketError.
    void SslConnect(const vx::Str& serverName = vx::Str());
    bool HasTls() const { return ssl != nullptr; }

private:
    friend class SessionControl;  // forgets itself in sockets that outlive it
    struct SslContextFree {
        void operator()(SSL_CTX* context) const;
    };
    struct SslFree {
        void operator()(SSL* session) const;
    };
    using SslContextPtr = std::unique_ptr<SSL_CTX, SslContextFree>;
    using SslPtr = std::unique_ptr<SSL, SslFree>;

    // IPv4 address (network byte order) of host; the any-address when empty.
    static uint32_t GetAddress(const vx::Str& host);
    void SetSocketOption(int option, int value);
    // Joins the session running on this thread, if any (see SessionControl).
    void EnlistInSession();
    void SetNonBlocking();
    void Connect(int32_t port, const vx::Str& host, bool useTls);
    void SendPlain(const char* data, size_t length);
    size_t ReceivePlain(char* buffer, size_t size);
    void SendTls(const char* data, size_t length);
    size_t ReceiveTls(char* buffer, size_t size);
    // Sleeps, then waits for the direction the TLS library asked for; false
    // when the wait failed. wantWrite selects the writeable wait.
    bool WaitForTls(bool wantWrite);

    std::atomic<SocketHandle> handle;
    std::atomic<int32_t> acceptors{0};  // threads inside Accept, see Close
    SessionControl* control = nullptr;   // the session that may shut this socket
    SslContextPtr sslContext;
    SslPtr ssl;
    int32_t timeout = 30000;
};

// Whether a failure of Send or Receive was a wait that ran out.
bool IsTimeOut(const SocketError& error);

// A line longer than the reader's limit.
class LineTooLong : public vx::Exception {
public:
    using vx::Exception::Exception;
};

// The next CR LF terminated line from buffer and socket, without its CR LF.
// Throws LineTooLong past maxLineLength and SocketClosed when the peer closes.
vx::Str ReadLine(vx::Str& buffer, Socket& socket, size_t maxLineLength, size_t receiveSize);

}  // namespace vxw
