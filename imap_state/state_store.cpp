#include "imap_state/state_store.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "core/dir_util.h"
#include "core/exception.h"
#include "core/file_util.h"
#include "imap_state/state_file.h"
#include "text/ascii.h"

namespace {

const char kSubscriptionsFile[] = "subscriptions";

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

std::shared_ptr<ImapFolderState> ImapStateStore::Folder(const vx::Str& account,
                                                        const vx::Str& folderUrl) {
    vx::Str path = MakeAccountFolder(account) + Hex(Fnv1a(folderUrl), 16) + ".state";
    std::lock_guard<std::mutex> guard(lock);
    if (auto existing = folders[path].lock()) return existing;
    auto state = std::make_shared<ImapFolderState>(path, folderUrl, std::time(nullptr), account);
    folders[path] = state;
    // Entries of folders no session uses any more go, so the map stays small.
    for (auto it = folders.begin(); it != folders.end();)
        it = it->second.expired() ? folders.erase(it) : std::next(it);
    return state;
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
    vx::Str text;
    for (const vx::Str& each : names) text += each + "\n";
    vx::Str path = MakeAccountFolder(account) + kSubscriptionsFile;
    if (!ImapStateFile::WriteAtomically(path, text))
        throw vx::Exception("ImapStateStore::SetSubscribed - Error writing the subscriptions - " +
                            path);
}
