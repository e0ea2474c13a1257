#pragma once
// A loopback TCP server that answers every connection with the same bytes
// and then closes its sending side, without reading what the client sent.
// It stands in for a web server or a proxy whose answers are the fuzz input:
// every connection the client opens, also after a redirect or a dropped
// connection, gets an answer at once, so the client never has to wait.
#include <mutex>
#include <thread>
#include <vector>

#include "core/str.h"

namespace fuzz_support {

class AnsweringServer {
public:
    AnsweringServer();  // listens on an ephemeral port; aborts when it cannot
    ~AnsweringServer();
    AnsweringServer(const AnsweringServer&) = delete;
    AnsweringServer& operator=(const AnsweringServer&) = delete;

    int Port() const { return port; }
    // The answer for connections accepted from now on.
    void SetAnswer(const vx::Str& bytes);
    // Closes the connections accepted so far.
    void CloseConnections();

private:
    void Serve();

    int listener = -1;
    int wake[2] = {-1, -1};  // a pipe that ends Serve
    int port = 0;
    std::mutex lock;
    vx::Str answer;
    std::vector<int> connections;
    std::thread thread;
};

}  // namespace fuzz_support
