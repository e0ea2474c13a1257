#pragma once
// What the log says of one session of a local service (POP3, SMTP, IMAP): the
// session's protocol and account before every line its thread logs, and one
// line when it ends, naming how it ended and what it did:
//
//     POP3 alice@example.com - 12 messages, 3 retrieved, 2 deleted - 1.2 s
//     SMTP alice@example.com - 1 message sent, 2 recipients - 0.4 s
//     IMAP alice@example.com - logged out after 2 h
//     POP3 bob@example.com - login refused - closed by the client after 3.1 s
//
// The listener owns the report of each session thread and writes the end
// line; the session fills it in through Current() as it goes (the account
// once the client names it, what it did, how it ended when it ends as its
// protocol means it to).
#include <chrono>
#include <cstdint>

#include "core/log.h"
#include "core/str.h"

namespace vxw {

class SessionReport {
public:
    // How a session ended, when nothing more precise was said.
    enum class Ending {
        Normal,         // as the protocol means it to: the session's own word, if any
        ClientClosed,   // the client closed the connection or went away
        ClientTimedOut, // the client sent no whole line within the time-out
        ShutDown,       // the program closed it at its prompt
        Aborted,        // the program ended it wherever it was
        Failed,         // an error, logged on its own line before the end line
    };

    // protocol: "POP3", "SMTP", "IMAP". The clock starts here.
    explicit SessionReport(const char* protocol);
    SessionReport(const SessionReport&) = delete;
    SessionReport& operator=(const SessionReport&) = delete;

    // The report of the session that runs on the calling thread, or null.
    static SessionReport* Current();
    // Makes a report the calling thread's own, and its protocol and account
    // the context of every line the thread logs, for the scope's life.
    class Scope {
    public:
        explicit Scope(SessionReport& report);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        SessionReport* previous;
        LogContext context;
    };

    // The account as the client named it; control characters are shown as
    // blanks and a long name is cut. Never a password.
    void SetAccount(const vx::Str& name);
    // What the session did so far ("12 messages, 3 retrieved, 2 deleted").
    void SetActivity(const vx::Str& text);
    // How the session ended as its protocol means it to ("logged out",
    // "autologout", "too many commands"); "" for a plain end. An ordinary
    // end: no error is logged for it.
    void EndAs(const vx::Str& how);
    // What a failure that ends the session was, in a word for the end line
    // ("service not available"); the error itself is logged apart.
    void FailAs(const vx::Str& how);
    // The client went away or timed out: noted by the line channel, so that
    // the error its read raises is taken for what it is.
    void NoteClient(Ending ending);
    // The end as the listener saw it; a word of the session's own stays, and
    // so does the client's side unless the program stopped the session.
    void NoteEnding(Ending ending);
    Ending GetEnding() const { return ending; }
    // Whether the client's side ended the session (see NoteClient).
    bool ClientEnded() const { return clientNoted; }

    // "POP3 alice@example.com", the text before each of the session's lines.
    const vx::Str& Context() const { return context; }
    // The end line, with the time since the report was made.
    vx::Str EndLine() const;
    // A duration as the end line shows it: "0.4 s", "12 s", "5 min", "2 h",
    // "2 h 5 min".
    static vx::Str Duration(int64_t milliseconds);

private:
    void MakeContext();

    const char* protocol;
    const std::chrono::steady_clock::time_point started;
    vx::Str account;
    vx::Str context;
    vx::Str activity;
    vx::Str how;  // the session's own word for an ordinary end
    Ending ending = Ending::Normal;
    bool clientNoted = false;
    bool ended = false;  // EndAs was called
};

}  // namespace vxw
