// The in-memory web mail service's PUT of new messages and changes to the
// user's folders, with the answers a WebDAV service gives.
#include <algorithm>
#include <cctype>

#include "core/exception.h"
#include "tests/support/memory_account.h"

namespace testing_support {
namespace {

std::string Encoded(const std::string& name) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '.' || c == '_') {
            out += c;
        } else {
            out += '%';
            out += kDigits[u >> 4];
            out += kDigits[u & 15];
        }
    }
    return out;
}

std::string FolderOfUrl(const std::string& url) {
    return url.substr(0, url.rfind('/') + 1);
}

}  // namespace

void MemoryService::OfferPut(bool offer) {
    std::lock_guard<std::mutex> guard(lock);
    offerPut = offer;
}

void MemoryService::OfferFolderChanges(bool offer) {
    std::lock_guard<std::mutex> guard(lock);
    folderChanges = offer;
}

void MemoryService::CopyToSent(bool copy) {
    std::lock_guard<std::mutex> guard(lock);
    copyToSent = copy;
}

void MemoryAccount::RequireOffered(bool offered, const char* place) const {
    if (!offered) throw ServiceRefusal(std::string(place) + " - The service refused - 405", 405);
}

MemoryService::Folder* MemoryAccount::DeclaredFolder(const std::string& key) {
    auto& folders = service.folders[user];
    auto found = std::find_if(folders.begin(), folders.end(),
                              [&](const MemoryService::Folder& f) { return f.key == key; });
    return found == folders.end() ? nullptr : &*found;
}

bool MemoryAccount::FolderExists(const std::string& key) {
    if (key == "inbox" || DeclaredFolder(key) != nullptr) return true;
    const auto& box = service.mailboxes[user];
    return std::any_of(box.begin(), box.end(), [&](const auto& m) { return m->folder == key; });
}

MemoryService::Folder& MemoryAccount::UserFolder(const vx::Str& folderUrl, const char* place) {
    std::string key = FolderKey(folderUrl, place);
    if (!FolderExists(key))
        throw ServiceRefusal(std::string(place) + " - No such folder - " + folderUrl, 404);
    MemoryService::Folder* folder = DeclaredFolder(key);
    if (folder == nullptr) {
        service.folders[user].push_back({key, key == "inbox" ? "inbox" : "", key});
        folder = &service.folders[user].back();
    }
    if (!folder->special.empty())
        throw ServiceRefusal(std::string(place) + " - A special folder stays - " + folderUrl, 403);
    return *folder;
}

vx::Str MemoryAccount::PutMessage(const vx::Str& url, vxw::BodySource& text) {
    service.MaybeFail(MemoryService::Operation::PutMessage);
    vx::Str joined;
    text.Rewind();
    char buffer[65536];
    while (size_t got = text.Read(buffer, sizeof buffer)) joined.append(buffer, got);
    std::lock_guard<std::mutex> guard(service.lock);
    RequireOffered(service.offerPut, "MemoryAccount::PutMessage");
    std::string key = FolderKey(FolderOfUrl(url), "MemoryAccount::PutMessage");
    if (!FolderExists(key))
        throw ServiceRefusal("MemoryAccount::PutMessage - No such folder - " + url, 409);
    auto& box = service.mailboxes[user];
    if (std::any_of(box.begin(), box.end(), [&](const auto& m) { return m->href == url; }))
        throw ServiceRefusal("MemoryAccount::PutMessage - Taken - " + url, 412);
    MemoryService::StoredMessage stored{
        url, key, joined, static_cast<int32_t>(joined.size()), service.keepReadState ? 0 : -1, ""};
    box.push_back(std::make_shared<const MemoryService::StoredMessage>(std::move(stored)));
    return url;
}

void MemoryAccount::MakeFolder(const vx::Str& name) {
    service.MaybeFail(MemoryService::Operation::MakeFolder);
    std::lock_guard<std::mutex> guard(service.lock);
    RequireOffered(service.folderChanges, "MemoryAccount::MakeFolder");
    std::string key = Encoded(name);
    if (FolderExists(key))
        throw ServiceRefusal("MemoryAccount::MakeFolder - The folder exists - " + name, 405);
    service.folders[user].push_back({key, "", name});
}

void MemoryAccount::RenameFolder(const vx::Str& folderUrl, const vx::Str& newName) {
    service.MaybeFail(MemoryService::Operation::RenameFolder);
    std::lock_guard<std::mutex> guard(service.lock);
    RequireOffered(service.folderChanges, "MemoryAccount::RenameFolder");
    MemoryService::Folder& folder = UserFolder(folderUrl, "MemoryAccount::RenameFolder");
    std::string key = Encoded(newName);
    if (FolderExists(key))
        throw ServiceRefusal("MemoryAccount::RenameFolder - The folder exists - " + newName, 412);
    const std::string oldUrl = MemoryService::FolderUrl(user, folder.key);
    const std::string newUrl = MemoryService::FolderUrl(user, key);
    for (auto& message : service.mailboxes[user]) {
        if (message->folder != folder.key) continue;
        auto moved = std::make_shared<MemoryService::StoredMessage>(*message);
        moved->folder = key;
        moved->href = newUrl + moved->href.substr(oldUrl.size());
        message = moved;
    }
    folder.key = key;
    folder.displayName = newName;
}

void MemoryAccount::DeleteFolder(const vx::Str& folderUrl) {
    service.MaybeFail(MemoryService::Operation::DeleteFolder);
    std::lock_guard<std::mutex> guard(service.lock);
    RequireOffered(service.folderChanges, "MemoryAccount::DeleteFolder");
    const std::string key = UserFolder(folderUrl, "MemoryAccount::DeleteFolder").key;
    auto& folders = service.folders[user];
    folders.erase(std::remove_if(folders.begin(), folders.end(),
                                 [&](const MemoryService::Folder& f) { return f.key == key; }),
                  folders.end());
    auto& box = service.mailboxes[user];
    box.erase(
        std::remove_if(box.begin(), box.end(), [&](const auto& m) { return m->folder == key; }),
        box.end());
}

}  // namespace testing_support
