// APPEND (RFC 3501 6.3.11) with the APPENDUID code of UIDPLUS (RFC 4315):
// the message, spooled while it arrived, is PUT into the folder's collection
// under a fresh name (WebDAV, RFC 4918). The flags and date given with it
// are kept as a copy's are: announced to the folder's state before the PUT,
// \Seen set at the service (PROPPATCH) where it keeps the read state, the
// date kept as the message's arrival. A message the service cannot take
// leaves nothing behind.
#include <ctime>

#include "core/log.h"
#include "imap/imap_failure.h"
#include "imap/imap_session.h"
#include "imap_wire/imap_date.h"

namespace {

void SaveQuietly(ImapFolderState& state) {
    try {
        state.Save();
    } catch (const vx::Exception&) {
    }
}

const char kAppendRefused[] =
    "[CANNOT] APPEND is not possible: the web mail service takes a new message only by sending it";

}  // namespace

ImapSession::AppendArgs ImapSession::ReadAppendArgs(const Request& request) {
    RequireArgs(request, 2, 4);
    AppendArgs args;
    args.mailbox = AString(request, 0);
    const ImapArg& message = request.args.back();
    if (message.kind != ImapArg::Kind::String || !message.literal || !messageSpooled)
        throw ImapFailure::Bad("APPEND takes the message as a literal");
    for (size_t i = 1; i + 1 < request.args.size(); ++i) {
        const ImapArg& arg = request.args[i];
        if (i == 1 && arg.IsList()) {
            for (const ImapArg& flag : arg.list) {
                if (!flag.IsAtom() || flag.text.empty()) throw ImapFailure::Bad("Invalid flag");
                uint8_t bit = ImapFlag::FromName(flag.text);
                if (bit == 0 && flag.text[0] == '\\')
                    throw ImapFailure::Bad("Flag that cannot be stored: " +
                                           flag.text.substr(0, 50));
                args.flags |= bit;
                if (bit == 0) args.keywords.push_back(flag.text);
            }
        } else if (arg.kind == ImapArg::Kind::String && !arg.literal && args.arrived == 0) {
            if (!ImapDate::ParseInternalDate(arg.text, args.arrived) || args.arrived <= 0)
                throw ImapFailure::Bad("Invalid date-time");
        } else {
            throw ImapFailure::Bad("Invalid arguments for APPEND");
        }
    }
    return args;
}

vx::Str ImapSession::RefuseBeforeMessage(const ImapCommandText& text) {
    if (serviceLacksPut) return kAppendRefused;
    if (state == State::NotAuthenticated) return vx::Str();
    // The mailbox as the command names it so far (RFC 3501 6.3.11: no
    // message for a mailbox that does not exist).
    ImapCommandText head = text;
    vx::Str& last = head.lines.back();
    last.erase(last.rfind('{'));
    while (!last.empty() && last.back() == ' ') last.pop_back();
    ImapCommand command;
    vx::Str error;
    if (!ImapParser::ParseCommand(head, command, error) || command.args.empty() ||
        !command.args[0].IsAString())
        return vx::Str();
    try {
        NamedMailbox(command.args[0].text, "[TRYCREATE]");
    } catch (const ImapFailure& failure) {
        return failure.Message();
    } catch (const vx::Exception&) {
        // The service did not answer now; the command itself will tell.
    }
    return vx::Str();
}

void ImapSession::CmdAppend(Request& request) {
    const vxw::SpoolEmptier empty(spool);
    AppendArgs args = ReadAppendArgs(request);
    if (spoolFailure) std::rethrow_exception(spoolFailure);
    const ImapMailbox& box = NamedMailbox(args.mailbox, "[TRYCREATE]");
    if (!box.Selectable()) throw ImapFailure::No("[TRYCREATE] That name is no folder");
    if (serviceLacksPut) throw ImapFailure::No(kAppendRefused);
    std::shared_ptr<ImapFolderState> folder = context.store->Folder(user, box.folder.url);
    uint32_t uid = 0;
    try {
        if (box.specialUse != nullptr && vx::Str(box.specialUse) == "\\Sent")
            uid = ServiceSentCopy(box, args, *folder);
        if (uid == 0) uid = StoreMessage(box, args, *folder);
    } catch (...) {
        // A message taken back keeps its UID used: it is never handed out again.
        SaveQuietly(*folder);
        throw;
    }
    folder->Save();
    // RFC 3501 6.3.11: the client learns of the message in the mailbox it
    // has selected before the command completes.
    if (selected && selected->Mailbox().folder.url == box.folder.url) RefreshSelected();
    Tagged(request.tag, "OK",
           "[APPENDUID " + std::to_string(folder->UidValidity()) + " " + std::to_string(uid) +
               "] APPEND completed");
}

uint32_t ImapSession::StoreMessage(const ImapMailbox& box, const AppendArgs& args,
                                   ImapFolderState& state) {
    const vx::Str planned = NewMessageUrl(box.folder.url);
    CarriedMessages carried(state);
    carried.Expect(planned, args.flags, args.keywords,
                   args.arrived != 0 ? args.arrived : std::time(nullptr));
    state.Save();
    vx::Str href;
    try {
        href = account->PutMessage(planned, spool);
    } catch (const ServiceRefusal& refusal) {
        if (!OperationRefused(refusal)) throw;
        serviceLacksPut = true;
        throw ImapFailure::No(kAppendRefused);
    }
    uint32_t uid = carried.Arrive(0, href, std::time(nullptr));
    KeepReadState(href, uid, args.flags, state);
    return uid;
}

void ImapSession::KeepReadState(const vx::Str& href, uint32_t uid, uint8_t flags,
                                ImapFolderState& state) {
    // A new message is unread at the service.
    if (!(flags & ImapFlag::kSeen)) return;
    try {
        account->SetReadState(href, true);
    } catch (const vx::Exception&) {
        try {
            account->DeleteMessage(href);
            state.Remove(uid);
        } catch (const vx::Exception& failure) {
            Log("ImapSession::KeepReadState - The message stays unread at the service - " + href +
                " - " + failure.Message());
        }
        throw;
    }
}
