#include "tests/support/tls_test_server.h"

#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <exception>
#include <memory>

#include "tests/support/test_certificate.h"

namespace testing_support {
namespace {

struct ContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SessionFree {
    void operator()(SSL* session) const { SSL_free(session); }
};
using ContextPtr = std::unique_ptr<SSL_CTX, ContextFree>;
using SessionPtr = std::unique_ptr<SSL, SessionFree>;

}  // namespace

// A server that cannot serve fails the test that uses it; an exception
// leaving the thread would end the whole test program instead.
template <class Body>
void ReportingFailures(Body body) {
    try {
        body();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "TLS test server: " << e.what();
    }
}

TlsTestServer::TlsTestServer(TlsBehaviour behaviour, Certificate certificate) {
    Listen();
    thread = std::thread([this, behaviour, certificate] {
        ReportingFailures([&] { Serve(certificate, behaviour); });
    });
}

TlsTestServer::TlsTestServer(PlainBehaviour behaviour) {
    Listen();
    thread = std::thread([this, behaviour] {
        ReportingFailures([&] {
            RawSocket connection = AcceptOne();
            if (connection == kNoSocket) return;
            behaviour(connection);
            CloseSocket(connection);
        });
    });
}

TlsTestServer::~TlsTestServer() {
    WakeSocket(listener);  // wakes an accept that never got a client
    thread.join();
    CloseSocket(listener);
}

void TlsTestServer::Listen() {
    listener = ListenOnLoopback(4, port);
}

RawSocket TlsTestServer::AcceptOne() {
    return AcceptConnection(listener);
}

void TlsTestServer::Serve(Certificate certificate, const TlsBehaviour& behaviour) {
    TestCertificate made(certificate == Certificate::Expired);
    ContextPtr context(made.NewServerContext());
    RawSocket connection = AcceptOne();
    if (connection == kNoSocket) return;
    SessionPtr session(SSL_new(context.get()));
    SSL_set_fd(session.get(), static_cast<int>(connection));
    if (SSL_accept(session.get()) == 1) {
        const char* name = SSL_get_servername(session.get(), TLSEXT_NAMETYPE_host_name);
        if (name != nullptr) requestedName = name;
        behaviour(session.get());
        SSL_shutdown(session.get());
    }
    CloseSocket(connection);
}

std::string TlsTestServer::ReadAll(SSL* session) {
    std::string text;
    char buffer[16384];
    for (;;) {
        int count = SSL_read(session, buffer, sizeof buffer);
        if (count <= 0) return text;
        text.append(buffer, static_cast<size_t>(count));
    }
}

}  // namespace testing_support
