#pragma once
// The listening half of a local line-protocol service (POP3, SMTP, IMAP): a worker
// that owns the listening socket, accepts connections and runs one detached
// session thread per connection, counting the live sessions so that Stop
// returns only after the last one has ended. A service supplies its texts,
// its counter, its port and its session type.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "core/str.h"
#include "core/worker.h"
#include "net/session_control.h"
#include "net/socket.h"

namespace vxw {

// The place names and fixed texts of one service's log lines and of the
// replies its listener gives on its own.
struct ListenerTexts {
    const char* acceptPlace;     // boundary of one accept pass ("PopServer::DoWork")
    const char* sessionPlace;    // boundary of a session thread ("PopServer::SessionWorker")
    const char* acceptError;     // an accept that returned nothing while running
    const char* logErrorPrefix;  // put before a failure that escaped DoWork ("" for none)
    const char* busyReply;       // to a connection beyond the session limit, CR LF included
    const char* closingReply;    // to a client closed by a shut-down, CR LF included
    const char* protocol;        // what the log calls the service ("POP3")
};

class SessionListener : public Worker {
public:
    SessionListener(const ListenerTexts& texts, std::atomic<int32_t>& activeSessions);
    // A derived service must call Stop in its own destructor: its sessions
    // still run RunSession until Stop has drained them.
    ~SessionListener() override;

    // The port the listener is bound to, 0 while it is not listening. A bound
    // socket has its port before listen() has been called; whoever is told
    // the port must be able to connect at once.
    int32_t ListeningPort() const { return listenCalled ? listening.LocalPort() : 0; }

    // A start, also after a shut-down, serves normally again.
    void Start() override;
    // Listens again at once, on the address and port configured now; the
    // sessions already running go on under the settings they started with.
    void Restart() override;
    // Stops listening and returns when every session has ended.
    void Stop() override;
    // Stops listening and returns at once; the sessions go on.
    void StopListening();

    // Closes the sessions that wait for their client's next command at once
    // and every other session at its next prompt, so that transfers in
    // progress finish; connections that arrive meanwhile get the closing
    // reply. Returns at once; Stop then waits for the sessions.
    void CloseSessions();
    // CloseSessions, then Stop: returns when every session has ended.
    void Shutdown();
    // Ends every session at once, wherever it is, also those that start
    // meanwhile. Callable from any thread, also while Shutdown or Stop waits.
    void AbortSessions();

    // Whether a failure that ends the listener (it cannot listen) is logged;
    // else only Failure() tells it, for a caller that reports it itself.
    void LogFailures(bool on) { logFailures = on; }

    // The most sessions at once; a connection beyond it gets the busy reply
    // and is closed.
    static constexpr int32_t kDefaultSessionLimit = 1000;
    void SetSessionLimit(int32_t limit) { sessionLimit = limit; }

protected:
    // The configured port; read at every start.
    virtual int32_t ListenPort() const = 0;
    // Serves one accepted connection on its own thread; owns the handle.
    virtual void RunSession(SocketHandle connection) = 0;

    void DoWork() override;
    void Interrupt() override;
    void LogError(const vx::Str& text) override;

private:
    struct SessionStart;
    static uint32_t SessionThread(void* start);
    void AcceptOne();
    // Sends the reply to a connection that will not be served and closes it.
    void Refuse(SocketHandle connection, const char* reply);
    void StartSession(SocketHandle connection);
    void ServeSession(SocketHandle connection);
    void RunUnderControl(SocketHandle connection, SessionControl& control);
    void Register(SessionControl& control);
    void Unregister(SessionControl& control);
    void ServeNormally();
    void WaitForSessions();

    const ListenerTexts texts;
    std::atomic<int32_t>& activeSessions;
    std::atomic<int32_t> sessionLimit{kDefaultSessionLimit};
    bool refusing = false;  // accept thread: the limit was reached and logged
    Socket listening;
    std::atomic<bool> listenCalled{false};
    std::atomic<bool> logFailures{true};

    std::mutex sessionsLock;  // guards the three below
    std::vector<SessionControl*> sessions;
    bool closing = false;
    bool aborting = false;
};

// A listener whose every connection runs one Session, constructed from the
// accepted connection and the listener's argument (for the mail services: the
// factory of web mail clients), then Run. A service adds only its port.
template <class Session, class Argument>
class SessionListenerOf : public SessionListener {
public:
    SessionListenerOf(const ListenerTexts& texts, std::atomic<int32_t>& activeSessions,
                      Argument argument)
        : SessionListener(texts, activeSessions), argument(std::move(argument)) {}
    // Sessions use the argument until Stop has drained them.
    ~SessionListenerOf() override {
        try {
            Stop();
        } catch (...) {
        }
    }

protected:
    void RunSession(SocketHandle connection) override {
        Session session(connection, argument);
        session.Run();
    }

private:
    Argument argument;
};

}  // namespace vxw
