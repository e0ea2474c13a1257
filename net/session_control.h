#pragma once
// What another thread may do to one running session of a local service:
// close it while it waits for its client's next command (a shut-down that
// lets transfers in progress finish), or end it wherever it is (an abort).
//
// The session's thread makes its control current (Scope); from then on every
// socket that thread opens enlists itself (the client's connection, the
// connections to the web mail service), so that an abort can shut them all
// and no wait of the session outlasts it. A socket leaves the list before its
// handle is closed, under the same lock an abort holds: the abort never
// touches a number the system may already have given to another socket.
#include <mutex>
#include <vector>

#include "core/exception.h"
#include "core/str.h"

namespace vxw {

class Socket;

// A session ended because its service is shutting down or aborting it; not a
// failure of its own.
class SessionClosed : public vx::Exception {
public:
    using vx::Exception::Exception;
};

class SessionControl {
public:
    // closingReply goes to a client whose session a shut-down closes at its
    // prompt ("" for none).
    explicit SessionControl(const char* closingReply) : closingReply(closingReply) {}
    ~SessionControl();
    SessionControl(const SessionControl&) = delete;
    SessionControl& operator=(const SessionControl&) = delete;

    // The control of the session that runs on the calling thread, or null.
    static SessionControl* Current();
    // Makes a control the calling thread's own for the scope's life.
    class Scope {
    public:
        explicit Scope(SessionControl& control);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        SessionControl* previous;
    };

    // From sockets on the session's thread.
    void Enlist(Socket& socket);
    void Delist(Socket& socket);

    // From the session's thread, around the wait for a command. The client is
    // the socket a closing wakes. Both return false once the session is to
    // close: it must not take a command then.
    bool EnterPrompt(Socket& client);
    bool LeavePrompt();
    const char* ClosingReply() const { return closingReply; }
    bool Aborted() const;

    // From any thread. Closes the session now if it waits at its prompt,
    // otherwise at its next prompt.
    void Close();
    // Shuts every socket of the session: whatever it waits for ends at once.
    void Abort();

private:
    const char* const closingReply;
    mutable std::mutex lock;
    std::vector<Socket*> sockets;  // open sockets of the session's thread
    Socket* prompting = nullptr;   // the client, while the session waits for a command
    bool closing = false;
    bool aborted = false;
};

}  // namespace vxw
