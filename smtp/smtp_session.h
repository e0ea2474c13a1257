#pragma once
// One SMTP conversation with a local mail client (RFC 5321, with AUTH of
// RFC 4954 by the PLAIN and LOGIN mechanisms of RFC 4616 and the classic
// LOGIN exchange), on the session's own thread. The credentials are not
// checked here: they log the web mail client in, and the service judges them.
// After that the session relays each message through the web mail client and
// answers 250 only once the service has taken it. Any failure (a closed
// connection, a time-out, a service error, an oversized message) leaves Run as
// an exception; a failed submission is answered first (552, 554 or 451), so
// the mail client keeps the message and knows why. Only the service's refusal
// of the credentials fails an AUTH (501); a service that cannot be reached or
// fails is a temporary failure (454, RFC 4954), and the session closes.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "core/str.h"
#include "net/socket.h"
#include "session/line_channel.h"
#include "session/message_spool.h"
#include "session/secret_mask.h"
#include "smtp/address_argument.h"
#include "webmail/account.h"

class SmtpSession {
public:
    // Takes ownership of the accepted connection; the web mail client comes
    // from the factory.
    SmtpSession(vxw::SocketHandle connection, const AccountFactory& makeAccount);
    ~SmtpSession();  // disconnects the web mail client, closes the connection
    SmtpSession(const SmtpSession&) = delete;
    SmtpSession& operator=(const SmtpSession&) = delete;

    void Run();

private:
    // Each stage reads at most a fixed number of commands per run; a new run
    // of Transaction starts with every MAIL.
    enum class Stage { NotAuthenticated, Authenticated, Transaction, Ended };
    static constexpr size_t kStageCount = 3;  // the stages that read commands
    static size_t Index(Stage stage) { return static_cast<size_t>(stage); }

    struct Command {
        vx::Str word;      // upper-cased
        vx::Str argument;  // everything after the first blank, case kept
    };
    // A handler answers the command and names the stage that follows.
    using Handler = Stage (SmtpSession::*)(const Command&);
    struct CommandEntry {
        const char* name;
        Handler handler;
    };
    struct StageCommands {
        const CommandEntry* entries;
        size_t count;
        const char* otherwise;  // the 500 text for any other command
    };
    using Mechanism = bool (SmtpSession::*)(const vx::Str& initialResponse);
    struct MechanismEntry {
        const char* name;
        Mechanism authenticate;
    };

    static const CommandEntry kNotAuthenticatedCommands[];
    static const CommandEntry kAuthenticatedCommands[];
    static const CommandEntry kTransactionCommands[];
    static const StageCommands kStages[kStageCount];
    static const MechanismEntry kMechanisms[];

    vx::Str MaskCredentials(const vx::Str& line);
    // What the log's end line says the session did.
    void ReportActivity() const;
    Command ReadCommand();
    // Counts the command against its limit; false past it.
    bool CountCommand(const Command& command);
    Stage Dispatch(const Command& command);
    void Reply(int code, const vx::Str& text);

    Stage ProcessHelo(const Command& command);
    Stage ProcessEhlo(const Command& command);
    Stage ProcessAuth(const Command& command);
    Stage ProcessMail(const Command& command);
    Stage ProcessRcpt(const Command& command);
    Stage ProcessData(const Command& command);
    Stage ProcessVrfy(const Command& command);
    Stage ProcessNoop(const Command& command);
    Stage ProcessRset(const Command& command);
    Stage ProcessQuit(const Command& command);

    // AUTH: true once the service accepted the credentials.
    bool AuthenticatePlain(const vx::Str& initialResponse);
    bool AuthenticateLogin(const vx::Str& initialResponse);
    // Sends a 334 challenge and reads the client's answer, kept out of the log.
    vx::Str Challenge(const vx::Str& text);
    bool LogIn(const vx::Str& user, const vx::Str& password);

    // MAIL and RCPT: false (after the 500 reply) when the argument holds no
    // usable address.
    bool TakeAddress(const vx::Str& argument, const AddressMarkers& markers, vx::Str& address);
    // DATA: the text up to the lone "." line, transparency dots removed,
    // into the spool; returns its size, of which no more than the limit is
    // kept. A failure of the spool is kept for after the final dot.
    uint64_t ReadMessageText(std::exception_ptr& spoolFailure);
    // Posts the message; on a failure replies before the exception goes on.
    void Submit(vxw::BodySource& text);
    void ClearEnvelope();

    vxw::CredentialMask mask;
    bool readingText = false;  // the lines of a DATA are read
    vxw::LineChannel channel;
    std::unique_ptr<WebmailAccount> account;
    vx::Str sender;                   // empty until a MAIL is accepted
    std::vector<vx::Str> recipients;  // in arrival order, duplicates kept
    vxw::MessageSpool text;           // the message of the current DATA
    Stage stage = Stage::NotAuthenticated;
    int commandsRead[kStageCount] = {};  // in the current run of each stage, RCPT apart
    int recipientCommands = 0;           // RCPT commands of the current message
    bool loginRefused = false;
    size_t messagesSent = 0;
    size_t recipientsServed = 0;  // of the messages sent
};
