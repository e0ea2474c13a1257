#pragma once
// A real TLS server on an ephemeral loopback port for tests. It serves one
// connection on its own thread: the handshake with a freshly made self-signed
// (or expired) certificate, then the behaviour the test gives. A plain
// behaviour skips TLS and gets the raw connection (to fail a handshake).
#include <openssl/types.h>

#include <functional>
#include <string>
#include <thread>

#include "tests/support/test_socket.h"

namespace testing_support {

class TlsTestServer {
public:
    enum class Certificate { SelfSigned, Expired };
    using TlsBehaviour = std::function<void(SSL* session)>;
    using PlainBehaviour = std::function<void(RawSocket connection)>;

    explicit TlsTestServer(TlsBehaviour behaviour,
                           Certificate certificate = Certificate::SelfSigned);
    explicit TlsTestServer(PlainBehaviour behaviour);
    ~TlsTestServer();  // waits for the connection's behaviour to end
    TlsTestServer(const TlsTestServer&) = delete;
    TlsTestServer& operator=(const TlsTestServer&) = delete;

    int Port() const { return port; }
    // The server name the client sent (SNI); read after the connection ended.
    const std::string& RequestedName() const { return requestedName; }

    // Reads until the client closes; returns what came.
    static std::string ReadAll(SSL* session);

private:
    void Listen();
    void Serve(Certificate certificate, const TlsBehaviour& behaviour);
    RawSocket AcceptOne();

    RawSocket listener = kNoSocket;
    int port = 0;
    std::string requestedName;
    std::thread thread;
};

}  // namespace testing_support
