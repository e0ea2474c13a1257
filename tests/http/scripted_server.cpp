#include "tests/http/scripted_server.h"

#include <openssl/ssl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "tests/support/temp_dir.h"
#include "tests/support/test_certificate.h"

namespace testing_support {
namespace {

struct Certificate {
    TestCertificate made;
    TempDir dir;
    std::string cert = dir.File("cert.pem"), key = dir.File("key.pem");
    Certificate() { made.WritePem(cert, key); }
};

Certificate& SharedCertificate() {
    static Certificate certificate;
    return certificate;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

size_t ContentLength(const std::string& head) {
    for (size_t at = head.find("\r\n"); at != std::string::npos; at = head.find("\r\n", at + 2)) {
        if (Lower(head.substr(at + 2, 15)) == "content-length:")
            return std::strtoul(head.c_str() + at + 17, nullptr, 10);
    }
    return 0;
}

bool ExpectsContinue(const std::string& head) {
    return Lower(head).find("\r\nexpect: 100-continue\r\n") != std::string::npos;
}

}  // namespace

class ScriptedServer::Connection {
public:
    explicit Connection(RawSocket fd) : fd(fd) {
        SetReceiveTimeout(fd, 10000);
        SetNoDelay(fd);
    }
    ~Connection() {
        if (ssl != nullptr) SSL_free(ssl);
        CloseSocket(fd);
    }
    bool StartTls(SSL_CTX* context) {
        ssl = SSL_new(context);
        SSL_set_fd(ssl, static_cast<int>(fd));
        return SSL_accept(ssl) == 1;
    }
    long Read(char* buffer, size_t size) {
        return ssl != nullptr ? SSL_read(ssl, buffer, static_cast<int>(size))
                              : ReceiveSome(fd, buffer, size);
    }
    bool Write(const std::string& bytes) {
        if (ssl != nullptr)
            return bytes.empty() ||
                   SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size())) > 0;
        return SendAll(fd, bytes.data(), bytes.size());
    }

    const RawSocket fd;
    SSL* ssl = nullptr;
    std::string pending;  // read beyond the last request
};

ScriptedServer::ScriptedServer(std::vector<Step> steps, bool tls) {
    context = SSL_CTX_new(TLS_server_method());
    if (SSL_CTX_use_certificate_file(context, CertificateFile().c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, KeyFile().c_str(), SSL_FILETYPE_PEM) != 1)
        throw std::runtime_error("test certificate not usable");
    listener = ListenOnLoopback(16, port);
    thread = std::thread(
        [this, steps = std::move(steps), tls]() mutable { Serve(std::move(steps), tls); });
}

ScriptedServer::~ScriptedServer() {
    WakeSocket(listener);
    {
        std::lock_guard<std::mutex> guard(lock);
        if (current >= 0) WakeSocket(current);
    }
    thread.join();
    CloseSocket(listener);
    SSL_CTX_free(context);
}

std::vector<std::string> ScriptedServer::Requests() const {
    std::lock_guard<std::mutex> guard(lock);
    return requests;
}

void ScriptedServer::WaitUntilDone() {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (current != kAllServed && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void ScriptedServer::WaitUntilClosed(int count) const {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (closedByServer < count && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

const std::string& ScriptedServer::CertificateFile() {
    return SharedCertificate().cert;
}
const std::string& ScriptedServer::KeyFile() {
    return SharedCertificate().key;
}

bool ScriptedServer::ReadRequest(Connection& connection, const Step& step, std::string& request) {
    char piece[16384];
    size_t headEnd;
    while ((headEnd = connection.pending.find("\r\n\r\n")) == std::string::npos) {
        long got = connection.Read(piece, sizeof piece);
        if (got <= 0) return false;
        connection.pending.append(piece, static_cast<size_t>(got));
    }
    std::string head = connection.pending.substr(0, headEnd + 2);
    size_t length = ContentLength(head);
    bool expects = length > 0 && ExpectsContinue(head);
    size_t total = headEnd + 4 + length;
    if (expects && step.onExpect == OnExpect::AnswerFirst) total = headEnd + 4;
    if (!ReadBody(connection, step, total, expects)) return false;
    request = connection.pending.substr(0, total);
    connection.pending.erase(0, total);
    return true;
}

bool ScriptedServer::ReadBody(Connection& connection, const Step& step, size_t total,
                              bool expects) {
    if (expects && step.onExpect == OnExpect::Continue) {
        std::this_thread::sleep_for(std::chrono::milliseconds(step.continueAfterMs));
        if (!connection.Write("HTTP/1.1 100 Continue\r\n\r\n")) return false;
    }
    char piece[16384];
    while (connection.pending.size() < total) {
        long got = connection.Read(piece, sizeof piece);
        if (got <= 0) return false;
        connection.pending.append(piece, static_cast<size_t>(got));
    }
    return true;
}

void ScriptedServer::RecordUntilClosed(Connection& connection) {
    std::string late = connection.pending;
    char piece[16384];
    for (long got; (got = connection.Read(piece, sizeof piece)) > 0;)
        late.append(piece, static_cast<size_t>(got));
    std::lock_guard<std::mutex> guard(lock);
    requests.back() += late;
}

void ScriptedServer::Serve(std::vector<Step> steps, bool tls) {
    std::unique_ptr<Connection> connection;
    auto drop = [&] {
        std::lock_guard<std::mutex> guard(lock);
        connection.reset();
        current = kNoSocket;
    };
    for (size_t index = 0; index < steps.size();) {
        if (connection == nullptr) {
            RawSocket fd = AcceptConnection(listener);
            if (fd == kNoSocket) return;
            ++connections;
            std::lock_guard<std::mutex> guard(lock);
            connection = std::make_unique<Connection>(fd);
            current = fd;
        }
        if (tls && connection->ssl == nullptr && !connection->StartTls(context)) {
            drop();
            continue;
        }
        std::string request;
        const Step& step = steps[index];
        if (!ReadRequest(*connection, step, request)) {
            drop();
            continue;
        }
        ++index;
        {
            std::lock_guard<std::mutex> guard(lock);
            requests.push_back(request);
        }
        bool answeredFirst = step.onExpect == OnExpect::AnswerFirst && ContentLength(request) > 0 &&
                             ExpectsContinue(request);
        for (size_t i = 0; i < step.reply.size(); ++i) {
            if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(step.pauseMs));
            if (i == 1 && step.beforeRest) step.beforeRest();
            // The client gave up: the rest of a trickle has nowhere to go.
            if (!connection->Write(step.reply[i])) break;
        }
        if (answeredFirst) {
            // The body the head announced must never follow: whatever comes
            // until the client closes shows up in the recorded request.
            RecordUntilClosed(*connection);
            drop();
            continue;
        }
        if (step.after == After::Close) {
            drop();
            ++closedByServer;
        }
        if (step.after == After::StartTls && !connection->StartTls(context)) drop();
    }
    // Hold the last connection until the client closes it.
    char byte;
    while (connection != nullptr && connection->Read(&byte, 1) > 0) {
    }
    drop();
    current = kAllServed;
}

}  // namespace testing_support
