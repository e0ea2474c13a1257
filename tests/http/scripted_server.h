#pragma once
// A scripted HTTP peer on an ephemeral loopback port, run on its own thread.
// Each step reads one request (the head, then as many body bytes as its
// Content-Length says; a request that asks with Expect: 100-continue gets the
// interim answer first, unless the step says otherwise) and records its
// exact bytes, writes its reply piece by
// piece with a pause between pieces (so the client meets them in separate
// receives; a long pause makes a server that trickles), then keeps the
// connection, closes it or starts TLS on it (as a proxy does after a CONNECT). When the client
// closes while the server waits for a request, the next connection takes the same step.
#include <openssl/types.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_socket.h"

namespace testing_support {

class ScriptedServer {
public:
    enum class After { Keep, Close, StartTls };
    // What a step does with a request that has a body and Expect: 100-continue.
    enum class OnExpect {
        Continue,     // 100 Continue after continueAfterMs, then the body is read
        Ignore,       // no interim answer: the body is waited for, as by an older server
        AnswerFirst,  // the reply at once, the body unread; then all the client
                      // sends until it closes is added to the recorded request
    };
    struct Step {
        std::vector<std::string> reply;
        After after = After::Keep;
        int pauseMs = 20;  // between the pieces of the reply
        // Runs before the second piece goes out: a test may wait there until
        // the client has dealt with the first.
        std::function<void()> beforeRest = nullptr;
        OnExpect onExpect = OnExpect::Continue;
        int continueAfterMs = 0;
    };

    // tls: every connection starts with a TLS handshake.
    explicit ScriptedServer(std::vector<Step> steps, bool tls = false);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int Port() const { return port; }
    // The requests read so far, byte for byte.
    std::vector<std::string> Requests() const;
    // Connections accepted so far.
    int Connections() const { return connections; }
    // Waits (at most 10 s) until the server closed count connections itself.
    void WaitUntilClosed(int count) const;
    // Waits (at most 10 s) until every step is done and the client closed.
    void WaitUntilDone();

    // A self-signed certificate and key (PEM files), made once per process.
    static const std::string& CertificateFile();
    static const std::string& KeyFile();

private:
    class Connection;
    static constexpr RawSocket kAllServed = -2;
    void Serve(std::vector<Step> steps, bool tls);
    bool ReadRequest(Connection& connection, const Step& step, std::string& request);
    bool ReadBody(Connection& connection, const Step& step, size_t total, bool expects);
    void RecordUntilClosed(Connection& connection);

    RawSocket listener = kNoSocket;
    int port = 0;
    std::atomic<int> connections{0};
    std::atomic<int> closedByServer{0};
    std::atomic<RawSocket> current{kNoSocket};  // connection being served, for the destructor to
                                                // wake; kAllServed once done
    mutable std::mutex lock;
    std::vector<std::string> requests;
    SSL_CTX* context = nullptr;
    std::thread thread;
};

}  // namespace testing_support
