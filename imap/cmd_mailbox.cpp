// CREATE, DELETE and RENAME of mailboxes (RFC 3501 6.3.3-5) as WebDAV's
// MKCOL, DELETE and MOVE of the user's folders (RFC 4918). HTTPMail names no
// URL scheme for new folders: they are asked for under the folder root by
// display name, and found again by listing the folders. Hierarchy is in the
// names ("Work/Plans" is one folder whose display name holds the "/"), so a
// RENAME moves every folder below the old name too, and takes back what it
// moved when one move fails. The inbox and the service's special folders
// stay as they are. A folder's UIDs and flags follow it through a RENAME;
// one deleted and made again starts under a new, larger UIDVALIDITY.
#include "core/log.h"
#include "imap/imap_failure.h"
#include "imap/imap_session.h"
#include "imap_wire/mutf7.h"
#include "text/ascii.h"

namespace {

vx::Str CannotChange(const char* command) {
    return vx::Str("[CANNOT] ") + command +
           " is not possible: folders are kept at the web mail service";
}

const struct {
    int32_t status;
    const char* reply;
} kFolderRefusals[] = {
    {404, "[NONEXISTENT] No such mailbox"},
    {409, "[NONEXISTENT] No such mailbox"},
    {412, "[ALREADYEXISTS] Mailbox exists"},
};

// The reply to the service's refusal of a folder change: [CANNOT] where it
// has no such operation, else what the status says; the refusal itself
// (NO [UNAVAILABLE] with its text) for anything else.
void AnswerRefusal(const ServiceRefusal& refusal, const char* command) {
    if (OperationRefused(refusal)) throw ImapFailure::No(CannotChange(command));
    for (const auto& known : kFolderRefusals)
        if (refusal.Status() == known.status) throw ImapFailure::No(known.reply);
}

bool IsSpecial(const ImapMailbox& box) {
    return box.IsInbox() || !box.folder.special.empty();
}

bool Below(const vx::Str& name, const vx::Str& parent) {
    return name.size() > parent.size() && name.compare(0, parent.size(), parent) == 0 &&
           name[parent.size()] == ImapMailboxList::kDelimiter;
}

}  // namespace

vx::Str ImapSession::NewFolderName(const vx::Str& wire) {
    vx::Str name = wire;
    // RFC 3501 6.3.3: a trailing delimiter only declares that names will go
    // below; folders need no such declaration.
    if (!name.empty() && name.back() == ImapMailboxList::kDelimiter) name.pop_back();
    if (vx::Ascii::EqualNoCase(name, "INBOX"))
        throw ImapFailure::No("[ALREADYEXISTS] Mailbox exists");
    vx::Str utf8;
    if (name.empty() || !Mutf7::Decode(name, utf8) || ImapMailboxList::CleanName(utf8) != utf8 ||
        utf8.size() > ImapStateStore::kMaxMailboxName)
        throw ImapFailure::No("[CANNOT] Invalid mailbox name");
    return utf8;
}

std::vector<ImapMailbox> ImapSession::FoldersAtAndBelow(const ImapMailbox& box) {
    std::vector<ImapMailbox> out;
    if (box.Selectable()) out.push_back(box);
    for (const ImapMailbox& other : Mailboxes(false).All())
        if (other.Selectable() && Below(other.name, box.name)) out.push_back(other);
    return out;
}

void ImapSession::CmdCreate(Request& request) {
    RequireArgs(request, 1);
    const vx::Str name = NewFolderName(AString(request, 0));
    const ImapMailbox* existing = Mailboxes(true).Find(Mutf7::Encode(name));
    if (existing != nullptr && existing->Selectable())
        throw ImapFailure::No("[ALREADYEXISTS] Mailbox exists");
    try {
        account->MakeFolder(name);
    } catch (const ServiceRefusal& refusal) {
        AnswerRefusal(refusal, "CREATE");
        throw;
    }
    const ImapMailbox* made = Mailboxes(true).Find(Mutf7::Encode(name));
    if (made == nullptr || !made->Selectable())
        throw ImapFailure::No(
            "[UNAVAILABLE] The service did not list the new folder under its name");
    // Whatever was kept of an earlier folder at that URL (deleted behind
    // the gateway's back) is not this folder's.
    context.store->ForgetFolder(user, made->folder.url);
    Tagged(request.tag, "OK", "CREATE completed");
}

