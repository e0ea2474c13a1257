#pragma once
// Starts the platform's socket library once per process. Created by the first
// vxw::Socket, destroyed with the other singletons at exit.
#include "core/singleton.h"

namespace vxw {

class SocketInit {
public:
    SocketInit();  // throws SocketError when the library cannot be started
    ~SocketInit();
    SocketInit(const SocketInit&) = delete;
    SocketInit& operator=(const SocketInit&) = delete;

    static SocketInit& Instance() { return qn::Singleton<SocketInit>::Instance(); }
};

}  // namespace vxw
