#include "imap_state/folder_state.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "core/exception.h"
#include "core/file_util.h"
#include "core/log.h"
#include "imap_state/state_file.h"
#include "text/ascii.h"

namespace {

// Version 2 adds each message's arrival and the expected messages; a
// version 1 file is still read.
const char kMagic1[] = "mirelink-imap-folder 1";
const char kMagic[] = "mirelink-imap-folder 2";
// A state file larger than this is taken as damaged rather than read.
constexpr size_t kMaxFileSize = size_t{512} << 20;
constexpr size_t kMaxExpected = 10000;

template <class Number>
bool ReadNumber(std::string_view text, Number& value, int base = 10) {
    if (text.empty()) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

// The next field of line up to a blank (the last field takes the rest).
std::string_view NextField(std::string_view& line, bool last = false) {
    size_t blank = last ? std::string_view::npos : line.find(' ');
    std::string_view field = line.substr(0, blank);
    line = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
    return field;
}

bool HasLineBreak(std::string_view text) {
    // Two plain searches: find_first_of looks each character up in the set.
    return text.find('\n') != std::string_view::npos || text.find('\r') != std::string_view::npos;
}

bool ValidKeyword(std::string_view keyword) {
    if (keyword.empty() || keyword.size() > ImapFolderState::kMaxKeywordLength) return false;
    for (char c : keyword) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f) return false;
    }
    return true;
}

// The last segment of a message URL: the name a moved message keeps.
vx::Str LastSegment(const vx::Str& href) {
    size_t end = href.size();
    while (end > 0 && href[end - 1] == '/') --end;
    size_t slash = href.rfind('/', end == 0 ? 0 : end - 1);
    return href.substr(slash == vx::Str::npos ? 0 : slash + 1, end - (slash + 1));
}

}  // namespace

ImapFolderState::ImapFolderState(vx::Str path, vx::Str folderUrl, int64_t now, vx::Str account,
                                 uint32_t uidValidityFloor)
    : path(std::move(path)), folderUrl(std::move(folderUrl)) {
    Load(now, account, uidValidityFloor);
}

void ImapFolderState::Load(int64_t now, const vx::Str& account, uint32_t floor) {
    vx::Str text;
    if (!LoadFile(path, text)) return StartAgain(floor, now);
    const char* damage = text.size() > kMaxFileSize ? "larger than any folder's" : Parse(text);
    if (damage == nullptr) return;
    // Whatever UIDVALIDITY the damaged file still shows, the new one lies
    // above it, so no client takes the new UIDs for the old ones.
    uint32_t old = 0;
    size_t at = text.find("\nuidvalidity ");
    if (at != vx::Str::npos) {
        std::string_view rest(text.data() + at + 13, std::min<size_t>(10, text.size() - at - 13));
        rest = rest.substr(0, rest.find('\n'));
        ReadNumber(rest, old);
    }
    StartAgain(std::max(old, floor), now);
    Log("ImapFolderState::Load - The saved state of folder " + folderUrl +
        (account.empty() ? vx::Str() : " of " + account) + " was damaged (" + damage +
        ") - the folder starts again with UIDVALIDITY " + std::to_string(uidValidity) +
        ", so mail clients load it anew - " + path);
}

void ImapFolderState::StartAgain(uint32_t above, int64_t now) {
    messages.clear();
    uidOfHref.clear();
    keywords.clear();
    expected.clear();
    // Time-based, as most servers do: a folder started again later always
    // gets a larger value.
    uint32_t stamp = static_cast<uint32_t>(std::clamp<int64_t>(now, 1, UINT32_MAX));
    uidValidity = std::max(stamp, above == UINT32_MAX ? above : above + 1);
    uidNext = 1;
    recentFrom = 1;
    dirty = true;
}

