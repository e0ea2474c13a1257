// COPY, MOVE and their UID forms (RFC 3501 6.4.7, RFC 6851), with the
// COPYUID code of UIDPLUS (RFC 4315). A moved or copied message keeps its
// flags and its INTERNALDATE: the target folder's state is told of them
// before the first message goes (so a crash half-way loses nothing) and
// gives each its UID there at once. The service may lack COPY (it answers
// 405 or 501): the copy is then made by GET and PUT, streamed through a
// spool, and only a service that takes no PUT either leaves COPY answered
// NO (MOVE still works). A message the service no longer has is reported as
// expunged by the next refresh.
#include <ctime>

#include "imap/imap_failure.h"
#include "imap/imap_session.h"

namespace {

// A UID list as a compact set: "4:6,9".
vx::Str UidSet(const std::vector<uint32_t>& uids) {
    vx::Str out;
    for (size_t i = 0; i < uids.size();) {
        size_t j = i;
        while (j + 1 < uids.size() && uids[j + 1] == uids[j] + 1) ++j;
        if (!out.empty()) out += ',';
        out += std::to_string(uids[i]);
        if (j > i) out += ":" + std::to_string(uids[j]);
        i = j + 1;
    }
    return out;
}

const char kGone[] = "[EXPUNGEISSUED] Some of the requested messages no longer exist";
const char kCannotCopy[] = "[CANNOT] The web mail service cannot copy messages; MOVE works";

bool LacksCopy(const ServiceRefusal& refusal) {
    return refusal.Status() == 405 || refusal.Status() == 501;
}

// The reply to the service's refusal of one message's transfer.
vx::Str RefusalText(const ServiceRefusal& refusal, bool move, bool byPut) {
    if (MessageIsGone(refusal)) return kGone;
    bool cannot = LacksCopy(refusal) || (byPut && OperationRefused(refusal));
    if (!move && cannot) return kCannotCopy;
    return "[UNAVAILABLE] " + refusal.Message();
}

// The sink of a download into the session's spool.
class SpoolSink : public MessageSink {
public:
    explicit SpoolSink(vxw::MessageSpool& spool) : spool(spool) {}
    void Begin() override { spool.Clear(); }
    bool Put(const char* data, size_t size) override {
        spool.Append(data, size);
        return true;
    }

private:
    vxw::MessageSpool& spool;
};

}  // namespace

void ImapSession::CmdCopy(Request& request) {
    RequireArgs(request, 2);
    Transfer transfer;
    transfer.move = request.name == "MOVE";
    transfer.indexes = SelectMessages(request, 0);
    const ImapMailbox& target = NamedMailbox(AString(request, 1), "[TRYCREATE]");
    if (!target.Selectable()) throw ImapFailure::No("[TRYCREATE] That name is no folder");
    if (transfer.move && selected->ReadOnly())
        throw ImapFailure::No("[READ-ONLY] The mailbox is read-only");
    const bool within = target.folder.url == selected->Mailbox().folder.url;
    const vx::Str done = vx::Str(request.uid ? "UID " : "") + request.name + " completed";
    if (transfer.indexes.empty()) return Tagged(request.tag, "OK", done);
    if (transfer.move && within)
        MoveWithin(transfer, target);
    else
        TransferMessages(transfer, target);
    if (transfer.lacksCopy) {
        if (serviceLacksPut) throw ImapFailure::No(kCannotCopy);
        transfer.lacksCopy = false;
        transfer.byPut = true;
        TransferMessages(transfer, target);
    }
    std::shared_ptr<ImapFolderState> targetState = context.store->Folder(user, target.folder.url);
    vx::Str copyUid;
    if (!transfer.from.empty())
        copyUid = "[COPYUID " + std::to_string(targetState->UidValidity()) + " " +
                  UidSet(transfer.from) + " " + UidSet(transfer.to) + "] ";
    if (transfer.move) {
        // RFC 6851: the code goes in an untagged OK ahead of the EXPUNGEs.
        if (!copyUid.empty()) Untagged("OK " + copyUid + "Moved");
        const size_t recentBefore = selected->RecentCount();
        for (size_t k = transfer.moved.size(); k-- > 0;) {
            selected->Remove(transfer.moved[k]);
            Untagged(std::to_string(transfer.moved[k] + 1) + " EXPUNGE");
        }
        // Within the mailbox the refresh below reports the count.
        if (!within && selected->RecentCount() != recentBefore)
            Untagged(std::to_string(selected->RecentCount()) + " RECENT");
        selected->State().Save();
        copyUid.clear();
    }
    if (within) RefreshSelected();
    if (!transfer.failure.empty()) throw ImapFailure::No(transfer.failure);
    Tagged(request.tag, "OK", copyUid + done);
}

