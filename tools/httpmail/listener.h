#pragma once
// The listening socket and one thread per connection. Stop may be called from
// any thread; it wakes every blocked accept, read and wait, and Run returns
// once all connection threads have ended.
#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tools/httpmail/httpmail_service.h"
#include "tools/httpmail/request_reader.h"
#include "tools/httpmail/stop_signal.h"
#include "tools/httpmail/unique_fd.h"

namespace httpmail {

class Listener {
public:
    Listener(HttpMailService& service, const ReadLimits& limits, unsigned maxConnections);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Binds and listens; returns the port (the chosen one for port 0). Throws
    // std::runtime_error when it cannot.
    unsigned Bind(const std::string& address, unsigned port);
    void Run();
    void Stop();

private:
    struct Slot {
        UniqueFd fd;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void Serve(Slot& slot, const std::string& peer);
    void Reap(bool all);
    void Refuse(int fd);

    HttpMailService& service;
    ReadLimits limits;
    unsigned maxConnections;
    UniqueFd listenFd;
    StopSignal stop;
    std::mutex slotsLock;
    std::list<std::unique_ptr<Slot>> slots;
    bool stopping = false;  // guarded by slotsLock
};

}  // namespace httpmail