const char* ImapFolderState::Parse(const vx::Str& text) {
    if (text.empty()) return "an empty file";
    std::string_view rest(text);
    auto nextLine = [&rest](std::string_view& line) {
        size_t end = rest.find('\n');
        if (end == std::string_view::npos) return false;
        line = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        return true;
    };
    std::string_view line;
    if (!nextLine(line) || (line != kMagic && line != kMagic1)) return "not a folder state";
    const bool withArrival = line == kMagic;
    if (!nextLine(line) || NextField(line) != "url") return "no folder URL";
    if (line != folderUrl) return "the state of another folder";
    if (!nextLine(line) || NextField(line) != "uidvalidity" || !ReadNumber(line, uidValidity) ||
        uidValidity == 0)
        return "a bad UIDVALIDITY";
    if (!nextLine(line) || NextField(line) != "uidnext" || !ReadNumber(line, uidNext) ||
        uidNext == 0)
        return "a bad UIDNEXT";
    if (!nextLine(line) || NextField(line) != "recent" || !ReadNumber(line, recentFrom) ||
        recentFrom > uidNext)
        return "a bad first recent UID";
    for (;;) {
        if (!nextLine(line)) return "cut short";
        std::string_view kind = NextField(line);
        const char* damage = nullptr;
        if (kind == "end") return rest.empty() ? nullptr : "more after its end";
        if (kind == "k") {
            if (!ValidKeyword(line) || keywords.size() >= kMaxKeywords) return "a bad keyword";
            keywords.emplace_back(line);
        } else if (kind == "m") {
            damage = ParseMessage(line, withArrival);
        } else if (kind == "p" && withArrival) {
            damage = ParseExpected(line);
        } else {
            damage = "a line of an unknown kind";
        }
        if (damage != nullptr) return damage;
    }
}

const char* ImapFolderState::ParseMessage(std::string_view line, bool withArrival) {
    uint32_t uid = 0;
    Entry entry;
    unsigned flags = 0;
    if (!ReadNumber(NextField(line), uid) || uid == 0 || !ReadNumber(NextField(line), flags, 16) ||
        flags > 0x1f || !ReadNumber(NextField(line), entry.keywords, 16) ||
        !ReadNumber(NextField(line), entry.firstSeen) ||
        (withArrival && !ReadNumber(NextField(line), entry.arrived)))
        return "a bad message line";
    if (uid >= uidNext) return "a UID at or above UIDNEXT";
    if (!messages.empty() && messages.rbegin()->first >= uid) return "UIDs repeated or out of order";
    entry.flags = static_cast<uint8_t>(flags);
    entry.href = vx::Str(NextField(line, true));
    if (entry.href.empty()) return "a message without its URL";
    if (messages.size() >= kMaxFolderMessages) return "too many messages";
    if (!uidOfHref.emplace(entry.href, uid).second) return "a URL listed twice";
    messages.emplace_hint(messages.end(), uid, std::move(entry));
    return nullptr;
}

const char* ImapFolderState::ParseExpected(std::string_view line) {
    Expected entry;
    unsigned flags = 0;
    if (!ReadNumber(NextField(line), flags, 16) || flags > 0x1f ||
        !ReadNumber(NextField(line), entry.keywords, 16) ||
        !ReadNumber(NextField(line), entry.arrived))
        return "a bad expected message";
    entry.flags = static_cast<uint8_t>(flags);
    entry.name = vx::Str(NextField(line, true));
    if (entry.name.empty() || expected.size() >= kMaxExpected) return "a bad expected message";
    entry.loaded = true;
    expected.push_back(std::move(entry));
    return nullptr;
}

