#pragma once
// A connected pair of sockets on loopback: the client end opened with Open,
// the server end taken from a listening socket with Accept.
#include <memory>

#include "net/socket.h"

namespace testing_support {

struct LoopbackPair {
    explicit LoopbackPair(int32_t timeoutMs = 5000) {
        listener.Listen("127.0.0.1", 0, 16);
        listener.SetTimeout(timeoutMs);
        client.Open(listener.LocalPort(), "127.0.0.1", timeoutMs, false);
        server = std::make_unique<vxw::Socket>(listener.Accept());
        server->SetTimeout(timeoutMs);
    }
    vxw::Socket listener;
    vxw::Socket client;
    std::unique_ptr<vxw::Socket> server;
};

}  // namespace testing_support
