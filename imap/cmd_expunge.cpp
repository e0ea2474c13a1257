// EXPUNGE and UID EXPUNGE (RFC 3501 6.4.3, RFC 4315) of ImapSession, and the
// removal CLOSE does: a message marked \Deleted goes to the deleted-items
// folder with MOVE, as a POP3 DELE does at QUIT. In the deleted-items folder
// itself it is deleted for good, where the service can; otherwise the
// command answers NO and the message stays. A message the service no longer
// has (another session expunged it) is expunged here too.
#include <algorithm>
#include <ctime>

#include "imap/imap_failure.h"
#include "imap/imap_session.h"

void ImapSession::CmdExpunge(Request& request) {
    RequireArgs(request, request.uid ? 1 : 0);
    if (selected->ReadOnly()) throw ImapFailure::No("[READ-ONLY] The mailbox is read-only");
    std::vector<size_t> only;
    if (request.uid) only = SelectMessages(request, 0);
    ExpungeDeleted(request.uid ? &only : nullptr, true);
    Tagged(request.tag, "OK", request.uid ? "UID EXPUNGE completed" : "EXPUNGE completed");
}

void ImapSession::ExpungeDeleted(const std::vector<size_t>* only, bool tell) {
    const size_t recentBefore = selected->RecentCount();
    ExpungeEach(only, tell);
    // The count changes with the messages that left (Dovecot tells it too).
    if (tell && selected->RecentCount() != recentBefore)
        Untagged(std::to_string(selected->RecentCount()) + " RECENT");
}

void ImapSession::ExpungeEach(const std::vector<size_t>* only, bool tell) {
    // Messages another session of this account removed meanwhile are gone
    // already: this expunge reports them too.
    for (size_t i = selected->Count(); i-- > 0;) {
        if (!selected->Gone(i)) continue;
        selected->Remove(i);
        if (tell) out.Write("* " + std::to_string(i + 1) + " EXPUNGE\r\n");
    }
    std::vector<size_t> doomed;
    for (size_t i = 0; i < selected->Count(); ++i) {
        uint64_t keywords = 0;
        if (!(selected->Flags(i, keywords) & ImapFlag::kDeleted)) continue;
        if (only && !std::binary_search(only->begin(), only->end(), i)) continue;
        doomed.push_back(i);
    }
    if (doomed.empty()) return;
    const ImapMailbox* trash = Mailboxes(false).Special("deleteditems");
    bool inTrash = trash == nullptr || trash->folder.url == selected->Mailbox().folder.url;
    std::shared_ptr<ImapFolderState> trashState;
    if (!inTrash) trashState = context.store->Folder(user, trash->folder.url);
    // What was removed stays recorded, also when a later message fails.
    struct SaveBoth {
        ImapFolderState& here;
        ImapFolderState* trash;
        ~SaveBoth() {
            try {
                here.Save();
                if (trash) trash->Save();
            } catch (...) {
            }
        }
    } save{selected->State(), trashState.get()};
    std::unique_ptr<CarriedMessages> carried;
    if (!inTrash) {
        carried = std::make_unique<CarriedMessages>(*trashState);
        for (size_t index : doomed) Carry(*carried, index, ImapFlag::kDeleted);
        trashState->Save();
    }
    // Highest first, so that each EXPUNGE names the number the client knows.
    for (size_t k = doomed.size(); k-- > 0;) {
        size_t index = doomed[k];
        ImapViewMessage& view = selected->At(index);
        try {
            if (inTrash) {
                DeleteForGood(view.listed.href);
            } else if (copiedElsewhere.count(view.listed.href) &&
                       DeleteCopied(view.listed.href)) {
                copiedElsewhere.erase(view.listed.href);
            } else {
                vx::Str moved = account->MoveMessage(view.listed.href, trash->folder.url);
                carried->Arrive(k, moved, std::time(nullptr));
            }
        } catch (const ServiceRefusal& refusal) {
            if (!MessageIsGone(refusal)) throw;
        }
        selected->Remove(index);
        if (tell) out.Write("* " + std::to_string(index + 1) + " EXPUNGE\r\n");
    }
}

void ImapSession::DeleteForGood(const vx::Str& href) {
    try {
        account->DeleteMessage(href);
    } catch (const ServiceRefusal& refusal) {
        if (refusal.Status() == 405 || refusal.Status() == 501)
            throw ImapFailure::No(
                "[CANNOT] The web mail service cannot delete messages for good; the messages "
                "stay in its deleted-items folder");
        throw;
    }
}

bool ImapSession::DeleteCopied(const vx::Str& href) {
    try {
        account->DeleteMessage(href);
        return true;
    } catch (const ServiceRefusal& refusal) {
        if (refusal.Status() == 405 || refusal.Status() == 501) return false;
        throw;
    }
}