vx::Str ImapFolderState::Serialize() const {
    vx::Str out;
    out.reserve(128 + messages.size() * 96);
    out += kMagic;
    out += "\nurl " + folderUrl + "\nuidvalidity " + std::to_string(uidValidity) + "\nuidnext " +
           std::to_string(uidNext) + "\nrecent " + std::to_string(recentFrom) + "\n";
    for (const vx::Str& keyword : keywords) out += "k " + keyword + "\n";
    char number[32];
    auto hex = [&](uint64_t value) {
        auto result = std::to_chars(number, number + sizeof number, value, 16);
        out += ' ';
        out.append(number, result.ptr);
    };
    for (const auto& [uid, entry] : messages) {
        out += "m ";
        out += std::to_string(uid);
        hex(entry.flags);
        hex(entry.keywords);
        out += ' ';
        out += std::to_string(entry.firstSeen);
        out += ' ';
        out += std::to_string(entry.arrived);
        out += ' ';
        out += entry.href;
        out += '\n';
    }
    for (const Expected& entry : expected) {
        out += "p";
        hex(entry.flags);
        hex(entry.keywords);
        out += ' ';
        out += std::to_string(entry.arrived);
        out += ' ';
        out += entry.name;
        out += '\n';
    }
    out += "end\n";
    return out;
}

void ImapFolderState::Save() {
    // One save at a time, each writing what was current when it began: a
    // slower save can never put an older state over a newer one.
    std::lock_guard<std::mutex> saving(saveLock);
    vx::Str text, file;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!dirty || dropped) return;
        text = Serialize();
        file = path;
        dirty = false;
    }
    if (!ImapStateFile::WriteAtomically(file, text)) {
        std::lock_guard<std::mutex> guard(lock);
        dirty = true;
        throw vx::Exception("ImapFolderState::Save - Error writing the folder state - " + file);
    }
}

void ImapFolderState::MoveTo(vx::Str newPath, vx::Str newUrl) {
    std::lock_guard<std::mutex> saving(saveLock);
    vx::Str text, oldPath;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (dropped) return;
        for (auto& [uid, entry] : messages) {
            if (entry.href.compare(0, folderUrl.size(), folderUrl) != 0) continue;
            vx::Str moved = newUrl + entry.href.substr(folderUrl.size());
            uidOfHref.erase(entry.href);
            uidOfHref[moved] = uid;
            entry.href = std::move(moved);
        }
        oldPath = std::move(path);
        path = std::move(newPath);
        folderUrl = std::move(newUrl);
        text = Serialize();
        dirty = false;
    }
    if (!ImapStateFile::WriteAtomically(path, text)) {
        std::lock_guard<std::mutex> guard(lock);
        dirty = true;
        throw vx::Exception("ImapFolderState::MoveTo - Error writing the folder state - " + path);
    }
    if (oldPath != path) std::remove(oldPath.c_str());
}

void ImapFolderState::Drop() {
    std::lock_guard<std::mutex> saving(saveLock);
    vx::Str file;
    {
        std::lock_guard<std::mutex> guard(lock);
        dropped = true;
        file = path;
    }
    std::remove(file.c_str());
}

uint32_t ImapFolderState::UidValidity() const {
    std::lock_guard<std::mutex> guard(lock);
    return uidValidity;
}

uint32_t ImapFolderState::UidNext() const {
    std::lock_guard<std::mutex> guard(lock);
    return uidNext;
}

uint64_t ImapFolderState::Generation() {
    std::lock_guard<std::mutex> guard(lock);
    // Two listings asked for at one generation could not be told apart: the
    // one asked for before a message arrived would forget what the other
    // added for it.
    return generation++;
}

uint32_t ImapFolderState::AddLocked(const vx::Str& href, int64_t now) {
    auto known = uidOfHref.find(href);
    if (known != uidOfHref.end()) return known->second;
    // UIDs run out after 2^32 - 1 messages: the folder starts again.
    if (uidNext == UINT32_MAX) StartAgain(uidValidity, now);
    uint32_t uid = uidNext++;
    Entry entry;
    entry.href = href;
    entry.firstSeen = now;
    entry.added = generation;
    Expected moved;
    if (TakeExpected(href, moved)) {
        entry.flags = moved.flags;
        entry.keywords = moved.keywords;
        entry.arrived = moved.arrived;
    }
    messages.emplace_hint(messages.end(), uid, std::move(entry));
    uidOfHref.emplace(href, uid);
    dirty = true;
    return uid;
}

