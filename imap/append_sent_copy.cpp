// A sent copy that is there already: a service that files a copy of every
// message it sends holds one of each message this gateway submitted, and a
// mail client that saves its own sent copy (APPEND to the \Sent folder)
// would make it two. When the message is one the SMTP service submitted
// lately (the same Message-ID, about the same size), the service's copy is
// looked for among the newest messages of the sent folder, by their header
// alone, and the APPEND answers with its UID instead of storing another.
#include <algorithm>
#include <ctime>

#include "core/log.h"
#include "imap/imap_session.h"
#include "imap_wire/imap_date.h"
#include "webmail/submission_registry.h"

namespace {

// Headers looked at, newest first, before the message is stored after all.
constexpr size_t kCopiesLookedAt = 5;

// The listed messages, newest first: by arrival where the listing gives
// it, else later in the listing first.
std::vector<size_t> NewestFirst(const std::vector<ListedMessage>& listed) {
    std::vector<std::pair<int64_t, size_t>> order;
    order.reserve(listed.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        int64_t arrived = 0;
        if (!ImapDate::ParseIsoDate(listed[i].received, arrived)) arrived = 0;
        order.emplace_back(arrived, i);
    }
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a > b; });
    std::vector<size_t> out;
    for (const auto& entry : order) out.push_back(entry.second);
    return out;
}

}  // namespace

uint32_t ImapSession::ServiceSentCopy(const ImapMailbox& box, const AppendArgs& args,
                                      ImapFolderState& state) {
    const int64_t now = std::time(nullptr);
    const vx::Str messageId = SubmissionRegistry::MessageId(spool);
    if (!SubmissionRegistry::Instance().Submitted(user, messageId, spool.Size(), now)) return 0;
    const uint64_t generation = state.Generation();
    std::vector<ListedMessage> listed;
    account->ListFolder(box.folder.url, listed);
    const std::vector<size_t> newest = NewestFirst(listed);
    const ListedMessage* copy = nullptr;
    for (size_t k = 0; k < newest.size() && k < kCopiesLookedAt && copy == nullptr; ++k) {
        const ListedMessage& candidate = listed[newest[k]];
        uint64_t downloads = messages.Downloads();
        const vx::Str& header = messages.Structure(*account, candidate.href, true).root.header;
        // A download marks a message read at the service; a look is no read.
        if (candidate.read == 0 && messages.Downloads() != downloads)
            account->SetReadState(candidate.href, false);
        if (SubmissionRegistry::MessageIdOfHeader(header) == messageId) copy = &candidate;
    }
    if (copy == nullptr) return 0;
    std::vector<vx::Str> hrefs;
    hrefs.reserve(listed.size());
    for (const ListedMessage& message : listed) hrefs.push_back(message.href);
    uint32_t uid = 0;
    for (const ImapFolderMessage& stored : state.Sync(hrefs, generation, now))
        if (listed[stored.listed].href == copy->href) uid = stored.uid;
    if (uid == 0) return 0;
    // The flags the client gave go to the service's copy.
    uint64_t keywords = 0;
    for (const vx::Str& keyword : args.keywords) keywords |= state.KeywordBit(keyword, true);
    state.SetFlags(uid, args.flags, keywords);
    if (args.arrived != 0) state.SetArrived(uid, args.arrived);
    if ((args.flags & ImapFlag::kSeen) && copy->read == 0) account->SetReadState(copy->href, true);
    Log("ImapSession::APPEND - The service keeps a copy of this sent message already - " +
        messageId);
    return uid;
}
