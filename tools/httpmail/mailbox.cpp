#include "tools/httpmail/mailbox.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/httpmail/file_time.h"
#include "tools/httpmail/message_files.h"
#include "tools/httpmail/request_target.h"

namespace httpmail {

const SpecialFolder kSpecialFolders[5] = {
    {"inbox", "inbox", "Inbox"},
    {"junk", "bulkmail", "Junk Mail"},
    {"sent", "sentitems", "Sent Items"},
    {"deleted", "deleteditems", "Deleted Items"},
    {"promo", "msnpromo", "MSN Promotions"},
};
const char kUserFoldersSegment[] = "folders";

namespace {
template <typename AccountT>
auto FindFolder(AccountT& account, const std::vector<std::string>& segments)
    -> decltype(&account.folders[0]) {
    for (auto& folder : account.folders)
        if (folder.segments == segments) return &folder;
    return nullptr;
}

std::string EncodedPath(const Folder& folder) {
    std::string path;
    for (const std::string& segment : folder.segments) path += EncodePathSegment(segment) + "/";
    return path;
}

}  // namespace

Account MakeAccount(const std::string& name, const std::string& password, unsigned schemes) {
    Account account{name, password, schemes, {}, {}};
    for (const SpecialFolder& special : kSpecialFolders)
        account.folders.push_back(
            Folder{{special.segment}, special.displayName, special.special, {}, {}});
    return account;
}

Folder& AddUserFolder(Account& account, const std::string& displayName) {
    account.folders.push_back(Folder{{kUserFoldersSegment, displayName}, displayName, "", {}, {}});
    return account.folders.back();
}

void Mailbox::AddAccount(Account account) {
    std::lock_guard<std::mutex> guard(lock);
    for (Folder& folder : account.folders)
        for (Message& message : folder.messages)
            if (message.id.empty()) message.id = NewId();
    accounts[account.name] = std::move(account);
}

std::vector<std::string> Mailbox::AccountNames() const {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<std::string> names;
    for (const auto& entry : accounts) names.push_back(entry.first);
    return names;
}

std::optional<std::pair<std::string, unsigned>> Mailbox::Credentials(
    const std::string& name) const {
    std::lock_guard<std::mutex> guard(lock);
    const Account* account = Find(name);
    if (!account) return std::nullopt;
    return std::make_pair(account->password, account->schemes);
}

std::string Mailbox::FolderPath(const std::string& name,
                                const std::vector<std::string>& segments) const {
    std::lock_guard<std::mutex> guard(lock);
    const Account* account = Find(name);
    const Folder* folder = account ? FindFolder(*account, segments) : nullptr;
    return folder ? EncodedPath(*folder) : std::string();
}

std::vector<FolderInfo> Mailbox::Folders(const std::string& name) const {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<FolderInfo> out;
    if (const Account* account = Find(name))
        for (const Folder& folder : account->folders) {
            FolderInfo info{EncodedPath(folder), folder.displayName, folder.special,
                            folder.messages.size(), 0};
            for (const Message& message : folder.messages) info.unread += message.read ? 0 : 1;
            out.push_back(info);
        }
    return out;
}

bool Mailbox::List(const std::string& name, const std::vector<std::string>& segments,
                   std::vector<MessageInfo>& out) const {
    std::lock_guard<std::mutex> guard(lock);
    const Account* account = Find(name);
    const Folder* folder = account ? FindFolder(*account, segments) : nullptr;
    if (!folder) return false;
    out.clear();
    for (const Message& message : folder->messages)
        out.push_back(
            {message.id, message.source->size(), message.read, message.source, message.received});
    return true;
}

std::shared_ptr<const std::string> Mailbox::Get(const std::string& name,
                                                const std::vector<std::string>& segments,
                                                const std::string& id) {
    std::lock_guard<std::mutex> guard(lock);
    Message* message = FindMessage(name, segments, id);
    if (!message) return nullptr;
    message->read = true;
    return message->source;
}

MoveOutcome Mailbox::Move(const std::string& name, const std::vector<std::string>& fromFolder,
                          const std::string& id, const std::vector<std::string>& toFolder,
                          const std::string& newId, bool rename, std::string& finalId) {
    return Transfer(name, fromFolder, id, toFolder, newId, rename, false, finalId);
}

MoveOutcome Mailbox::Copy(const std::string& name, const std::vector<std::string>& fromFolder,
                          const std::string& id, const std::vector<std::string>& toFolder,
                          const std::string& newId, bool rename, std::string& finalId) {
    return Transfer(name, fromFolder, id, toFolder, newId, rename, true, finalId);
}

MoveOutcome Mailbox::Transfer(const std::string& name, const std::vector<std::string>& fromFolder,
                              const std::string& id, const std::vector<std::string>& toFolder,
                              const std::string& newId, bool rename, bool keep,
                              std::string& finalId) {
    std::lock_guard<std::mutex> guard(lock);
    Account* account = Find(name);
    Folder* from = account ? FindFolder(*account, fromFolder) : nullptr;
    Folder* to = account ? FindFolder(*account, toFolder) : nullptr;
    if (!from) return MoveOutcome::NoMessage;
    auto it = from->messages.begin();
    while (it != from->messages.end() && it->id != id) ++it;
    if (it == from->messages.end()) return MoveOutcome::NoMessage;
    if (!to) return MoveOutcome::NoFolder;
    finalId = newId;
    // A copy needs an id of its own, even one "moved" onto its own name.
    if (newId.empty() || ((keep || newId != id) && IdTaken(*account, newId))) {
        if (!rename) return MoveOutcome::Exists;
        finalId = FreshId(*account);
    }
    Message message = keep ? *it : std::move(*it);
    if (!keep) from->messages.erase(it);
    message.id = finalId;
    if (!message.file.empty() && !to->dir.empty())
        message.file = MoveMessageFile(message.file, to->dir, keep);
    else if (keep)
        message.file.clear();
    // A copy arrived when its original did, also when the folder is loaded again.
    if (keep && !message.file.empty()) SetFileModified(message.file, message.received);
    to->messages.push_back(std::move(message));
    return MoveOutcome::Moved;
}

bool Mailbox::Delete(const std::string& name, const std::vector<std::string>& segments,
                     const std::string& id) {
    std::lock_guard<std::mutex> guard(lock);
    Account* account = Find(name);
    Folder* folder = account ? FindFolder(*account, segments) : nullptr;
    if (!folder) return false;
    for (auto it = folder->messages.begin(); it != folder->messages.end(); ++it) {
        if (it->id != id) continue;
        if (!it->file.empty() && !folder->dir.empty()) {
            std::error_code error;
            std::filesystem::remove(it->file, error);
        }
        folder->messages.erase(it);
        return true;
    }
    return false;
}

bool Mailbox::SetRead(const std::string& name, const std::vector<std::string>& segments,
                      const std::string& id, bool read) {
    std::lock_guard<std::mutex> guard(lock);
    Message* message = FindMessage(name, segments, id);
    if (message) message->read = read;
    return message != nullptr;
}

Message* Mailbox::FindMessage(const std::string& name, const std::vector<std::string>& segments,
                              const std::string& id) {
    Account* account = Find(name);
    Folder* folder = account ? FindFolder(*account, segments) : nullptr;
    if (!folder) return nullptr;
    for (Message& message : folder->messages)
        if (message.id == id) return &message;
    return nullptr;
}

PutOutcome Mailbox::Put(const std::string& name, const std::vector<std::string>& segments,
                        const std::string& id, std::string source, int64_t received) {
    std::lock_guard<std::mutex> guard(lock);
    Account* account = Find(name);
    Folder* folder = account ? FindFolder(*account, segments) : nullptr;
    if (!folder) return PutOutcome::NoFolder;
    if (IdTaken(*account, id)) return PutOutcome::Exists;
    Message message{
        id, std::make_shared<const std::string>(std::move(source)), {}, false, received};
    if (!folder->dir.empty()) {
        message.file = WriteMessageFile(folder->dir, id, *message.source, received);
        if (message.file.empty()) return PutOutcome::NotWritten;
    }
    folder->messages.push_back(std::move(message));
    return PutOutcome::Stored;
}

void Mailbox::Append(const std::string& name, const std::string& special, std::string source,
                     int64_t received) {
    std::lock_guard<std::mutex> guard(lock);
    Account* account = Find(name);
    if (!account) return;
    for (Folder& folder : account->folders)
        if (folder.special == special) {
            folder.messages.push_back({FreshId(*account),
                                       std::make_shared<const std::string>(std::move(source)),
                                       {},
                                       false,
                                       received});
            return;
        }
}

std::string Mailbox::Describe(const std::string& name) const {
    std::lock_guard<std::mutex> guard(lock);
    std::string out;
    if (const Account* account = Find(name))
        for (const Folder& folder : account->folders)
            for (const Message& message : folder.messages)
                out += EncodedPath(folder) + message.id + " " +
                       std::to_string(message.source->size()) + "\r\n";
    return out;
}

Account* Mailbox::Find(const std::string& name) {
    const auto it = accounts.find(name);
    return it == accounts.end() ? nullptr : &it->second;
}

const Account* Mailbox::Find(const std::string& name) const {
    const auto it = accounts.find(name);
    return it == accounts.end() ? nullptr : &it->second;
}

std::string Mailbox::NewId() {
    char id[32];
    std::snprintf(id, sizeof id, "msg%06u.eml", nextId++);
    return id;
}

std::string Mailbox::FreshId(const Account& account) {
    std::string id = NewId();
    while (IdTaken(account, id)) id = NewId();
    return id;
}

bool Mailbox::IdTaken(const Account& account, const std::string& id) const {
    for (const Folder& folder : account.folders)
        for (const Message& message : folder.messages)
            if (message.id == id) return true;
    return false;
}

}  // namespace httpmail
