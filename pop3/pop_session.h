#pragma once
// One POP3 conversation with a local mail client (RFC 1939), on the session's
// own thread. The client's login becomes a login to the web mail service; the
// service's messages become one numbered maildrop, fixed at login; messages
// marked with DELE go to the service's trash only in the UPDATE state, after
// QUIT. Any failure (a closed connection, a time-out, misuse that ends the
// session, a service error) leaves Run as an exception and moves nothing;
// the client hears why first, unless it is gone. Only a refusal of the
// credentials by the service is a wrong password: a service that cannot be
// reached or fails is a temporary failure ([SYS/TEMP], RFC 3206).
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/str.h"
#include "net/socket.h"
#include "session/line_channel.h"
#include "session/secret_mask.h"
#include "webmail/account.h"
#include "webmail/message_list.h"

// Sessions started so far, for the greeting's time stamp.
extern std::atomic<int32_t> TimestampCounter;

class PopSession {
public:
    // Takes ownership of the accepted connection; the web mail client comes
    // from the factory.
    PopSession(vxw::SocketHandle connection, const AccountFactory& makeAccount);
    ~PopSession();  // disconnects the web mail client, closes the connection
    PopSession(const PopSession&) = delete;
    PopSession& operator=(const PopSession&) = delete;

    void Run();

private:
    enum class State { Authorization, Transaction, Update, Closed };
    // What a command handler tells its state's loop.
    enum class Next { Stay, Advance, Close };
    using Command = std::vector<vx::Str>;  // the command word upper-cased, then the arguments
    using Handler = Next (PopSession::*)(const Command&);
    struct CommandEntry {
        const char* name;
        Handler handler;
    };

    static const char kServiceUnavailable[];
    static const CommandEntry kAuthorizationCommands[];
    static const CommandEntry kTransactionCommands[];

    State Enter(State state);
    // Runs one state's commands until a handler leaves it or the command
    // budget is used up (then the session closes after an -ERR).
    State RunCommands(const CommandEntry* table, size_t tableSize, int limit, State advance);
    int TransactionLimit() const;
    void MakeTimestamp();
    Command ReadCommand();
    void Reply(const vx::Str& text) { channel.Reply(text); }
    // Misuse that ends the session: the reply, then the exception.
    [[noreturn]] void EndSession(const char* reply, const vx::Str& error);
    // A failure of the service: the client hears it is temporary, then the
    // exception goes on.
    void ServiceFailed(const char* reply);
    // What the log's end line says the session did.
    void ReportActivity() const;
    // The entry for a message number argument, or null (after the -ERR reply)
    // when it names no message or a deleted one.
    MessageEntry* ValidMessage(const vx::Str& argument);

    Next ProcessAuthUser(const Command& command);
    Next ProcessAuthPass(const Command& command);
    Next ProcessAuthApop(const Command& command);
    Next ProcessAuthQuit(const Command& command);
    Next ProcessTransStat(const Command& command);
    Next ProcessTransList(const Command& command);
    Next ProcessTransRetr(const Command& command);
    Next ProcessTransDele(const Command& command);
    Next ProcessTransNoop(const Command& command);
    Next ProcessTransRset(const Command& command);
    Next ProcessTransTop(const Command& command);
    Next ProcessTransUidl(const Command& command);
    Next ProcessTransQuit(const Command& command);
    // LIST and UIDL: one message or all, with the value shown after the number.
    Next ListMessages(const Command& command, vx::Str (*value)(const MessageEntry& entry));
    void Update();

    // RETR and TOP: the status line while the service is asked, then the
    // folder header line and the text as it arrives, dot-stuffed (for TOP
    // cut to the header section and topLines body lines).
    void SendMessage(const MessageEntry& entry, bool top, int64_t topLines);

    vxw::CredentialMask mask;
    vxw::LineChannel channel;
    std::unique_ptr<WebmailAccount> account;
    vx::Str timestamp;
    vx::Str username;
    bool haveUsername = false;
    MessageList messages;
    State state = State::Authorization;
    bool loginRefused = false;
    int retrieved = 0;  // RETRs answered whole
    int removed = 0;    // messages moved to the deleted items at QUIT
};
