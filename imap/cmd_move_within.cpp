// MOVE into the mailbox the messages are in (RFC 6851 allows it; each comes
// back under a new UID, and the old one is expunged). At the service that
// is a copy beside each message (COPY, or GET and PUT), then the original
// deleted for good: a service that cannot delete is asked first, with a
// DELETE of a name no message has, so that nothing is copied in vain.
#include <algorithm>

#include "imap/imap_failure.h"
#include "imap/imap_session.h"

namespace {

const char kCannotMoveWithin[] =
    "[CANNOT] The web mail service cannot delete messages for good, so they cannot move "
    "within their mailbox";

}  // namespace

void ImapSession::RequireDeleteForGood(const ImapMailbox& box) {
    try {
        account->DeleteMessage(NewMessageUrl(box.folder.url));
    } catch (const ServiceRefusal& refusal) {
        if (OperationRefused(refusal)) throw ImapFailure::No(kCannotMoveWithin);
        if (!MessageIsGone(refusal)) throw;
    }
}

void ImapSession::MoveWithin(Transfer& transfer, const ImapMailbox& box) {
    RequireDeleteForGood(box);
    transfer.move = false;
    TransferMessages(transfer, box);
    if (transfer.lacksCopy && !serviceLacksPut) {
        transfer.lacksCopy = false;
        transfer.byPut = true;
        TransferMessages(transfer, box);
    }
    if (transfer.lacksCopy) throw ImapFailure::No(kCannotMoveWithin);
    // The originals go once their copies are there; where one cannot, its
    // copy goes again and the move stops there.
    size_t done = 0;
    for (; done < transfer.copies.size() && transfer.failure.empty(); ++done) {
        const vx::Str& original = selected->At(transfer.indexes[done]).listed.href;
        try {
            account->DeleteMessage(original);
        } catch (const ServiceRefusal& refusal) {
            if (MessageIsGone(refusal)) continue;
            transfer.failure = "[UNAVAILABLE] " + refusal.Message();
        } catch (const vx::Exception& error) {
            transfer.failure = "[UNAVAILABLE] " + error.Message();
        }
        if (transfer.failure.empty()) continue;
        try {
            account->DeleteMessage(transfer.copies[done]);
            context.store->Folder(user, box.folder.url)->Remove(transfer.to[done]);
        } catch (const vx::Exception&) {
        }
        break;
    }
    // They were copied to be moved, not to stay beside their copies.
    for (size_t index : transfer.indexes) copiedElsewhere.erase(selected->At(index).listed.href);
    transfer.from.resize(std::min(done, transfer.from.size()));
    transfer.to.resize(transfer.from.size());
    transfer.moved.assign(transfer.indexes.begin(),
                          transfer.indexes.begin() + static_cast<std::ptrdiff_t>(transfer.from.size()));
    transfer.move = true;
}
