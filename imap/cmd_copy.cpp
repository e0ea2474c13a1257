// COPY, MOVE and their UID forms (RFC 3501 6.4.7, RFC 6851), with the
// COPYUID code of UIDPLUS (RFC 4315). A moved or copied message keeps its
// flags and its INTERNALDATE: the target folder's state is told of them
// before the first message goes (so a crash half-way loses nothing) and
// gives each its UID there at once. The service may lack COPY (it answers
// 405 or 501): COPY then answers NO and MOVE still works. A message the
// service no longer has is reported as expunged by the next refresh.
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

// The reply to a failure of the service with one message.
vx::Str FailureText(const ServiceRefusal& refusal, bool move) {
    if (MessageIsGone(refusal)) return kGone;
    if (!move && (refusal.Status() == 405 || refusal.Status() == 501))
        return "[CANNOT] The web mail service cannot copy messages; MOVE works";
    return "[UNAVAILABLE] " + refusal.Message();
}

}  // namespace

void ImapSession::CmdCopy(Request& request) {
    RequireArgs(request, 2);
    bool move = request.name == "MOVE";
    std::vector<size_t> indexes = SelectMessages(request, 0);
    const ImapMailbox& target = NamedMailbox(AString(request, 1), "[TRYCREATE]");
    if (!target.Selectable()) throw ImapFailure::No("[TRYCREATE] That name is no folder");
    if (move && selected->ReadOnly()) throw ImapFailure::No("[READ-ONLY] The mailbox is read-only");
    if (move && target.folder.url == selected->Mailbox().folder.url)
        throw ImapFailure::No("[CANNOT] The messages are in that mailbox already");
    const vx::Str done = vx::Str(request.uid ? "UID " : "") + request.name + " completed";
    if (indexes.empty()) return Tagged(request.tag, "OK", done);

    std::shared_ptr<ImapFolderState> targetState = context.store->Folder(user, target.folder.url);
    CarriedMessages carried(*targetState);
    for (size_t index : indexes) Carry(carried, index);
    targetState->Save();

    std::vector<uint32_t> from, to;
    std::vector<size_t> moved;
    std::vector<vx::Str> copies;
    vx::Str failure;
    for (size_t k = 0; k < indexes.size() && failure.empty(); ++k) {
        ImapViewMessage& view = selected->At(indexes[k]);
        vx::Str href;
        try {
            href = move ? account->MoveMessage(view.listed.href, target.folder.url)
                        : account->CopyMessage(view.listed.href, target.folder.url);
        } catch (const ServiceRefusal& refusal) {
            failure = FailureText(refusal, move);
            break;
        } catch (const vx::Exception& error) {
            failure = "[UNAVAILABLE] " + error.Message();
            break;
        }
        from.push_back(view.uid);
        to.push_back(carried.Arrive(k, href, std::time(nullptr)));
        if (move) moved.push_back(indexes[k]);
        copies.push_back(href);
        if (!move) copiedElsewhere.insert(view.listed.href);
    }
    // A COPY is all or nothing (RFC 3501 6.4.7): the copies made before a
    // failure are taken back where the service lets us.
    if (!move && !failure.empty()) {
        for (size_t k = 0; k < copies.size(); ++k) {
            try {
                account->DeleteMessage(copies[k]);
                targetState->Remove(to[k]);
            } catch (const vx::Exception&) {
            }
        }
        from.clear();
    }
    carried.ForgetTheRest();
    targetState->Save();
    vx::Str copyUid;
    if (!from.empty())
        copyUid = "[COPYUID " + std::to_string(targetState->UidValidity()) + " " + UidSet(from) +
                  " " + UidSet(to) + "] ";
    if (move) {
        // RFC 6851: the code goes in an untagged OK ahead of the EXPUNGEs.
        if (!copyUid.empty()) Untagged("OK " + copyUid + "Moved");
        const size_t recentBefore = selected->RecentCount();
        for (size_t k = moved.size(); k-- > 0;) {
            selected->Remove(moved[k]);
            Untagged(std::to_string(moved[k] + 1) + " EXPUNGE");
        }
        if (selected->RecentCount() != recentBefore)
            Untagged(std::to_string(selected->RecentCount()) + " RECENT");
        selected->State().Save();
        copyUid.clear();
    }
    if (!failure.empty()) throw ImapFailure::No(failure);
    if (!move && target.folder.url == selected->Mailbox().folder.url) RefreshSelected();
    Tagged(request.tag, "OK", copyUid + done);
}

void ImapSession::Carry(CarriedMessages& carried, size_t index, uint8_t dropFlags) {
    ImapViewMessage& view = selected->At(index);
    uint64_t keywords = 0;
    uint8_t flags = selected->Flags(index, keywords) & ~dropFlags;
    carried.Expect(view.listed.href, flags, selected->State().KeywordNames(keywords),
                   ArrivalTime(view));
}
