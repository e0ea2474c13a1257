#pragma once
// What the gateway remembers of one web mail folder for IMAP, shared by every
// session of the account: the UID of each message (keyed by the message's URL
// at the service) under the folder's UIDVALIDITY, the flags the service does
// not keep (\Answered, \Flagged, \Deleted, \Draft, keywords, and \Seen where
// the service has no read state), when the gateway first saw each message and
// when it arrived (its INTERNALDATE, once known), and where \Recent starts
// (RFC 3501, 2.3.1.1, 2.3.2 and 2.3.3).
//
// Messages the gateway is moving into the folder are announced before the
// move with the flags they are to keep: should the program die before it
// learns the message's new URL, the next listing that shows a message of
// that name gives it those flags, so a crash never loses them.
//
// It lives in one file, rewritten whole through a temporary file and a
// rename whenever it changed. A file that cannot be read back completely is
// not trusted: the folder starts again under a new UIDVALIDITY (and the log
// says why), so a client throws away what it cached instead of mixing
// messages up.
#include <cstdint>
#include <map>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/str.h"
#include "imap_wire/imap_flags.h"

// A listed message as the state holds it.
struct ImapFolderMessage {
    uint32_t uid = 0;
    size_t listed = 0;  // its place in the listing (the first, for a URL listed twice)
    uint8_t flags = 0;
    uint64_t keywords = 0;  // bit i: keyword i of the folder
    int64_t firstSeen = 0;  // seconds since 1970, UTC
    int64_t arrived = 0;    // its INTERNALDATE, the same way; 0 while unknown
};

class ImapFolderState {
public:
    static constexpr size_t kMaxKeywords = 64;        // one bit each in a keyword mask
    static constexpr size_t kMaxKeywordLength = 100;  // bytes
    // A folder with more messages than this is refused (the file would be huge).
    static constexpr size_t kMaxFolderMessages = 2000000;

    // Loads path; a missing file starts the folder, a damaged one starts it
    // again with a UIDVALIDITY above the damaged one's (where it is legible)
    // and a log line naming account, folder and the damage. folderUrl is
    // checked against the file, so a file never serves another folder. A
    // folder that starts gets a UIDVALIDITY above uidValidityFloor as well.
    ImapFolderState(vx::Str path, vx::Str folderUrl, int64_t now, vx::Str account = "",
                    uint32_t uidValidityFloor = 0);

    uint32_t UidValidity() const;
    uint32_t UidNext() const;
    // Taken when a listing is asked for: changes made since then, and
    // messages another listing asked for later added, survive a Sync with
    // it. Each call gives a number of its own.
    uint64_t Generation();

    // Takes a listing of the folder (message URLs in the service's order)
    // that was requested at generation: known messages keep their UID, new
    // ones get the next UIDs in listing order, messages no longer listed are
    // forgotten (unless added after generation). Returns the listed messages
    // in UID order. Throws vx::Exception beyond kMaxFolderMessages.
    std::vector<ImapFolderMessage> Sync(const std::vector<vx::Str>& hrefs, uint64_t generation,
                                        int64_t now);
    // A message the gateway itself just put into the folder (a COPY or MOVE),
    // with the flags and arrival it had; returns its new UID, or the UID it
    // already has.
    uint32_t Add(const vx::Str& href, uint8_t flags, const std::vector<vx::Str>& keywords,
                 int64_t now, int64_t arrived);
    // Before the gateway moves or copies the message at href into the
    // folder: the flags and arrival it is to keep, for a listing after a
    // crash, which knows the message by the last segment of its URL (the
    // name a move keeps). Save afterwards, then move. Add takes the note
    // back, and so does ForgetExpected(href).
    void Expect(const vx::Str& href, uint8_t flags, const std::vector<vx::Str>& keywords,
                int64_t arrived);
    void ForgetExpected(const vx::Str& href);
    // The INTERNALDATE of uid once it is known; 0 before.
    int64_t Arrived(uint32_t uid) const;
    // Keeps arrived as uid's INTERNALDATE unless one is known already (a
    // session that worked one out may find another session was quicker);
    // returns the one in effect, 0 for a message the folder does not hold.
    int64_t SetArrived(uint32_t uid, int64_t arrived);
    // A message removed from the folder by the gateway itself.
    void Remove(uint32_t uid);