ImapMailbox ImapSession::OwnFolder(const vx::Str& name, const char* change) {
    const ImapMailbox* found = Mailboxes(true).Find(name);
    if (found == nullptr) throw ImapFailure::No("[NONEXISTENT] No such mailbox");
    if (IsSpecial(*found))
        throw ImapFailure::No(vx::Str("[CANNOT] The inbox and the special folders cannot be ") +
                              change);
    return *found;
}

void ImapSession::CmdDelete(Request& request) {
    RequireArgs(request, 1);
    const ImapMailbox box = OwnFolder(AString(request, 0), "deleted");
    if (box.hasChildren)
        throw ImapFailure::No("[HASCHILDREN] Mailbox has children, delete them first");
    try {
        account->DeleteFolder(box.folder.url);
    } catch (const ServiceRefusal& refusal) {
        AnswerRefusal(refusal, "DELETE");
        throw;
    }
    context.store->ForgetFolder(user, box.folder.url);
    mailboxes.reset();
    if (selected && selected->Mailbox().folder.url == box.folder.url) {
        selected.reset();
        state = State::Authenticated;
    }
    Tagged(request.tag, "OK", "DELETE completed");
}

void ImapSession::CmdRename(Request& request) {
    RequireArgs(request, 2);
    const ImapMailbox from = OwnFolder(AString(request, 0), "renamed");
    const vx::Str to = NewFolderName(AString(request, 1));
    if (to == from.name || Below(to, from.name))
        throw ImapFailure::No("[CANNOT] A mailbox cannot move below itself");
    // Each folder at or below the old name, with the name it is to have.
    std::vector<std::pair<ImapMailbox, vx::Str>> moves;
    for (const ImapMailbox& box : FoldersAtAndBelow(from)) {
        vx::Str target = to + box.name.substr(from.name.size());
        const ImapMailbox* taken = Mailboxes(false).Find(Mutf7::Encode(target));
        if (taken != nullptr && taken->Selectable())
            throw ImapFailure::No("[ALREADYEXISTS] Mailbox exists");
        moves.emplace_back(box, target);
    }
    MoveFolders(moves);
    // Where each one went, for its state and for the selected view.
    const ImapMailboxList& now = Mailboxes(true);
    for (const auto& [box, target] : moves) {
        const ImapMailbox* moved = now.Find(Mutf7::Encode(target));
        if (moved == nullptr || !moved->Selectable()) {
            Log("ImapSession::RENAME - The service did not list the moved folder - " + target);
            continue;
        }
        context.store->MoveFolder(user, box.folder.url, moved->folder.url);
        if (selected && selected->Mailbox().folder.url == box.folder.url) selected->MoveTo(*moved);
    }
    context.store->RenameSubscriptions(user, from.wire, Mutf7::Encode(to));
    Tagged(request.tag, "OK", "RENAME completed");
}

void ImapSession::MoveFolders(const std::vector<std::pair<ImapMailbox, vx::Str>>& moves) {
    for (size_t k = 0; k < moves.size(); ++k) {
        try {
            account->RenameFolder(moves[k].first.folder.url, moves[k].second);
        } catch (const ServiceRefusal& refusal) {
            MoveBack(moves, k);
            AnswerRefusal(refusal, "RENAME");
            throw;
        } catch (const vx::Exception&) {
            MoveBack(moves, k);
            throw;
        }
    }
}

// The first count moves undone, each folder found under its new name.
void ImapSession::MoveBack(const std::vector<std::pair<ImapMailbox, vx::Str>>& moves,
                           size_t count) {
    for (size_t back = count; back-- > 0;) {
        try {
            const ImapMailbox* moved = Mailboxes(true).Find(Mutf7::Encode(moves[back].second));
            if (moved != nullptr)
                account->RenameFolder(moved->folder.url, moves[back].first.folder.displayName);
        } catch (const vx::Exception& failure) {
            Log("ImapSession::RENAME - A folder could not be moved back - " + moves[back].second +
                " - " + failure.Message());
        }
    }
    mailboxes.reset();
}
