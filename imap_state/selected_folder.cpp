#include "imap_state/selected_folder.h"

#include <algorithm>
#include <unordered_map>

namespace {

// In the order of the FLAGS response, as other servers list them.
const struct {
    uint8_t bit;
    const char* name;
} kSystemFlags[] = {
    {ImapFlag::kAnswered, "\\Answered"}, {ImapFlag::kFlagged, "\\Flagged"},
    {ImapFlag::kDeleted, "\\Deleted"},   {ImapFlag::kSeen, "\\Seen"},
    {ImapFlag::kDraft, "\\Draft"},
};

const char kAllSystemFlags[] = "\\Answered \\Flagged \\Deleted \\Seen \\Draft";

vx::Str Join(const char* first, const std::vector<vx::Str>& more) {
    vx::Str out = first;
    for (const vx::Str& word : more) out += " " + word;
    return out;
}

// The flags the state keeps, with \Seen from the service where it keeps the
// read state (read is 1, 0, or -1 where it keeps none).
uint8_t ShownFlags(uint8_t stateFlags, int read) {
    if (read < 0) return stateFlags;
    stateFlags &= static_cast<uint8_t>(~ImapFlag::kSeen);
    return read == 1 ? static_cast<uint8_t>(stateFlags | ImapFlag::kSeen) : stateFlags;
}

}  // namespace

vx::Str ImapFlagList(uint8_t flags, const std::vector<vx::Str>& keywords, bool recent) {
    vx::Str out = "(";
    for (const auto& flag : kSystemFlags) {
        if (!(flags & flag.bit)) continue;
        if (out.size() > 1) out += ' ';
        out += flag.name;
    }
    if (recent) out += out.size() > 1 ? " \\Recent" : "\\Recent";
    for (const vx::Str& keyword : keywords) {
        if (out.size() > 1) out += ' ';
        out += keyword;
    }
    return out + ")";
}

ImapSelectedFolder::ImapSelectedFolder(ImapMailbox mailbox, bool readOnly,
                                       std::shared_ptr<ImapFolderState> state)
    : mailbox(std::move(mailbox)), readOnly(readOnly), state(std::move(state)) {}

ImapSelectedFolder::Listing ImapSelectedFolder::ListAndSync(WebmailAccount& account, int64_t now) {
    Listing listing;
    uint64_t generation = state->Generation();
    listedAtReadStamp = state->ReadStamp();
    account.ListFolder(mailbox.folder.url, listing.listed);
    listing.hrefs.reserve(listing.listed.size());
    for (const ListedMessage& message : listing.listed) listing.hrefs.push_back(message.href);
    listing.stored = state->Sync(listing.hrefs, generation, now);
    return listing;
}

ImapViewMessage ImapSelectedFolder::MakeView(const ImapFolderMessage& stored,
                                             ListedMessage&& listed, uint32_t recentFrom) const {
    ImapViewMessage view;
    view.uid = stored.uid;
    view.listed = std::move(listed);
    view.firstSeen = stored.firstSeen;
    view.arrived = stored.arrived;
    view.recent = stored.uid >= recentFrom;
    return view;
}

void ImapSelectedFolder::Load(WebmailAccount& account, int64_t now) {
    Listing listing = ListAndSync(account, now);
    uint32_t recentFrom = state->RecentFrom(!readOnly);
    messages.clear();
    messages.reserve(listing.stored.size());
    // A message put here by another session after this listing began shows
    // at the next listing.
    for (const ImapFolderMessage& message : listing.stored) {
        messages.push_back(MakeView(message, std::move(listing.listed[message.listed]), recentFrom));
        messages.back().shownFlags = ShownFlags(message.flags, messages.back().listed.read);
        messages.back().shownKeywords = message.keywords;
    }
    state->Save();
}

void ImapSelectedFolder::Refresh(WebmailAccount& account, int64_t now, vx::Str& responses) {
    Listing listing = ListAndSync(account, now);
    std::vector<ListedMessage>& listed = listing.listed;
    const std::vector<ImapFolderMessage>& stored = listing.stored;
    std::unordered_map<uint32_t, const ImapFolderMessage*> byUid;
    for (const ImapFolderMessage& message : stored) byUid.emplace(message.uid, &message);

    for (size_t i = messages.size(); i-- > 0;) {
        auto found = byUid.find(messages[i].uid);
        if (found != byUid.end() && listing.hrefs[found->second->listed] == messages[i].listed.href)
            continue;
        responses += "* " + std::to_string(i + 1) + " EXPUNGE\r\n";
        messages.erase(messages.begin() + static_cast<std::ptrdiff_t>(i));
    }
    responses += KeywordNews();
    for (size_t i = 0; i < messages.size(); ++i) {
        ImapViewMessage& view = messages[i];
        const ImapFolderMessage& stored = *byUid[view.uid];
        view.listed = std::move(listed[stored.listed]);
        if (stored.arrived != 0) view.arrived = stored.arrived;
        uint64_t keywords = 0;
        uint8_t flags = Flags(i, keywords);
        if (flags != view.shownFlags || keywords != view.shownKeywords)
            responses += "* " + std::to_string(i + 1) + " FETCH (FLAGS " + FlagList(i) + ")\r\n";
    }
    uint32_t last = messages.empty() ? 0 : messages.back().uid;
    uint32_t recentFrom = state->RecentFrom(!readOnly);
    size_t before = messages.size();
    for (const ImapFolderMessage& message : stored) {
        if (message.uid <= last) continue;
        messages.push_back(MakeView(message, std::move(listed[message.listed]), recentFrom));
        messages.back().shownFlags = Flags(messages.size() - 1, messages.back().shownKeywords);
    }
    if (messages.size() != before) {
        responses += "* " + std::to_string(messages.size()) + " EXISTS\r\n";
        responses += "* " + std::to_string(RecentCount()) + " RECENT\r\n";
    }
    state->Save();
}

