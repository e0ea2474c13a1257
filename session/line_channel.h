#pragma once
// The talking half of a local line-protocol session (POP3, SMTP, IMAP): the client's
// connection with its receive buffer, CR LF lines of at most 10000 bytes read
// 50000 bytes at a time, each line within the configured Timeout as a whole,
// the configured pause before each command read and each reply, and the
// conversation log that ExtraLogging switches on. On a listener's session
// thread it also answers the listener's shut-down at the command prompt.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "core/str.h"
#include "net/receive_buffer.h"
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
    };

    // Takes ownership of an accepted connection; its waits last the
    // configured Timeout.
    LineChannel(SocketHandle connection, const Texts& texts, ClientLineMask mask);

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

    // The pieces of Reply, for a reply sent in blocks: pause once, log once,
    // then send the blocks.
    void Pause() const;
    void LogReply(const vx::Str& text) const;
    // One of several log lines of a long reply: every CR and LF shown as a
    // tab, the final ones too.
    void LogReplyPiece(const vx::Str& text) const;
    void Send(const char* data, size_t length) { connection.Send(data, length); }

    static bool ExtraLogging();
    // A reply as the log shows it: without its final CR LF, any other CR or LF
    // turned into a tab, so that a reply is one log line.
    static vx::Str ReplyLogText(const vx::Str& text);

private:
    std::string_view ReadBoundedLine();
    [[noreturn]] void CloseAtPrompt();
    void LogClientLine(std::string_view line) const;

    Socket connection;
    ReceiveBuffer received;
    Texts texts;
    ClientLineMask mask;
    SessionControl* control;  // the listener's hold on this session, or null
    int32_t lineTimeoutMs;
    // ExtraLogging as read at the last command: the lines of a large message
    // text would otherwise each take the settings lock.
    bool logClientLines;
};

}  // namespace vxw
