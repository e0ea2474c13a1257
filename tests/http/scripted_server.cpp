#include "tests/http/scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "tests/support/temp_dir.h"

namespace testing_support {
namespace {

struct Certificate {
    TempDir dir;
    std::string cert = dir.File("cert.pem"), key = dir.File("key.pem");
    Certificate() {
        std::string command =
            "openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj /CN=localhost -keyout " +
            key + " -out " + cert + " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("openssl could not make a certificate");
    }
};

Certificate& TestCertificate() {
    static Certificate certificate;
    return certificate;
}

size_t ContentLength(const std::string& head) {
    for (size_t at = head.find("\r\n"); at != std::string::npos; at = head.find("\r\n", at + 2)) {
        if (strncasecmp(head.c_str() + at + 2, "content-length:", 15) == 0)
            return std::strtoul(head.c_str() + at + 17, nullptr, 10);
    }
    return 0;
}

}  // namespace

class ScriptedServer::Connection {
public:
    explicit Connection(int fd) : fd(fd) {
        timeval wait{10, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~Connection() {
        if (ssl != nullptr) SSL_free(ssl);
        close(fd);
    }
    bool StartTls(SSL_CTX* context) {
        ssl = SSL_new(context);
        SSL_set_fd(ssl, fd);
        return SSL_accept(ssl) == 1;
    }
    long Read(char* buffer, size_t size) {
        return ssl != nullptr ? SSL_read(ssl, buffer, static_cast<int>(size))
                              : recv(fd, buffer, size, 0);
    }
    bool Write(const std::string& bytes) {
        if (ssl != nullptr)
            return bytes.empty() ||
                   SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size())) > 0;
        for (size_t at = 0; at < bytes.size();) {
            ssize_t sent = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (sent <= 0) return false;
            at += static_cast<size_t>(sent);
        }
        return true;
    }

    const int fd;
    SSL* ssl = nullptr;
    std::string pending;  // read beyond the last request
};

ScriptedServer::ScriptedServer(std::vector<Step> steps, bool tls) {
    context = SSL_CTX_new(TLS_server_method());
    if (SSL_CTX_use_certificate_file(context, CertificateFile().c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, KeyFile().c_str(), SSL_FILETYPE_PEM) != 1)
        throw std::runtime_error("test certificate not usable");
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("scripted server cannot listen");
    port = ntohs(address.sin_port);
    thread = std::thread(
        [this, steps = std::move(steps), tls]() mutable { Serve(std::move(steps), tls); });
}

ScriptedServer::~ScriptedServer() {
    shutdown(listener, SHUT_RDWR);
    {
        std::lock_guard<std::mutex> guard(lock);
        if (current >= 0) shutdown(current, SHUT_RDWR);
    }
    thread.join();
    close(listener);
    SSL_CTX_free(context);
}

std::vector<std::string> ScriptedServer::Requests() const {
    std::lock_guard<std::mutex> guard(lock);
    return requests;
}

void ScriptedServer::WaitUntilDone() {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (current != -2 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

const std::string& ScriptedServer::CertificateFile() {
    return TestCertificate().cert;
}
const std::string& ScriptedServer::KeyFile() {
    return TestCertificate().key;
}

bool ScriptedServer::ReadRequest(Connection& connection, std::string& request) {
    char piece[16384];
    size_t headEnd;
    while ((headEnd = connection.pending.find("\r\n\r\n")) == std::string::npos) {
        long got = connection.Read(piece, sizeof piece);
        if (got <= 0) return false;
        connection.pending.append(piece, static_cast<size_t>(got));
    }
    size_t total = headEnd + 4 + ContentLength(connection.pending.substr(0, headEnd + 2));
    while (connection.pending.size() < total) {
        long got = connection.Read(piece, sizeof piece);
        if (got <= 0) return false;
        connection.pending.append(piece, static_cast<size_t>(got));
    }
    request = connection.pending.substr(0, total);
    connection.pending.erase(0, total);
    return true;
}

void ScriptedServer::Serve(std::vector<Step> steps, bool tls) {
    std::unique_ptr<Connection> connection;
    auto drop = [&] {
        std::lock_guard<std::mutex> guard(lock);
        connection.reset();
        current = -1;
    };
    for (size_t index = 0; index < steps.size();) {
        if (connection == nullptr) {
            int fd = accept(listener, nullptr, nullptr);
            if (fd < 0) return;
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
        if (!ReadRequest(*connection, request)) {
            drop();
            continue;
        }
        {
            std::lock_guard<std::mutex> guard(lock);
            requests.push_back(request);
        }
        const Step& step = steps[index++];
        for (size_t i = 0; i < step.reply.size(); ++i) {
            if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            connection->Write(step.reply[i]);
        }
        if (step.after == After::Close) drop();
        if (step.after == After::StartTls && !connection->StartTls(context)) drop();
    }
    // Hold the last connection until the client closes it.
    char byte;
    while (connection != nullptr && connection->Read(&byte, 1) > 0) {
    }
    drop();
    current = -2;
}

}  // namespace testing_support