std::vector<ImapFolderMessage> ImapFolderState::Sync(const std::vector<vx::Str>& hrefs,
                                                     uint64_t listedAt, int64_t now) {
    std::lock_guard<std::mutex> guard(lock);
    if (hrefs.size() > kMaxFolderMessages)
        throw vx::Exception("ImapFolderState::Sync - The folder holds too many messages - " +
                            std::to_string(hrefs.size()));
    // The UID and place of each listed message, in UID order, walked beside
    // the messages (also in UID order): no second table of the URLs.
    std::vector<std::pair<uint32_t, size_t>> listed;
    listed.reserve(hrefs.size());
    for (size_t i = 0; i < hrefs.size(); ++i) {
        // A URL with a line break cannot be stored; the service never sends one.
        if (hrefs[i].empty() || HasLineBreak(hrefs[i])) continue;
        listed.emplace_back(AddLocked(hrefs[i], now), i);
    }
    std::sort(listed.begin(), listed.end());
    std::vector<ImapFolderMessage> out;
    out.reserve(listed.size());
    auto next = listed.begin();
    for (auto it = messages.begin(); it != messages.end();) {
        while (next != listed.end() && next->first < it->first) ++next;
        const Entry& entry = it->second;
        if (next != listed.end() && next->first == it->first) {
            out.push_back({it->first, next->second, entry.flags, entry.keywords, entry.firstSeen,
                           entry.arrived});
            ++it;
        } else if (entry.added <= listedAt) {
            uidOfHref.erase(entry.href);
            it = messages.erase(it);
            dirty = true;
        } else {
            ++it;
        }
    }
    // A move the last run announced but did not finish shows in this
    // listing or never will.
    size_t kept = expected.size();
    expected.erase(std::remove_if(expected.begin(), expected.end(),
                                  [](const Expected& entry) { return entry.loaded; }),
                   expected.end());
    if (expected.size() != kept) dirty = true;
    ++generation;
    return out;
}

uint32_t ImapFolderState::Add(const vx::Str& href, uint8_t flags, const std::vector<vx::Str>& names,
                              int64_t now, int64_t arrived) {
    std::lock_guard<std::mutex> guard(lock);
    if (href.empty() || HasLineBreak(href)) return 0;
    ++generation;
    uint32_t uid = AddLocked(href, now);
    Entry& entry = messages[uid];
    entry.flags = flags;
    entry.keywords = 0;
    for (const vx::Str& name : names) entry.keywords |= KeywordBitLocked(name, true);
    entry.arrived = arrived;
    Expected taken;
    TakeExpected(href, taken);
    dirty = true;
    return uid;
}

void ImapFolderState::Expect(const vx::Str& href, uint8_t flags, const std::vector<vx::Str>& names,
                             int64_t arrived) {
    std::lock_guard<std::mutex> guard(lock);
    const vx::Str name = LastSegment(href);
    if (name.empty() || HasLineBreak(name) || expected.size() >= kMaxExpected) return;
    Expected entry;
    entry.name = name;
    entry.flags = flags;
    for (const vx::Str& keyword : names) entry.keywords |= KeywordBitLocked(keyword, true);
    entry.arrived = arrived;
    expected.push_back(std::move(entry));
    dirty = true;
}

void ImapFolderState::ForgetExpected(const vx::Str& href) {
    std::lock_guard<std::mutex> guard(lock);
    const vx::Str name = LastSegment(href);
    auto found = std::find_if(expected.begin(), expected.end(),
                              [&](const Expected& entry) { return entry.name == name; });
    if (found == expected.end()) return;
    expected.erase(found);
    dirty = true;
}

bool ImapFolderState::TakeExpected(const vx::Str& href, Expected& taken) {
    if (expected.empty()) return false;
    const vx::Str name = LastSegment(href);
    auto found = std::find_if(expected.begin(), expected.end(),
                              [&](const Expected& entry) { return entry.name == name; });
    if (found == expected.end()) return false;
    taken = *found;
    expected.erase(found);
    return true;
}

