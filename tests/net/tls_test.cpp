#include <gtest/gtest.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <chrono>
#include <string>

#include "net/socket_system.h"
#include "core/exception.h"
#include "net/openssl.h"
#include "net/socket.h"
#include "tests/support/test_socket.h"
#include "tests/support/tls_test_server.h"

namespace {

using testing_support::TlsTestServer;

template <class Action>
std::string SocketErrorOf(Action action) {
    try {
        action();
    } catch (const vxw::SocketError& e) {
        return e.Message();
    }
    ADD_FAILURE() << "no SocketError";
    return "";
}

// Reads from socket until the peer closes.
std::string ReceiveAll(vxw::Socket& socket) {
    std::string text;
    char buffer[8192];
    while (size_t count = socket.Receive(buffer, sizeof buffer)) text.append(buffer, count);
    return text;
}

// A real server with a certificate nobody vouches for: the client takes it,
// sends a large request (many want-write/want-read rounds) and reads the answer.
TEST(Tls, UnverifiedCertificatesAreAcceptedAndDataFlowsBothWays) {
    const std::string request(3 << 20, 'q');
    for (auto kind :
         {TlsTestServer::Certificate::SelfSigned, TlsTestServer::Certificate::Expired}) {
        std::string received;
        TlsTestServer server(
            [&](SSL* session) {
                std::string size = std::to_string(request.size());
                std::string got;
                char buffer[65536];
                while (got.size() < request.size()) {
                    int count = SSL_read(session, buffer, sizeof buffer);
                    if (count <= 0) break;
                    got.append(buffer, static_cast<size_t>(count));
                }
                received = got;
                SSL_write(session, "done", 4);
            },
            kind);
        vxw::Socket client;
        client.Open(server.Port(), "localhost", 5000, true);
        EXPECT_TRUE(client.HasTls());
        client.Send(request.data(), request.size());
        EXPECT_EQ(ReceiveAll(client), "done");
        client.Close();
        EXPECT_EQ(received, request);
        EXPECT_EQ(server.RequestedName(), "localhost");
    }
}

TEST(Tls, ASilentServerFailsTheReceiveAfterOneTimeOut) {
    TlsTestServer server([](SSL* session) { TlsTestServer::ReadAll(session); });
    vxw::Socket client;
    client.Open(server.Port(), "127.0.0.1", 1000, true);
    char buffer[64];
    auto start = std::chrono::steady_clock::now();
    std::string message = SocketErrorOf([&] { client.Receive(buffer, sizeof buffer); });
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(
        message,
        "vxw::Socket::Receive::ssl::WaitUntilReadable - There was an error receiving the data "
        "through the secure socket -  - " +
            vxw::sys::DescribeError(testing_support::kTimedOutError));
    EXPECT_GE(seconds, 1.0);
    EXPECT_LT(seconds, 2.0);
    client.Close();
}

TEST(Tls, AFailedHandshakeListsTheLibraryErrorsAndClosesTheSocket) {
    TlsTestServer server([](testing_support::RawSocket connection) {
        const char reply[] = "HTTP/1.0 400 Not TLS\r\n\r\n";
        char buffer[4096];
        testing_support::ReceiveSome(connection, buffer, sizeof buffer);
        testing_support::SendAll(connection, reply, sizeof reply - 1);
    });
    vxw::Socket client;
    std::string message =
        SocketErrorOf([&] { client.Open(server.Port(), "127.0.0.1", 5000, true); });
    EXPECT_EQ(message.rfind("vxw::Socket::SslConnect::connecting - Error connecting - error:", 0),
              0u)
        << message;
    EXPECT_NE(message.find("wrong version number"), std::string::npos) << message;
    EXPECT_FALSE(client.IsOpen());
}

TEST(Tls, ErrorTextJoinsEveryQueuedErrorAndEmptiesTheQueue) {
    vxw::OpenSsl::Instance();
    ERR_clear_error();
    ERR_raise(ERR_LIB_SSL, SSL_R_WRONG_VERSION_NUMBER);
    ERR_raise(ERR_LIB_SSL, SSL_R_UNEXPECTED_EOF_WHILE_READING);
    std::string text = vxw::SslErrorText();
    size_t separator = text.find(" - ");
    ASSERT_NE(separator, std::string::npos) << text;
    EXPECT_NE(text.find("wrong version number"), std::string::npos);
    EXPECT_NE(text.find("unexpected eof while reading", separator), std::string::npos);
    EXPECT_EQ(vxw::SslErrorText(), "");
}

}  // namespace
