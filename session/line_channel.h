#pragma once
// The talking half of a local line-protocol session (POP3, SMTP, IMAP): the client's
// connection with its receive buffer, CR LF lines of at most 10000 bytes read
// 50000 bytes at a time, each line within the configured Timeout as a whole,
// the configured pause before each command read and each reply, and the
// conversation log that ExtraLogging switches on. On a listener's session
// thread it also answers the listener's shut-down at the command prompt, and
// tells the session's report when the client went away or timed out.
//
// No session closes without a word: a client that times out hears why, and
// a session that ends on an exception the channel sees go past says the
// service's failure text, unless it said its last words already or the
// client is gone.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "core/str.h"
#include "net/receive_buffer.h"
#include "session/body_log.h"
#include "net/session_control.h"
#include "net/socket.h"

namespace vxw {

class LineChannel {
public:
    // What is logged of one received line, or of one piece of it between
    // bare CRs or LFs, after the client prefix; lets a session hide passwords
    // and credentials.
    using ClientLineMask = std::function<vx::Str(const vx::Str& line)>;

    struct Texts {
        const char* client;       // log prefix of received lines, "PopSession::Client - "
        const char* server;       // log prefix of replies, "PopSession::Server - "
        const char* lineTooLong;  // the reply before an over-long line ends the session
        const char* timedOut;     // the reply when the client's line or bytes do not come in time
        const char* failed;       // the reply when the session ends on any other error, or null
    };

    // Takes ownership of an accepted connection; its waits last the
    // configured Timeout.
    LineChannel(SocketHandle connection, const Texts& texts, ClientLineMask mask);
    // Sends the failure text when the session is unwinding on an exception
    // and nothing was said last (see ReplyBeforeClosing).
    ~LineChannel();
    LineChannel(const LineChannel&) = delete;
    LineChannel& operator=(const LineChannel&) = delete;

    // Pauses, then reads one command line without its CR LF. Throws what the
    // socket layer throws (a time-out, SocketClosed), LineTooLong after its
    // reply, and SessionClosed when the listener closes the session meanwhile.
    vx::Str ReadCommandLine();
    // The same without the pause (a continuation line of a command).
    vx::Str ReadLine();
    // ReadLine without copying the line (the lines of a large message text):
    // the view lasts until the next read.
    std::string_view ReadLineView();
    // ReadLine for a line that carries credentials: the log shows "****".
    vx::Str ReadSecretLine();
    // The next count bytes as they are (an IMAP literal), not logged: the
    // session knows whether they may be shown.
    vx::Str ReadBlock(size_t count);
    // True when the client has sent something, or does within ms; false
    // when the wait ran out. Never throws for a quiet client.
    bool WaitForInput(int32_t ms);

    // Pauses, logs and sends text.
    void Reply(const vx::Str& text);
    // Logs and sends text without the pause: a further line of a reply that
    // has already paused.
    void ReplyNow(const vx::Str& text);
    // Logs and sends one byte, without the pause.
    void ReplyChar(char byte);
    // Sends text unless the client is gone; for the last words before the
    // session ends on an error, which must not hide that error.
    void ReplyBeforeClosing(const vx::Str& text);
    // The session ends without a further word: the client is in the middle
    // of an answer (a message cut short), where any text would read as part
    // of it.
    void CloseWithoutReply() { lastWordsSaid = true; }

    // Between these the client's lines are a message body: the log keeps its
    // first 4 KB and then a line with its whole size.
    void StartBody();
    void EndBody();

    // The pieces of Reply, for a reply sent in blocks: pause once, log once,
    // then send the blocks.
    void Pause() const;
    void LogReply(const vx::Str& text) const;
    // One of several log lines of a long reply: every CR and LF shown as a
    // tab, the final ones too.
    void LogReplyPiece(const vx::Str& text) const;
    void Send(const char* data, size_t length);

    static bool ExtraLogging();
    // A reply as the log shows it: without its final CR LF, any other CR or LF
    // turned into a tab, so that a reply is one log line.
    static vx::Str ReplyLogText(const vx::Str& text);

private:
    std::string_view ReadBoundedLine();
    [[noreturn]] void CloseAtPrompt();
    void LogClientLine(std::string_view line) const;
    void LogBodyLine(std::string_view line);
    void LogBodyTail();
    // Runs a read or a send on the client's connection; a failure there is
    // the client's (gone, or too slow), which the report learns.
    template <class Operation>
    auto WithClient(bool reading, Operation&& operation) -> decltype(operation());
    void ClientFailed(const SocketError& failure, bool reading);

    Socket connection;
    ReceiveBuffer received;
    Texts texts;
    ClientLineMask mask;
    SessionControl* control;  // the listener's hold on this session, or null
    int32_t lineTimeoutMs;
    // ExtraLogging as read at the last command: the lines of a large message
    // text would otherwise each take the settings lock.
    bool logClientLines;
    bool inBody = false;
    BodyLog bodyLog;
    const int unwindingAtStart;  // exceptions in flight when the channel was made
    bool lastWordsSaid = false;  // a reply before closing went out, or must not
    bool clientGone = false;     // the client closed, reset or timed out
};

}  // namespace vxw