void ImapSession::TransferMessages(Transfer& transfer, const ImapMailbox& target) {
    std::shared_ptr<ImapFolderState> targetState = context.store->Folder(user, target.folder.url);
    CarriedMessages carried(*targetState);
    // A copy by PUT gets its name now, so that a crash before the answer
    // still finds its flags under it.
    std::vector<vx::Str> planned;
    for (size_t index : transfer.indexes) {
        planned.push_back(transfer.byPut ? NewMessageUrl(target.folder.url) : vx::Str());
        Carry(carried, index, 0, planned.back());
    }
    targetState->Save();
    for (size_t k = 0; k < transfer.indexes.size() && transfer.failure.empty(); ++k) {
        try {
            TransferOne(transfer, k, target, planned[k], carried, *targetState);
        } catch (const ServiceRefusal& refusal) {
            if (!transfer.move && !transfer.byPut && k == 0 && LacksCopy(refusal)) {
                transfer.lacksCopy = true;
                return;
            }
            if (transfer.byPut && OperationRefused(refusal)) serviceLacksPut = true;
            transfer.failure = RefusalText(refusal, transfer.move, transfer.byPut);
        } catch (const vx::Exception& error) {
            transfer.failure = "[UNAVAILABLE] " + error.Message();
        }
    }
    // A COPY is all or nothing (RFC 3501 6.4.7): the copies made before a
    // failure are taken back where the service lets us.
    if (!transfer.move && !transfer.failure.empty()) {
        for (size_t k = 0; k < transfer.copies.size(); ++k) {
            try {
                account->DeleteMessage(transfer.copies[k]);
                targetState->Remove(transfer.to[k]);
            } catch (const vx::Exception&) {
            }
        }
        transfer.from.clear();
    }
    carried.ForgetTheRest();
    targetState->Save();
}

void ImapSession::TransferOne(Transfer& transfer, size_t k, const ImapMailbox& target,
                              const vx::Str& planned, CarriedMessages& carried,
                              ImapFolderState& targetState) {
    const size_t index = transfer.indexes[k];
    ImapViewMessage& view = selected->At(index);
    vx::Str href = transfer.move    ? account->MoveMessage(view.listed.href, target.folder.url)
                   : transfer.byPut ? CopyByPut(view, planned)
                                    : account->CopyMessage(view.listed.href, target.folder.url);
    uint32_t uid = carried.Arrive(k, href, std::time(nullptr));
    if (transfer.byPut) {
        uint64_t keywords = 0;
        KeepReadState(href, uid, selected->Flags(index, keywords), targetState);
    }
    transfer.from.push_back(view.uid);
    transfer.to.push_back(uid);
    if (transfer.move) transfer.moved.push_back(index);
    transfer.copies.push_back(href);
    if (!transfer.move) copiedElsewhere.insert(view.listed.href);
}

vx::Str ImapSession::CopyByPut(ImapViewMessage& view, const vx::Str& href) {
    const vxw::SpoolEmptier empty(spool);
    SpoolSink sink(spool);
    account->GetMessage(view.listed.href, sink);
    // The download marked the message read at the service; a copy is no read.
    if (view.listed.read == 0) account->SetReadState(view.listed.href, false);
    return account->PutMessage(href, spool);
}

void ImapSession::Carry(CarriedMessages& carried, size_t index, uint8_t dropFlags,
                        const vx::Str& href) {
    ImapViewMessage& view = selected->At(index);
    uint64_t keywords = 0;
    uint8_t flags = selected->Flags(index, keywords) & ~dropFlags;
    carried.Expect(href.empty() ? view.listed.href : href, flags,
                   selected->State().KeywordNames(keywords), ArrivalTime(view));
}
