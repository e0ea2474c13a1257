#include "imap_state/state_store.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "core/dir_util.h"
#include "core/exception.h"
#include "core/file_util.h"
#include "imap_state/state_file.h"
#include "text/ascii.h"

namespace {

const char kSubscriptionsFile[] = "subscriptions";
const char kUidValidityFile[] = "uidvalidity";

uint64_t Fnv1a(const vx::Str& text) {
    uint64_t hash = 14695981039346656037ull;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

vx::Str Hex(uint64_t value, int digits) {
    char text[17];
    std::snprintf(text, sizeof text, "%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

vx::Str Lower(vx::Str text) {
    for (char& c : text) c = vx::Ascii::ToLower(c);
    return text;
}

// A readable folder name for an account that is safe on every file system;
// the hash keeps two names that differ only in the replaced characters apart.
vx::Str AccountKey(const vx::Str& account) {
    vx::Str lower = Lower(account);
    vx::Str key;
    for (char c : lower.substr(0, 64)) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
                     c == '_' || c == '@';
        key += plain ? c : '_';
    }
    return key + "-" + Hex(Fnv1a(lower), 8).substr(0, 8);
}

}  // namespace

ImapStateStore::ImapStateStore(vx::Str root) : root(std::move(root)) {}

vx::Str ImapStateStore::Root() const {
    return root.empty() ? vxw::DirUtil::GetStateFolder() : root;
}

vx::Str ImapStateStore::AccountFolder(const vx::Str& account) const {
    return Root() + "imap" + vxw::DirUtil::kSeparator + AccountKey(account) +
           vxw::DirUtil::kSeparator;
}

vx::Str ImapStateStore::MakeAccountFolder(const vx::Str& account) const {
    vx::Str folder = AccountFolder(account);
    if (!vxw::DirUtil::FolderExists(folder)) vxw::DirUtil::CreatePath(folder);
    return folder;
}

vx::Str ImapStateStore::StatePath(const vx::Str& account, const vx::Str& folderUrl) const {
    return MakeAccountFolder(account) + Hex(Fnv1a(folderUrl), 16) + ".state";
}

uint32_t ImapStateStore::LastUidValidity(const vx::Str& account) const {
    vx::Str text;
    if (!LoadFile(AccountFolder(account) + kUidValidityFile, text)) return 0;
    unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
    return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

void ImapStateStore::KeepUidValidity(const vx::Str& account, uint32_t value) const {
    vx::Str path = MakeAccountFolder(account) + kUidValidityFile;
    if (!ImapStateFile::WriteAtomically(path, std::to_string(value) + "\n"))
        throw vx::Exception("ImapStateStore::Folder - Error writing the last UIDVALIDITY - " +
                            path);
}

std::shared_ptr<ImapFolderState> ImapStateStore::FolderLocked(const vx::Str& account,
                                                              const vx::Str& folderUrl) {
    vx::Str path = StatePath(account, folderUrl);
    if (auto existing = folders[path].lock()) return existing;
    const uint32_t last = LastUidValidity(account);
    auto state =
        std::make_shared<ImapFolderState>(path, folderUrl, std::time(nullptr), account, last);
    if (state->UidValidity() > last) KeepUidValidity(account, state->UidValidity());
    folders[path] = state;
    // Entries of folders no session uses any more go, so the map stays small.
    for (auto it = folders.begin(); it != folders.end();)
        it = it->second.expired() ? folders.erase(it) : std::next(it);
    return state;
}

std::shared_ptr<ImapFolderState> ImapStateStore::Folder(const vx::Str& account,
                                                        const vx::Str& folderUrl) {
    std::lock_guard<std::mutex> guard(lock);
    return FolderLocked(account, folderUrl);
}

void ImapStateStore::MoveFolder(const vx::Str& account, const vx::Str& oldUrl,
                                const vx::Str& newUrl) {
    std::lock_guard<std::mutex> guard(lock);
    const vx::Str oldPath = StatePath(account, oldUrl), newPath = StatePath(account, newUrl);
    if (oldPath == newPath) return;
    // Whatever state the new URL had (a folder deleted behind the gateway's
    // back) is replaced by the moved folder's.
    if (auto stale = folders[newPath].lock()) stale->Drop();
    std::shared_ptr<ImapFolderState> state = FolderLocked(account, oldUrl);
    state->MoveTo(newPath, newUrl);
    folders.erase(oldPath);
    folders[newPath] = state;
}

void ImapStateStore::ForgetFolder(const vx::Str& account, const vx::Str& folderUrl) {
    std::lock_guard<std::mutex> guard(lock);
    const vx::Str path = StatePath(account, folderUrl);
    if (auto state = folders[path].lock())
        state->Drop();
    else
        std::remove(path.c_str());
    folders.erase(path);
}

std::vector<vx::Str> ImapStateStore::LoadSubscriptions(const vx::Str& account) const {
    std::vector<vx::Str> names;
    vx::Str text;
    if (!LoadFile(AccountFolder(account) + kSubscriptionsFile, text)) return names;
    size_t start = 0;
    while (start < text.size() && names.size() < kMaxSubscriptions) {
        size_t end = text.find('\n', start);
        if (end == vx::Str::npos) break;  // a last line without its end was cut
        vx::Str name = text.substr(start, end - start);
        if (!name.empty() && name.size() <= kMaxMailboxName &&
            std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
        start = end + 1;
    }
    return names;
}

std::vector<vx::Str> ImapStateStore::Subscriptions(const vx::Str& account) {
    std::lock_guard<std::mutex> guard(lock);
    return LoadSubscriptions(account);
}

void ImapStateStore::SetSubscribed(const vx::Str& account, const vx::Str& name, bool subscribed) {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<vx::Str> names = LoadSubscriptions(account);
    auto found = std::find(names.begin(), names.end(), name);
    if ((found != names.end()) == subscribed) return;
    if (subscribed) {
        if (names.size() >= kMaxSubscriptions || name.size() > kMaxMailboxName ||
            name.find_first_of("\r\n") != vx::Str::npos)
            throw vx::Exception("ImapStateStore::SetSubscribed - Too many or too long names");
        names.push_back(name);
    } else {
        names.erase(found);
    }
    SaveSubscriptions(account, names);
}

void ImapStateStore::SaveSubscriptions(const vx::Str& account,
                                       const std::vector<vx::Str>& names) const {
    vx::Str text;
    for (const vx::Str& each : names) text += each + "\n";
    vx::Str path = MakeAccountFolder(account) + kSubscriptionsFile;
    if (!ImapStateFile::WriteAtomically(path, text))
        throw vx::Exception("ImapStateStore::SetSubscribed - Error writing the subscriptions - " +
                            path);
}

void ImapStateStore::RenameSubscriptions(const vx::Str& account, const vx::Str& oldName,
                                         const vx::Str& newName) {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<vx::Str> names = LoadSubscriptions(account), renamed;
    bool changed = false;
    for (const vx::Str& name : names) {
        vx::Str now = name;
        if (name == oldName)
            now = newName;
        else if (name.size() > oldName.size() && name.compare(0, oldName.size(), oldName) == 0 &&
                 name[oldName.size()] == '/')
            now = newName + name.substr(oldName.size());
        changed |= now != name;
        if (now.size() <= kMaxMailboxName &&
            std::find(renamed.begin(), renamed.end(), now) == renamed.end())
            renamed.push_back(now);
    }
    if (changed) SaveSubscriptions(account, renamed);
}
