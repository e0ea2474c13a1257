#include "app/service_notify_posix.h"

#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace app {
namespace {

std::string Message(ServiceState state) {
    switch (state) {
        case ServiceState::Ready:
            return "READY=1";
        case ServiceState::Reloading: {
            timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            long long usec = static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
            return "RELOADING=1\nMONOTONIC_USEC=" + std::to_string(usec);
        }
        case ServiceState::Stopping:
            return "STOPPING=1";
    }
    return std::string();
}

}  // namespace

void NotifyServiceManager(ServiceState state) {
    const char* name = getenv("NOTIFY_SOCKET");
    if (name == nullptr || (name[0] != '/' && name[0] != '@')) return;
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    size_t length = std::strlen(name);
    if (length >= sizeof address.sun_path) return;
    std::memcpy(address.sun_path, name, length);
    if (name[0] == '@') address.sun_path[0] = '\0';  // an abstract name
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    // A manager that is gone or slow must never hold the program up.
    std::string message = Message(state);
    sendto(fd, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
           reinterpret_cast<const sockaddr*>(&address),
           static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length));
    close(fd);
}

}  // namespace app
