#pragma once
// One IMAP4rev1 conversation (RFC 3501) with a local mail client, on the
// session's own thread, over the line channel that POP3 and SMTP use. The
// client's login becomes a login to the web mail service; the service's
// folders become mailboxes; a mailbox's messages get UIDs and flags from the
// shared state store. Commands live in one file each (cmd_*.cpp) over the
// argument parser; this file has the states, the reading of commands with
// their literals, the dispatch table and the replies.
//
// Replies: BAD for what the client got wrong (syntax, state), NO with the
// reason for what the service refused or failed at, OK otherwise. A failure
// of the connection, or of the service in the middle of a literal the client
// was promised, ends the session.
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

#include "core/str.h"
#include "imap/imap_context.h"
#include "imap/response_writer.h"
#include "imap_state/carried_messages.h"
#include "imap_state/mailbox_list.h"
#include "imap_state/message_cache.h"
#include "imap_state/selected_folder.h"
#include "imap_wire/command_parser.h"
#include "imap_wire/fetch_items.h"
#include "net/socket.h"
#include "session/line_channel.h"
#include "session/message_spool.h"
#include "webmail/account.h"

// Whether the service's refusal says the message is no longer there.
inline bool MessageIsGone(const ServiceRefusal& refusal) {
    return refusal.Status() == 404 || refusal.Status() == 410;
}

class ImapSession {
public:
    // Takes ownership of the accepted connection.
    ImapSession(vxw::SocketHandle connection, const ImapContext& context);
    ~ImapSession();  // disconnects the web mail client, closes the connection
    ImapSession(const ImapSession&) = delete;
    ImapSession& operator=(const ImapSession&) = delete;

    void Run();

    // The capabilities, before and after login.
    static vx::Str Capabilities(bool authenticated);

private:
    enum class State { NotAuthenticated, Authenticated, Selected, Logout };
    // One command as the handlers see it: the UID form ("UID FETCH") has the
    // word after UID as its name and uid set.
    struct Request {
        vx::Str tag;
        vx::Str name;
        bool uid = false;
        std::vector<ImapArg> args;
    };
    using Handler = void (ImapSession::*)(Request& request);
    struct CommandEntry {
        const char* name;
        Handler handler;
        uint8_t states;  // bits of the states it is allowed in
        bool uidForm;    // may follow UID
    };
    static const CommandEntry kCommands[];

    // Reading.
    vx::Str MaskCredentials(const vx::Str& line) const;
    bool ReadCommand(ImapCommandText& text);
    bool TakeLiteral(ImapCommandText& text, const vx::Str& tag, const ImapLiteralMark& mark,
                     size_t& total);
    // An APPEND's message: bounded by the message size, not the literal
    // bounds, and spooled as it arrives (imap_session_input.cpp).
    static bool IsMessageLiteral(const ImapCommandText& text, const vx::Str& word);
    bool TakeMessageLiteral(ImapCommandText& text, const vx::Str& tag, const ImapLiteralMark& mark);
    void SpoolMessage(uint64_t size);
    // Why an APPEND is refused before the client sends its message; "" when
    // it is not (cmd_append.cpp).
    vx::Str RefuseBeforeMessage(const ImapCommandText& text);
    // A line or a wait for the client within a command (AUTHENTICATE, IDLE);
    // a failure there is the client's, and ends the session.
    vx::Str ReadContinuation(bool secret);
    bool WaitForClient(uint32_t ms);
    // Waits for a logged-in client's next command, at most the autologout
    // time; false when it ran out.
    bool AwaitCommand();
    void Execute(const ImapCommandText& text);
    void Dispatch(Request& request);
    static const CommandEntry* FindCommand(const vx::Str& name);

    // The session's own word for its end, for the log's end line.
    static void EndAs(const char* how);

    // Replies.
    void Tagged(const vx::Str& tag, const char* status, const vx::Str& text);
    void Untagged(const vx::Str& text);
    // Flushes responses gathered elsewhere (a refresh) to the client.
    void WriteResponses(const vx::Str& responses);

