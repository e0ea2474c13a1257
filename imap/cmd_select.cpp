// SELECT, EXAMINE, CLOSE, UNSELECT (RFC 3501 6.3.1-2, 6.4.2; RFC 3691) and
// STATUS (RFC 3501 6.3.10) of ImapSession.
#include <ctime>

#include "imap/imap_failure.h"
#include "imap/imap_session.h"
#include "imap_wire/imap_string.h"
#include "text/ascii.h"

namespace {

struct FolderCounts {
    size_t messages = 0;
    size_t recent = 0;
    size_t unseen = 0;
};

// Lists a folder that is not selected and counts what STATUS reports; new
// messages get their UIDs on the way, so UIDNEXT is right.
FolderCounts CountFolder(WebmailAccount& account, ImapFolderState& state, const vx::Str& url) {
    uint64_t generation = state.Generation();
    std::vector<ListedMessage> listed;
    account.ListFolder(url, listed);
    std::vector<vx::Str> hrefs;
    hrefs.reserve(listed.size());
    for (const ListedMessage& message : listed) hrefs.push_back(message.href);
    std::vector<ImapFolderMessage> stored = state.Sync(hrefs, generation, std::time(nullptr));
    uint32_t recentFrom = state.RecentFrom(false);
    FolderCounts counts;
    for (const ImapFolderMessage& message : stored) {
        ++counts.messages;
        if (message.uid >= recentFrom) ++counts.recent;
        int read = listed[message.listed].read;
        bool seen = read >= 0 ? read == 1 : (message.flags & ImapFlag::kSeen);
        if (!seen) ++counts.unseen;
    }
    state.Save();
    return counts;
}

}  // namespace

void ImapSession::CmdSelect(Request& request) {
    RequireArgs(request, 1);
    bool examine = request.name == "EXAMINE";
    // Whatever happens next, the mailbox selected so far is left, unexpunged.
    // Its state stays loaded until the new one is: selecting it again then
    // costs no new reading of its map.
    std::shared_ptr<ImapFolderState> previous;
    if (selected) {
        selected->State().Save();
        previous = selected->SharedState();
    }
    selected.reset();
    state = State::Authenticated;
    const ImapMailbox& box = NamedMailbox(AString(request, 0), "[NONEXISTENT]");
    if (!box.Selectable()) throw ImapFailure::No("[NONEXISTENT] That name is no folder");
    auto folder = std::make_unique<ImapSelectedFolder>(box, examine,
                                                       context.store->Folder(user, box.folder.url));
    folder->Load(*account, std::time(nullptr));
    selected = std::move(folder);
    state = State::Selected;

    out.Write(selected->FlagsAnnouncement());
    Untagged(std::to_string(selected->Count()) + " EXISTS");
    Untagged(std::to_string(selected->RecentCount()) + " RECENT");
    for (size_t i = 0; i < selected->Count(); ++i) {
        uint64_t keywords = 0;
        if (selected->Flags(i, keywords) & ImapFlag::kSeen) continue;
        Untagged("OK [UNSEEN " + std::to_string(i + 1) + "] First unseen message");
        break;
    }
    Untagged("OK [UIDVALIDITY " + std::to_string(selected->State().UidValidity()) + "] UIDs valid");
    Untagged("OK [UIDNEXT " + std::to_string(selected->UidNext()) + "] Predicted next UID");
    Tagged(request.tag, "OK",
           examine ? "[READ-ONLY] EXAMINE completed" : "[READ-WRITE] SELECT completed");
}

void ImapSession::CmdClose(Request& request) {
    RequireArgs(request, 0);
    // CLOSE removes the \Deleted messages without telling the client. When
    // that fails the mailbox stays selected, so the client can try again,
    // and hears of the messages that did leave.
    if (request.name == "CLOSE" && !selected->ReadOnly()) {
        std::vector<uint32_t> before;
        for (size_t i = 0; i < selected->Count(); ++i) before.push_back(selected->At(i).uid);
        try {
            ExpungeDeleted(nullptr, false);
        } catch (...) {
            ReportRemoved(before);
            throw;
        }
    }
    try {
        selected->State().Save();
    } catch (...) {
    }
    selected.reset();
    state = State::Authenticated;
    Tagged(request.tag, "OK", request.name + " completed");
}

void ImapSession::ReportRemoved(const std::vector<uint32_t>& before) {
    size_t kept = selected->Count();
    for (size_t seq = before.size(); seq-- > 0;) {
        // Both lists are in UID order: what is left is a subsequence.
        if (kept > 0 && selected->At(kept - 1).uid == before[seq]) {
            --kept;
            continue;
        }
        Untagged(std::to_string(seq + 1) + " EXPUNGE");
    }
}

void ImapSession::CmdStatus(Request& request) {
    RequireArgs(request, 2);
    const ImapMailbox& box = NamedMailbox(AString(request, 0), "[NONEXISTENT]");
    const ImapArg& items = List(request, 1);
    if (!box.Selectable()) throw ImapFailure::No("[NONEXISTENT] That name is no folder");
    for (const ImapArg& item : items.list) {
        static const char* const kItems[] = {"MESSAGES", "RECENT", "UIDNEXT", "UIDVALIDITY",
                                             "UNSEEN"};
        bool known = false;
        for (const char* name : kItems) known |= item.Is(name);
        if (!known) throw ImapFailure::Bad("Unknown STATUS item");
    }
    std::shared_ptr<ImapFolderState> folder = context.store->Folder(user, box.folder.url);
    FolderCounts counts = CountFolder(*account, *folder, box.folder.url);
    vx::Str values;
    for (const ImapArg& item : items.list) {
        if (!values.empty()) values += ' ';
        vx::Str name = item.text;
        for (char& c : name) c = vx::Ascii::ToUpper(c);
        uint64_t value = name == "MESSAGES"      ? counts.messages
                         : name == "RECENT"      ? counts.recent
                         : name == "UIDNEXT"     ? folder->UidNext()
                         : name == "UIDVALIDITY" ? folder->UidValidity()
                                                 : counts.unseen;
        values += name + " " + std::to_string(value);
    }
    vx::Str response = "STATUS ";
    ImapString::AppendAString(response, box.wire);
    Untagged(response + " (" + values + ")");
    Tagged(request.tag, "OK", "STATUS completed");
}
