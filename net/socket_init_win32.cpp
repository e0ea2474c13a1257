#include <winsock2.h>

#include <string>

#include "core/exception.h"
#include "net/socket_init.h"

namespace vxw {

SocketInit::SocketInit() {
    WSADATA data;
    int result = WSAStartup(MAKEWORD(2, 0), &data);
    if (result != 0) throw SocketError("vxw::SocketInit::WSAStartup - Starting up sockets", result);
    int major = LOBYTE(data.wVersion), minor = HIBYTE(data.wVersion);
    if (major != 2 || minor != 0) {
        WSACleanup();
        throw SocketError("vxw::SocketInit::Result - Invalid supported sockets version - " +
                          std::to_string(major) + "." + std::to_string(minor));
    }
}

SocketInit::~SocketInit() {
    WSACleanup();
}

}  // namespace vxw