    // Arguments; each throws ImapFailure (BAD) when the argument is missing
    // or of the wrong kind.
    static void RequireArgs(const Request& request, size_t count, size_t most = SIZE_MAX);
    static const vx::Str& AString(const Request& request, size_t index);
    static const ImapArg& List(const Request& request, size_t index);
    // The mailbox a client names, from the service's folders.
    const ImapMailbox& NamedMailbox(const vx::Str& name, const char* missingCode);
    const ImapMailboxList& Mailboxes(bool fresh);

    // Any state.
    void CmdCapability(Request& request);
    void CmdNoop(Request& request);
    void CmdLogout(Request& request);
    void CmdId(Request& request);
    void CmdStartTls(Request& request);
    // Not authenticated.
    void CmdLogin(Request& request);
    void CmdAuthenticate(Request& request);
    bool LogIn(const Request& request, const vx::Str& user, const vx::Str& password);
    // Authenticated.
    void CmdSelect(Request& request);
    void CmdList(Request& request);
    void ListSubscribed(Request& request);
    void CmdNamespace(Request& request);
    void CmdStatus(Request& request);
    void CmdSubscribe(Request& request);
    void CmdIdle(Request& request);
    // Mailbox changes (cmd_mailbox.cpp).
    void CmdCreate(Request& request);
    void CmdDelete(Request& request);
    void CmdRename(Request& request);
    // The user's own folder of that name, which DELETE or RENAME may change:
    // no such folder or a special one is refused ("deleted", "renamed").
    ImapMailbox OwnFolder(const vx::Str& name, const char* change);
    // The mailbox a CREATE or RENAME names (trailing delimiter dropped) as
    // the display name of a folder; NO for one that cannot be a folder.
    vx::Str NewFolderName(const vx::Str& wire);
    // The folders at or below box, the box itself first where it is one.
    std::vector<ImapMailbox> FoldersAtAndBelow(const ImapMailbox& box);
    // Each folder to its new display name; all or none.
    void MoveFolders(const std::vector<std::pair<ImapMailbox, vx::Str>>& moves);
    void MoveBack(const std::vector<std::pair<ImapMailbox, vx::Str>>& moves, size_t count);
    // APPEND (cmd_append.cpp).
    void CmdAppend(Request& request);
    struct AppendArgs {
        vx::Str mailbox;  // as the client named it
        uint8_t flags = 0;
        std::vector<vx::Str> keywords;
        int64_t arrived = 0;  // the date given; 0 for none (then: when it was appended)
    };
    AppendArgs ReadAppendArgs(const Request& request);
    // The message of the APPEND into the folder of box: stored at the
    // service with the flags and arrival asked for; returns its UID there.
    uint32_t StoreMessage(const ImapMailbox& box, const AppendArgs& args, ImapFolderState& state);
    // A sent copy the service made itself of a message this gateway
    // submitted: its UID in the sent folder, or 0 (append_sent_copy.cpp).
    uint32_t ServiceSentCopy(const ImapMailbox& box, const AppendArgs& args,
                             ImapFolderState& state);
    // \Seen of a message just PUT at href (and given uid in state): set at
    // the service, which stores it unread. Where that fails the message is
    // taken back (DELETE, where the service can) and the failure thrown.
    void KeepReadState(const vx::Str& href, uint32_t uid, uint8_t flags, ImapFolderState& state);
    // Selected.
    void CmdCheck(Request& request);
    void CmdClose(Request& request);
    void CmdExpunge(Request& request);
    void CmdFetch(Request& request);
    void CmdStore(Request& request);
    void CmdSearch(Request& request);
    void CmdCopy(Request& request);
    void CmdUid(Request& request);
    // A message's flags (but dropFlags), keywords and arrival, told to the
    // target before it is copied or moved there; at href when given (a
    // copy that goes by PUT), else under the message's own name.
    void Carry(CarriedMessages& carried, size_t index, uint8_t dropFlags = 0,
               const vx::Str& href = vx::Str());
    // COPY, MOVE: the messages carried to target one by one (cmd_copy.cpp):
    // what to carry, how, and what came of it.
    struct Transfer {
        bool move = false;
        bool byPut = false;  // a copy made by GET and PUT
        std::vector<size_t> indexes;
        std::vector<uint32_t> from, to;  // UIDs of what arrived, here and there
        std::vector<size_t> moved;       // indexes of the messages moved away
        std::vector<vx::Str> copies;     // URLs of the copies made
        vx::Str failure;                 // the reply text of what stopped it
        bool lacksCopy = false;          // the service has no COPY; nothing was done
    };
    void TransferMessages(Transfer& transfer, const ImapMailbox& target);
    // Message k of the transfer to target, at planned where it goes by PUT.
    void TransferOne(Transfer& transfer, size_t k, const ImapMailbox& target,
                     const vx::Str& planned, CarriedMessages& carried,
                     ImapFolderState& targetState);
    // A copy where the service has no COPY: GET into a spool, PUT from it
    // to href; the source stays unread where it was.
    vx::Str CopyByPut(ImapViewMessage& view, const vx::Str& href);
    // MOVE into the selected mailbox itself (cmd_move_within.cpp).
    void MoveWithin(Transfer& transfer, const ImapMailbox& box);
    // NO [CANNOT] unless the service deletes messages for good.
    void RequireDeleteForGood(const ImapMailbox& box);

