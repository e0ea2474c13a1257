#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "fuzz/support/answering_server.h"
#include "fuzz/support/fuzz_check.h"

namespace fuzz_support {

AnsweringServer::AnsweringServer() {
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    FUZZ_CHECK(listener >= 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    FUZZ_CHECK(::bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0);
    FUZZ_CHECK(::listen(listener, 64) == 0);
    FUZZ_CHECK(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0);
    port = ntohs(address.sin_port);
    FUZZ_CHECK(::pipe(wake) == 0);
    thread = std::thread([this] { Serve(); });
}

AnsweringServer::~AnsweringServer() {
    char byte = 0;
    FUZZ_CHECK(::write(wake[1], &byte, 1) == 1);
    thread.join();
    CloseConnections();
    ::close(listener);
    ::close(wake[0]);
    ::close(wake[1]);
}

void AnsweringServer::SetAnswer(const vx::Str& bytes) {
    std::lock_guard<std::mutex> guard(lock);
    answer = bytes;
}

void AnsweringServer::CloseConnections() {
    std::lock_guard<std::mutex> guard(lock);
    for (int connection : connections) ::close(connection);
    connections.clear();
}

void AnsweringServer::Serve() {
    for (;;) {
        pollfd waits[2] = {{listener, POLLIN, 0}, {wake[0], POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0 && errno != EINTR) return;
        if (waits[1].revents != 0) return;
        if (waits[0].revents == 0) continue;
        int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        vx::Str bytes;
        {
            std::lock_guard<std::mutex> guard(lock);
            bytes = answer;
            connections.push_back(connection);
        }
        // A client that gave up early makes the rest fail; that is its business.
        for (size_t at = 0; at < bytes.size();) {
            ssize_t sent = ::send(connection, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR) continue;
            if (sent <= 0) break;
            at += static_cast<size_t>(sent);
        }
        ::shutdown(connection, SHUT_WR);
    }
}

}  // namespace fuzz_support