    // The flags of uid; false when the folder does not hold it.
    bool Flags(uint32_t uid, uint8_t& flags, uint64_t& keywords) const;
    bool SetFlags(uint32_t uid, uint8_t flags, uint64_t keywords);
    // The keywords of a mask, by name.
    std::vector<vx::Str> KeywordNames(uint64_t mask) const;
    std::vector<vx::Str> Keywords() const;
    // The bit of a keyword (case-insensitive), added when create is set and
    // there is room; 0 when there is none.
    uint64_t KeywordBit(const vx::Str& keyword, bool create);

    // Changes of the service's read state made through the gateway, so that
    // a session that only looked at a message (a download the service takes
    // for a read) puts back the state another session set meanwhile, not
    // the one it listed. Set and put back under ReadStateLock, which keeps
    // each change and its note together. Kept in memory only.
    std::mutex& ReadStateLock() { return readStateLock; }
    uint64_t ReadStamp() const;
    void NoteReadState(uint32_t uid, bool read);
    // Sets read to the state last noted for uid after stamp; false when
    // none was.
    bool ReadStateSince(uint32_t uid, uint64_t stamp, bool& read) const;

    // The first UID that is \Recent to the session that asks (RFC 3501:
    // recent to exactly one session). With take, later sessions no longer see
    // the messages up to UidNext as recent.
    uint32_t RecentFrom(bool take);

    // Writes the file when something changed since the last save. Throws
    // vx::Exception when it cannot be written.
    void Save();

    // The folder moved at the service (a RENAME): its file goes to newPath,
    // and every message URL below the old folder URL now lies below newUrl,
    // so each message keeps its UID and flags. Throws vx::Exception when the
    // new file cannot be written (the old one then stays).
    void MoveTo(vx::Str newPath, vx::Str newUrl);
    // The folder is gone at the service: the file is removed, and nothing
    // is written any more by sessions that still hold this state.
    void Drop();

private:
    struct Expected {
        vx::Str name;
        uint8_t flags = 0;
        uint64_t keywords = 0;
        int64_t arrived = 0;
        bool loaded = false;  // from the file: a move the last run may have cut
    };

    void Load(int64_t now, const vx::Str& account, uint32_t floor);
    // nullptr when text is a whole state of this folder, else what is wrong.
    const char* Parse(const vx::Str& text);
    const char* ParseMessage(std::string_view line, bool withArrival);
    const char* ParseExpected(std::string_view line);
    vx::Str Serialize() const;
    void StartAgain(uint32_t atLeast, int64_t now);
    uint32_t AddLocked(const vx::Str& href, int64_t now);
    // The expected message a new URL is, taken off the list; false for none.
    bool TakeExpected(const vx::Str& href, Expected& expected);
    uint64_t KeywordBitLocked(const vx::Str& keyword, bool create);

    struct Entry {
        vx::Str href;
        uint8_t flags = 0;
        uint64_t keywords = 0;
        int64_t firstSeen = 0;
        int64_t arrived = 0;
        uint64_t added = 0;      // the generation that added it
        uint64_t readStamp = 0;  // when the gateway last set its read state, or 0
        bool read = false;       // what it set then
    };

    vx::Str path;       // under lock; changed by MoveTo
    vx::Str folderUrl;  // the same
    bool dropped = false;
    mutable std::mutex lock;
    std::mutex saveLock;
    std::mutex readStateLock;
    uint64_t readStamp = 0;
    uint32_t uidValidity = 0;
    uint32_t uidNext = 1;
    uint32_t recentFrom = 1;
    uint64_t generation = 1;
    std::vector<vx::Str> keywords;
    std::map<uint32_t, Entry> messages;               // by UID
    std::unordered_map<vx::Str, uint32_t> uidOfHref;  // the same, by URL
    std::vector<Expected> expected;                   // moves under way, or cut by a crash
    bool dirty = false;
};