int64_t ImapFolderState::Arrived(uint32_t uid) const {
    std::lock_guard<std::mutex> guard(lock);
    auto found = messages.find(uid);
    return found == messages.end() ? 0 : found->second.arrived;
}

int64_t ImapFolderState::SetArrived(uint32_t uid, int64_t arrived) {
    std::lock_guard<std::mutex> guard(lock);
    auto found = messages.find(uid);
    if (found == messages.end()) return 0;
    if (found->second.arrived == 0 && arrived != 0) {
        found->second.arrived = arrived;
        dirty = true;
    }
    return found->second.arrived;
}

void ImapFolderState::Remove(uint32_t uid) {
    std::lock_guard<std::mutex> guard(lock);
    auto found = messages.find(uid);
    if (found == messages.end()) return;
    uidOfHref.erase(found->second.href);
    messages.erase(found);
    dirty = true;
}

bool ImapFolderState::Flags(uint32_t uid, uint8_t& flags, uint64_t& mask) const {
    std::lock_guard<std::mutex> guard(lock);
    auto found = messages.find(uid);
    if (found == messages.end()) return false;
    flags = found->second.flags;
    mask = found->second.keywords;
    return true;
}

bool ImapFolderState::SetFlags(uint32_t uid, uint8_t flags, uint64_t mask) {
    std::lock_guard<std::mutex> guard(lock);
    auto found = messages.find(uid);
    if (found == messages.end()) return false;
    if (found->second.flags != flags || found->second.keywords != mask) {
        found->second.flags = flags;
        found->second.keywords = mask;
        dirty = true;
    }
    return true;
}

std::vector<vx::Str> ImapFolderState::KeywordNames(uint64_t mask) const {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<vx::Str> names;
    for (size_t i = 0; i < keywords.size(); ++i)
        if (mask & (uint64_t{1} << i)) names.push_back(keywords[i]);
    return names;
}

std::vector<vx::Str> ImapFolderState::Keywords() const {
    std::lock_guard<std::mutex> guard(lock);
    return keywords;
}

uint64_t ImapFolderState::KeywordBit(const vx::Str& keyword, bool create) {
    std::lock_guard<std::mutex> guard(lock);
    return KeywordBitLocked(keyword, create);
}

uint64_t ImapFolderState::KeywordBitLocked(const vx::Str& keyword, bool create) {
    for (size_t i = 0; i < keywords.size(); ++i)
        if (vx::Ascii::EqualNoCase(keywords[i], keyword)) return uint64_t{1} << i;
    if (!create || keywords.size() >= kMaxKeywords || !ValidKeyword(keyword)) return 0;
    keywords.push_back(keyword);
    dirty = true;
    return uint64_t{1} << (keywords.size() - 1);
}

uint64_t ImapFolderState::ReadStamp() const {
    std::lock_guard<std::mutex> guard(lock);
    return readStamp;
}

void ImapFolderState::NoteReadState(uint32_t uid, bool read) {
    std::lock_guard<std::mutex> guard(lock);
    auto found = messages.find(uid);
    if (found == messages.end()) return;
    found->second.readStamp = ++readStamp;
    found->second.read = read;
}

bool ImapFolderState::ReadStateSince(uint32_t uid, uint64_t stamp, bool& read) const {
    std::lock_guard<std::mutex> guard(lock);
    auto found = messages.find(uid);
    if (found == messages.end() || found->second.readStamp <= stamp) return false;
    read = found->second.read;
    return true;
}

uint32_t ImapFolderState::RecentFrom(bool take) {
    std::lock_guard<std::mutex> guard(lock);
    uint32_t from = recentFrom;
    if (take && recentFrom != uidNext) {
        recentFrom = uidNext;
        dirty = true;
    }
    return from;
}
