#pragma once
// The mailbox a session has selected: its messages in UID order, numbered
// from 1 as this session has told the client (RFC 3501 2.3.1.2), joined
// with what the service's listing said of each. Sequence numbers change only
// when the client is told: messages that left the folder are reported as
// EXPUNGE, new ones as EXISTS, all at the moments the session chooses.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/str.h"
#include "imap_state/folder_state.h"
#include "imap_state/mailbox_list.h"
#include "imap_wire/sequence_set.h"
#include "webmail/account.h"

struct ImapViewMessage {
    uint32_t uid = 0;
    ListedMessage listed;  // href, size, read state, header properties
    int64_t firstSeen = 0;
    // Its arrival as the state knew it at the last listing, for a message
    // another session removes before this one learns of it.
    int64_t arrived = 0;
    bool recent = false;
    // The flags the client was last told, to report changes made elsewhere.
    uint8_t shownFlags = 0;
    uint64_t shownKeywords = 0;
};

class ImapSelectedFolder {
public:
    ImapSelectedFolder(ImapMailbox mailbox, bool readOnly, std::shared_ptr<ImapFolderState> state);

    // Lists the folder at the service and takes it as this session's view.
    void Load(WebmailAccount& account, int64_t now);
    // Lists it again; appends to responses what changed: EXPUNGE for every
    // message that left (highest first), FETCH FLAGS for changed flags, EXISTS
    // and RECENT when messages arrived.
    void Refresh(WebmailAccount& account, int64_t now, vx::Str& responses);

    const ImapMailbox& Mailbox() const { return mailbox; }
    // The folder moved at the service (a RENAME): the view follows it, so
    // its messages stay what they were.
    void MoveTo(const ImapMailbox& box);
    bool ReadOnly() const { return readOnly; }
    ImapFolderState& State() { return *state; }
    std::shared_ptr<ImapFolderState> SharedState() const { return state; }

    size_t Count() const { return messages.size(); }
    ImapViewMessage& At(size_t index) { return messages[index]; }
    size_t RecentCount() const;
    uint32_t UidNext() const { return state->UidNext(); }

    // Indexes (0-based) of the messages a set names, in sequence order: by
    // sequence number, or by UID with uid set.
    std::vector<size_t> Select(const SequenceSet& set, bool uid) const;

    // A message's flags as the client sees them: the service's read state
    // where it has one, the rest from the state. Keywords in keywords.
    uint8_t Flags(size_t index, uint64_t& keywords) const;
    // The FLAGS list "(\Seen \Recent $Label1)" of a message; remembers it
    // as shown.
    vx::Str FlagList(size_t index);
    // The same from flags the caller has just read with Flags.
    vx::Str FlagList(size_t index, uint8_t flags, uint64_t keywords);
    // The flags a message now has: \Seen goes to the service where it keeps
    // the read state (throws what the service throws), the rest to the state.
    void SetFlags(size_t index, uint8_t flags, uint64_t keywords, WebmailAccount& account);

    // After a download that was only a look: the service takes a download
    // for a read, so the read state goes back to what this view's listing
    // showed, or to what a session of the gateway set since.
    void PutBackReadState(const ImapViewMessage& view, WebmailAccount& account);

    // Drops a message the session removed and told the client of.
    void Remove(size_t index);
    // Whether another session took the message out of the folder's state
    // since this view was made (it expunged or moved it).
    bool Gone(size_t index) const;

    // The FLAGS and PERMANENTFLAGS responses of the mailbox (SELECT), and
    // again whenever a keyword was added since they were last sent (to this
    // session or by another): "" when nothing is new.
    vx::Str FlagsAnnouncement();
    vx::Str KeywordNews();

private:
    // A listing of the folder, taken by the state: the messages as listed,
    // their URLs, and the listed messages as the state holds them.
    struct Listing {
        std::vector<ListedMessage> listed;
        std::vector<vx::Str> hrefs;
        std::vector<ImapFolderMessage> stored;
    };
    Listing ListAndSync(WebmailAccount& account, int64_t now);
    ImapViewMessage MakeView(const ImapFolderMessage& stored, ListedMessage&& listed,
                             uint32_t recentFrom) const;

    vx::Str FlagsResponse() const;
    vx::Str PermanentFlagsResponse() const;

    ImapMailbox mailbox;
    bool readOnly;
    std::shared_ptr<ImapFolderState> state;
    std::vector<ImapViewMessage> messages;
    size_t shownKeywordCount = 0;  // keywords the client was told of in FLAGS
    uint64_t listedAtReadStamp = 0;  // the state's read stamp when the view was listed
};

// A flag list "(\Seen \Answered ...)" of system flags and keywords, the
// flags in a fixed order.
vx::Str ImapFlagList(uint8_t flags, const std::vector<vx::Str>& keywords, bool recent);
