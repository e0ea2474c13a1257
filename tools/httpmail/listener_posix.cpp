#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "tools/httpmail/connection.h"
#include "tools/httpmail/listener.h"

namespace httpmail {

namespace {
std::string PeerName(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}
}  // namespace

Listener::Listener(HttpMailService& s, const ReadLimits& l, unsigned max)
    : service(s), limits(l), maxConnections(max) {}

Listener::~Listener() {
    Stop();
    Reap(true);
}

unsigned Listener::Bind(const std::string& address, unsigned port) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(uint16_t(port));
    if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1)
        throw std::runtime_error("'" + address + "' is not an IPv4 address");
    listenFd = UniqueFd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listenFd.Valid()) Fail("socket");
    const int on = 1;
    setsockopt(listenFd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(listenFd.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
        Fail("cannot listen on " + address + ":" + std::to_string(port));
    if (listen(listenFd.Get(), 128) != 0) Fail("listen");
    socklen_t length = sizeof local;
    getsockname(listenFd.Get(), reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
}

void Listener::Run() {
    for (;;) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        UniqueFd fd(
            accept4(listenFd.Get(), reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC));
        if (!fd.Valid()) {
            if (stop.Stopped()) break;
            // Out of descriptors: give the connections that end a moment.
            if (errno == EMFILE || errno == ENFILE) stop.Sleep(100);
            continue;
        }
        Reap(false);
        const int on = 1;
        setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const timeval sendLimit{limits.idleMs / 1000, (limits.idleMs % 1000) * 1000};
        setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
        std::lock_guard<std::mutex> guard(slotsLock);
        if (stopping) break;
        if (slots.size() >= maxConnections) {
            Refuse(fd.Get());
            continue;
        }
        slots.push_back(std::make_unique<Slot>());
        Slot& slot = *slots.back();
        slot.fd = std::move(fd);
        slot.thread = std::thread(&Listener::Serve, this, std::ref(slot), PeerName(peer));
    }
    Reap(true);
}

void Listener::Serve(Slot& slot, const std::string& peer) {
    try {
        Connection(slot.fd.Get(), peer, service, limits, stop).Serve();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mirelink-httpmail: %s: %s\n", peer.c_str(), e.what());
    } catch (...) {
        std::fprintf(stderr, "mirelink-httpmail: %s: unexpected failure\n", peer.c_str());
    }
    shutdown(slot.fd.Get(), SHUT_RDWR);
    slot.done = true;
}

void Listener::Refuse(int fd) {
    static const char answer[] =
        "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    send(fd, answer, sizeof answer - 1, MSG_NOSIGNAL);
}

void Listener::Reap(bool all) {
    std::list<std::unique_ptr<Slot>> ended;
    {
        std::lock_guard<std::mutex> guard(slotsLock);
        for (auto it = slots.begin(); it != slots.end();) {
            if (all || (*it)->done) {
                ended.push_back(std::move(*it));
                it = slots.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Joined outside the lock; the descriptors close only after their threads ended.
    for (auto& slot : ended)
        if (slot->thread.joinable()) slot->thread.join();
}

void Listener::Stop() {
    std::lock_guard<std::mutex> guard(slotsLock);
    if (stopping) return;
    stopping = true;
    stop.Stop();
    if (listenFd.Valid()) shutdown(listenFd.Get(), SHUT_RDWR);
    for (auto& slot : slots) shutdown(slot->fd.Get(), SHUT_RDWR);
}

}  // namespace httpmail
