#include "tests/support/tls_test_server.h"

#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <stdexcept>

namespace testing_support {
namespace {

template <class T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* object) const { Free(object); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using ContextPtr = std::unique_ptr<SSL_CTX, Deleter<SSL_CTX, SSL_CTX_free>>;
using SessionPtr = std::unique_ptr<SSL, Deleter<SSL, SSL_free>>;

constexpr long kDay = 24 * 60 * 60;

CertPtr MakeCertificate(EVP_PKEY* key, TlsTestServer::Certificate kind) {
    CertPtr cert(X509_new());
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
    bool expired = kind == TlsTestServer::Certificate::Expired;
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), expired ? -2 * kDay : -kDay);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), expired ? -kDay : 30 * kDay);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    X509_set_pubkey(cert.get(), key);
    if (X509_sign(cert.get(), key, EVP_sha256()) == 0) throw std::runtime_error("X509_sign");
    return cert;
}

ContextPtr MakeContext(TlsTestServer::Certificate kind) {
    KeyPtr key(EVP_EC_gen("P-256"));
    if (!key) throw std::runtime_error("EVP_EC_gen");
    CertPtr cert = MakeCertificate(key.get(), kind);
    ContextPtr context(SSL_CTX_new(TLS_server_method()));
    if (!context || SSL_CTX_use_certificate(context.get(), cert.get()) != 1 ||
        SSL_CTX_use_PrivateKey(context.get(), key.get()) != 1) {
        throw std::runtime_error("server context");
    }
    return context;
}

}  // namespace

TlsTestServer::TlsTestServer(TlsBehaviour behaviour, Certificate certificate) {
    Listen();
    thread = std::thread([this, behaviour, certificate] { Serve(certificate, behaviour); });
}

TlsTestServer::TlsTestServer(PlainBehaviour behaviour) {
    Listen();
    thread = std::thread([this, behaviour] {
        int fd = AcceptOne();
        if (fd < 0) return;
        behaviour(fd);
        ::close(fd);
    });
}

TlsTestServer::~TlsTestServer() {
    ::shutdown(listener, SHUT_RDWR);  // wakes an accept that never got a client
    thread.join();
    ::close(listener);
}

void TlsTestServer::Listen() {
    listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 4) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("TlsTestServer: cannot listen");
    }
    port = ntohs(address.sin_port);
}

int TlsTestServer::AcceptOne() {
    return ::accept(listener, nullptr, nullptr);
}

void TlsTestServer::Serve(Certificate certificate, const TlsBehaviour& behaviour) {
    ContextPtr context = MakeContext(certificate);
    int fd = AcceptOne();
    if (fd < 0) return;
    SessionPtr session(SSL_new(context.get()));
    SSL_set_fd(session.get(), fd);
    if (SSL_accept(session.get()) == 1) {
        const char* name = SSL_get_servername(session.get(), TLSEXT_NAMETYPE_host_name);
        if (name != nullptr) requestedName = name;
        behaviour(session.get());
        SSL_shutdown(session.get());
    }
    ::close(fd);
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