void ImapSelectedFolder::MoveTo(const ImapMailbox& box) {
    const vx::Str from = mailbox.folder.url;
    for (ImapViewMessage& view : messages)
        if (view.listed.href.compare(0, from.size(), from) == 0)
            view.listed.href = box.folder.url + view.listed.href.substr(from.size());
    mailbox = box;
}

size_t ImapSelectedFolder::RecentCount() const {
    return static_cast<size_t>(std::count_if(messages.begin(), messages.end(),
                                             [](const ImapViewMessage& m) { return m.recent; }));
}

std::vector<size_t> ImapSelectedFolder::Select(const SequenceSet& set, bool uid) const {
    std::vector<size_t> out;
    if (messages.empty()) return out;
    if (!uid) {
        for (const auto& [first, last] : set.Resolve(static_cast<uint32_t>(messages.size())))
            for (uint32_t n = first; n <= last; ++n) out.push_back(n - 1);
        return out;
    }
    auto ranges = set.Resolve(messages.back().uid);
    size_t r = 0;
    for (size_t i = 0; i < messages.size() && r < ranges.size(); ++i) {
        uint32_t current = messages[i].uid;
        while (r < ranges.size() && ranges[r].second < current) ++r;
        if (r < ranges.size() && current >= ranges[r].first) out.push_back(i);
    }
    return out;
}

bool ImapSelectedFolder::Gone(size_t index) const {
    uint8_t flags = 0;
    uint64_t keywords = 0;
    return !state->Flags(messages[index].uid, flags, keywords);
}

uint8_t ImapSelectedFolder::Flags(size_t index, uint64_t& keywords) const {
    const ImapViewMessage& view = messages[index];
    uint8_t flags = 0;
    keywords = 0;
    state->Flags(view.uid, flags, keywords);
    return ShownFlags(flags, view.listed.read);
}

vx::Str ImapSelectedFolder::FlagList(size_t index) {
    uint64_t keywords = 0;
    uint8_t flags = Flags(index, keywords);
    return FlagList(index, flags, keywords);
}

vx::Str ImapSelectedFolder::FlagList(size_t index, uint8_t flags, uint64_t keywords) {
    ImapViewMessage& view = messages[index];
    view.shownFlags = flags;
    view.shownKeywords = keywords;
    return ImapFlagList(flags, keywords ? state->KeywordNames(keywords) : std::vector<vx::Str>(),
                        view.recent);
}

void ImapSelectedFolder::SetFlags(size_t index, uint8_t flags, uint64_t keywords,
                                  WebmailAccount& account) {
    ImapViewMessage& view = messages[index];
    if (view.listed.read >= 0) {
        int read = (flags & ImapFlag::kSeen) ? 1 : 0;
        if (read != view.listed.read) {
            std::lock_guard<std::mutex> guard(state->ReadStateLock());
            account.SetReadState(view.listed.href, read == 1);
            state->NoteReadState(view.uid, read == 1);
            view.listed.read = read;
        }
        flags &= static_cast<uint8_t>(~ImapFlag::kSeen);
    }
    state->SetFlags(view.uid, flags, keywords);
}

void ImapSelectedFolder::PutBackReadState(const ImapViewMessage& view, WebmailAccount& account) {
    if (view.listed.read < 0) return;  // a service that keeps no read state
    std::lock_guard<std::mutex> guard(state->ReadStateLock());
    bool read = view.listed.read == 1;
    state->ReadStateSince(view.uid, listedAtReadStamp, read);
    if (!read) account.SetReadState(view.listed.href, false);
}

void ImapSelectedFolder::Remove(size_t index) {
    state->Remove(messages[index].uid);
    messages.erase(messages.begin() + static_cast<std::ptrdiff_t>(index));
}

vx::Str ImapSelectedFolder::FlagsAnnouncement() {
    shownKeywordCount = state->Keywords().size();
    return FlagsResponse() + (readOnly ? vx::Str("* OK [PERMANENTFLAGS ()] Read-only mailbox\r\n")
                                       : PermanentFlagsResponse());
}

vx::Str ImapSelectedFolder::KeywordNews() {
    // Keywords are only ever added while a folder's state lives.
    if (state->Keywords().size() == shownKeywordCount) return vx::Str();
    return FlagsAnnouncement();
}

vx::Str ImapSelectedFolder::FlagsResponse() const {
    return "* FLAGS (" + Join(kAllSystemFlags, state->Keywords()) + ")\r\n";
}

vx::Str ImapSelectedFolder::PermanentFlagsResponse() const {
    std::vector<vx::Str> keywords = state->Keywords();
    bool room = keywords.size() < ImapFolderState::kMaxKeywords;
    if (room) keywords.push_back("\\*");
    return "* OK [PERMANENTFLAGS (" + Join(kAllSystemFlags, keywords) + ")] Flags permitted\r\n";
}
