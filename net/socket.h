#pragma once
// One IPv4 TCP endpoint, always non-blocking; every wait is bounded by the
// socket's own time-out (milliseconds, 30000 by default). With a TLS session
// attached, Send and Receive go through it.
#include <openssl/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/str.h"

namespace vxw {

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
    bool WaitUntilWriteable(int32_t ms);

    void SetTimeout(int32_t ms) { timeout = ms; }
    int32_t GetTimeout() const { return timeout; }

    // Result of the last close call, or -1 when not open. Never throws; safe
    // to call from another thread to stop a waiting Accept.
    int Close();
    bool IsOpen() const { return handle.load() != kInvalidSocket; }
    SocketHandle Handle() const { return handle.load(); }

    // TLS handshake over the connected socket; used by Open and by the HTTP
    // proxy tunnel. Throws SocketError.
    void SslConnect();
    bool HasTls() const { return ssl != nullptr; }

private:
    std::atomic<SocketHandle> handle;
    SSL_CTX* sslContext = nullptr;
    SSL* ssl = nullptr;
    int32_t timeout = 30000;
};

// The next CR LF terminated line from buffer and socket, without its CR LF.
// Throws vx::Exception past maxLineLength and SocketClosed when the peer closes.
vx::Str ReadLine(vx::Str& buffer, Socket& socket, size_t maxLineLength, size_t receiveSize);

}  // namespace vxw