    // FETCH, for one message (cmd_fetch.cpp).
    struct FetchPiece;
    void FetchOne(size_t index, const std::vector<ImapFetchItem>& items);
    void PrepareItem(ImapViewMessage& view, const ImapFetchItem& item,
                     std::vector<FetchPiece>& pieces);
    void PrepareSection(ImapViewMessage& view, const ImapFetchItem& item, FetchPiece& piece);
    // After downloads for a look that must not count as reading: the
    // service's read state back to unread where it was.
    void KeepUnread(ImapViewMessage& view, uint64_t downloadsBefore);
    int64_t ArrivalTime(const ImapViewMessage& view);
    uint64_t MessageSize(const ImapViewMessage& view);

    // Shared by CLOSE and EXPUNGE: removes the \Deleted messages (within
    // onlyUids when given); tells the client when tell is set.
    void ExpungeDeleted(const std::vector<size_t>* only, bool tell);
    void ExpungeEach(const std::vector<size_t>* only, bool tell);
    // Tells the client of the messages of before (the UIDs it knew, in
    // order) that are no longer in the selected folder, highest first.
    void ReportRemoved(const std::vector<uint32_t>& before);
    // DELETE at the service; NO when it has no such thing.
    void DeleteForGood(const vx::Str& href);
    // For a message copied elsewhere before: DELETE where the service has
    // it; false when it has not (the message then goes to the deleted items).
    bool DeleteCopied(const vx::Str& href);
    // The messages a sequence set argument names; BAD for a bad set.
    std::vector<size_t> SelectMessages(const Request& request, size_t index);
    // A refresh of the selected folder, reported to the client.
    void RefreshSelected();
    // FLAGS again for keywords added to the selected folder since the
    // client was last told, before a response shows one.
    void AnnounceKeywords();

    vxw::LineChannel channel;
    ImapResponseWriter out;
    const ImapContext& context;
    std::unique_ptr<WebmailAccount> account;
    State state = State::NotAuthenticated;
    bool clientLost = false;  // a read from the client failed within a command
    bool continuing = false;  // a line within a command is being read (for the log's mask)
    vx::Str user;             // as logged in
    std::optional<ImapMailboxList> mailboxes;
    std::unique_ptr<ImapSelectedFolder> selected;
    ImapMessageCache messages;
    // Messages this session copied to another folder: a client that moves
    // by COPY and EXPUNGE leaves no second copy in the deleted items.
    std::unordered_set<vx::Str> copiedElsewhere;
    // A message on its way to the service (an APPEND's literal, a copy made
    // by GET and PUT): in memory up to kSpoolMemory, beyond in a spool file.
    static constexpr size_t kSpoolMemory = 256 * 1024;
    vxw::MessageSpool spool{kSpoolMemory};
    bool messageSpooled = false;      // this command's APPEND message is in spool
    std::exception_ptr spoolFailure;  // the spool could not take it (a full disk)
    // The service answered PUT as not offered: a later APPEND is refused
    // before the client sends its message.
    bool serviceLacksPut = false;
};
