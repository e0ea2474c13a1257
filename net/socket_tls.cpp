// The TLS side of vxw::Socket. The socket stays non-blocking under the TLS
// library, so every call that would block reports that it wants to read or to
// write; it is retried after a short pause and a wait bounded by the time-out.
#include <openssl/err.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "core/exception.h"
#include "core/thread.h"
#include "net/openssl.h"
#include "net/socket.h"
#include "net/socket_system.h"

namespace vxw {
namespace {

constexpr int32_t kTlsRetryPauseMs = 100;

// Mixed into the generator before each handshake. OpenSSL 3 seeds itself from
// the system; the extra bytes do no harm.
const char kSeedText[] = "Mirelink gateway: seed text for a TLS session";

[[noreturn]] void ThrowTls(const vx::Str& text) {
    int error = sys::LastError();
    throw SocketError::FromSystem(text + SslErrorText(), error, sys::DescribeError(error));
}

[[noreturn]] void ThrowTlsSetup(const vx::Str& text) {
    throw SocketError(text + SslErrorText(), 0);
}

void SeedRandom() {
    RAND_seed(kSeedText, sizeof kSeedText);
    std::string noise = std::to_string(std::rand());
    RAND_seed(noise.data(), static_cast<int>(noise.size()));
}

int ClampToInt(size_t length) {
    return length > INT_MAX ? INT_MAX : static_cast<int>(length);
}

// The place texts of one TLS retry loop.
struct TlsTexts {
    const char* waitReadable;
    const char* waitWriteable;
    const char* failed;
};

const TlsTexts kConnectTexts = {
    "vxw::Socket::SslConnect::WaitUntilReadable - There was an error connecting the secure socket "
    "- ",
    "vxw::Socket::SslConnect::WaitUntilWriteable - There was an error connecting the secure socket "
    "- ",
    "vxw::Socket::SslConnect::connecting - Error connecting - ",
};
const TlsTexts kSendTexts = {
    "vxw::Socket::Send::ssl::WaitUntilReadable - There was an error sending the data through the "
    "secure socket - ",
    "vxw::Socket::Send::ssl::WaitUntilWriteable - There was an error sending the data through the "
    "secure socket - ",
    "vxw::Socket::Send::ssl::SSL_write - There was an error sending the data through the secure "
    "socket - ",
};
const TlsTexts kReceiveTexts = {
    "vxw::Socket::Receive::ssl::WaitUntilReadable - There was an error receiving the data through "
    "the secure socket - ",
    "vxw::Socket::Receive::ssl::WaitUntilWriteable - There was an error receiving the data through "
    "the secure socket - ",
    "vxw::Socket::Receive::ssl::SSL_read - There was an error receiving the data through the "
    "secure socket - ",
};

}  // namespace

bool Socket::WaitForTls(bool wantWrite) {
    Sleep(kTlsRetryPauseMs);
    return wantWrite ? WaitForRoomToSend(timeout) : WaitUntilReadable(timeout);
}

void Socket::SslConnect(const vx::Str& serverName) {
    OpenSsl::Instance();
    sslContext.reset(SSL_CTX_new(TLS_client_method()));
    if (!sslContext) {
        ThrowTlsSetup("vxw::Socket::SslConnect::SSL_CTX_new - Error setting up SSL context - ");
    }
    // A server that closes without the TLS closing alert ends the stream like
    // a plain close, as many web servers do after the last response.
    SSL_CTX_set_options(sslContext.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    SeedRandom();
    ssl.reset(SSL_new(sslContext.get()));
    if (!ssl) ThrowTlsSetup("vxw::Socket::SslConnect::SSL_new - Error starting SSL negotiation - ");
    if (SSL_set_fd(ssl.get(), static_cast<int>(handle.load())) != 1) {
        ThrowTlsSetup("vxw::Socket::SslConnect::SSL_set_fd - Error setting SSL socket - ");
    }
    if (!serverName.empty()) SSL_set_tlsext_host_name(ssl.get(), serverName.c_str());
    for (int32_t attempt = 0; attempt < timeout / 100; ++attempt) {
        ERR_clear_error();
        int result = SSL_connect(ssl.get());
        if (result == 1) return;
        int error = SSL_get_error(ssl.get(), result);
        bool wantWrite = error == SSL_ERROR_WANT_WRITE;
        if (error != SSL_ERROR_WANT_READ && !wantWrite) ThrowTls(kConnectTexts.failed);
        if (!WaitForTls(wantWrite)) {
            ThrowTls(wantWrite ? kConnectTexts.waitWriteable : kConnectTexts.waitReadable);
        }
    }
    ThrowTls("vxw::Socket::SslConnect::loop - Error connecting - ");
}

void Socket::SendTls(const char* data, size_t length) {
    while (length > 0) {
        ERR_clear_error();
        int written = SSL_write(ssl.get(), data, ClampToInt(length));
        if (written > 0) {
            data += written;
            length -= static_cast<size_t>(written);
            continue;
        }
        int error = SSL_get_error(ssl.get(), written);
        bool wantWrite = error == SSL_ERROR_WANT_WRITE;
        if (error != SSL_ERROR_WANT_READ && !wantWrite) ThrowTls(kSendTexts.failed);
        if (!WaitForTls(wantWrite)) {
            ThrowTls(wantWrite ? kSendTexts.waitWriteable : kSendTexts.waitReadable);
        }
    }
}

size_t Socket::ReceiveTls(char* buffer, size_t size) {
    for (int32_t attempt = 0; attempt < timeout / 100; ++attempt) {
        ERR_clear_error();
        int received = SSL_read(ssl.get(), buffer, ClampToInt(size));
        if (received > 0) return static_cast<size_t>(received);
        int error = SSL_get_error(ssl.get(), received);
        if (error == SSL_ERROR_ZERO_RETURN) return 0;
        bool wantWrite = error == SSL_ERROR_WANT_WRITE;
        if (error != SSL_ERROR_WANT_READ && !wantWrite) {
            if (received == 0) return 0;  // the peer closed the connection
            ThrowTls(kReceiveTexts.failed);
        }
        if (!WaitForTls(wantWrite)) {
            ThrowTls(wantWrite ? kReceiveTexts.waitWriteable : kReceiveTexts.waitReadable);
        }
    }
    ThrowTls(
        "vxw::Socket::Receive::ssl::loop - There was an error receiving the data through the "
        "secure socket - ");
}

}  // namespace vxw
