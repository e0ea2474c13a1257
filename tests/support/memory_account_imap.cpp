// The IMAP operations of the in-memory web mail service.
#include <algorithm>

#include "core/exception.h"
#include "tests/support/memory_account.h"
#include "text/ascii.h"

namespace testing_support {
namespace {

const std::string kBase = "http://mail.example/";

// The value of a header field of a message text (unfolded), or "".
std::string HeaderField(const std::string& text, const std::string& name) {
    size_t end = text.find("\r\n\r\n");
    std::string header = "\r\n" + text.substr(0, end);
    std::string wanted = "\r\n" + name + ":";
    for (size_t at = 0; (at = header.find("\r\n", at)) != std::string::npos; at += 2) {
        if (!vx::Ascii::EqualNoCase(header.substr(at, wanted.size()), wanted)) continue;
        size_t start = at + wanted.size();
        std::string value;
        for (size_t line = start;;) {
            size_t next = header.find("\r\n", line);
            value += header.substr(line, next - line);
            if (next == std::string::npos || next + 2 >= header.size() ||
                (header[next + 2] != ' ' && header[next + 2] != '\t'))
                break;
            line = next + 2;
        }
        size_t first = value.find_first_not_of(" \t");
        return first == std::string::npos ? "" : value.substr(first);
    }
    return "";
}

}  // namespace

void MemoryService::AddFolder(const std::string& user, const Folder& folder) {
    std::lock_guard<std::mutex> guard(lock);
    folders[user].push_back(folder);
}

std::string MemoryService::FolderUrl(const std::string& user, const std::string& key) {
    return kBase + user + "/" + key + "/";
}

void MemoryService::KeepReadState(bool keep) {
    std::lock_guard<std::mutex> guard(lock);
    keepReadState = keep;
}

void MemoryService::MarkReadOnDownload(bool mark) {
    std::lock_guard<std::mutex> guard(lock);
    markReadOnDownload = mark;
}

void MemoryService::ListHeaders(bool list) {
    std::lock_guard<std::mutex> guard(lock);
    listHeaders = list;
}

void MemoryService::OfferCopyAndDelete(bool offer) {
    std::lock_guard<std::mutex> guard(lock);
    copyAndDelete = offer;
}

int MemoryService::Count(Operation operation) const {
    std::lock_guard<std::mutex> guard(lock);
    auto found = counts.find(operation);
    return found == counts.end() ? 0 : found->second;
}

std::shared_ptr<const MemoryService::StoredMessage>& MemoryAccount::Find(const vx::Str& url,
                                                                         const char* place) {
    auto& box = service.mailboxes[user];
    auto found = std::find_if(box.begin(), box.end(), [&](const auto& m) { return m->href == url; });
    if (found == box.end())
        throw ServiceRefusal(std::string(place) + " - No such message - " + url, 404);
    return *found;
}

namespace {

// Messages are shared with downloads under way: a change makes a new one.
template <class Change>
void Replace(std::shared_ptr<const MemoryService::StoredMessage>& slot, Change change) {
    auto changed = std::make_shared<MemoryService::StoredMessage>(*slot);
    change(*changed);
    slot = changed;
}

}  // namespace

std::string MemoryAccount::FolderKey(const vx::Str& folderUrl, const char* place) const {
    std::string prefix = kBase + user + "/";
    if (folderUrl.rfind(prefix, 0) != 0 || folderUrl.size() <= prefix.size() + 1 ||
        folderUrl.back() != '/')
        throw ServiceRefusal(std::string(place) + " - No such folder - " + folderUrl, 409);
    return folderUrl.substr(prefix.size(), folderUrl.size() - prefix.size() - 1);
}

void MemoryAccount::ListFolders(std::vector<WebmailFolder>& out) {
    service.MaybeFail(MemoryService::Operation::ListFolders);
    std::lock_guard<std::mutex> guard(service.lock);
    out.clear();
    std::vector<std::string> keys;
    for (const auto& folder : service.folders[user]) {
        out.push_back(
            {MemoryService::FolderUrl(user, folder.key), folder.special, folder.displayName});
        keys.push_back(folder.key);
    }
    auto add = [&](const std::string& key) {
        if (std::find(keys.begin(), keys.end(), key) != keys.end()) return;
        keys.push_back(key);
        out.push_back({MemoryService::FolderUrl(user, key), key == "inbox" ? "inbox" : "", key});
    };
    add("inbox");
    for (const auto& message : service.mailboxes[user]) add(message->folder);
}

void MemoryAccount::ListFolder(const vx::Str& folderUrl, std::vector<ListedMessage>& out) {
    service.MaybeFail(MemoryService::Operation::ListFolder);
    std::lock_guard<std::mutex> guard(service.lock);
    std::string key = FolderKey(folderUrl, "MemoryAccount::ListFolder");
    out.clear();
    for (const auto& stored : service.mailboxes[user]) {
        const MemoryService::StoredMessage& message = *stored;
        if (message.folder != key) continue;
        ListedMessage listed;
        listed.href = message.href;
        listed.size = message.reportedSize;
        listed.read = message.read;
        listed.received = message.received;
        if (service.listHeaders) {
            listed.hasHeaders = true;
            listed.subject = HeaderField(message.text, "Subject");
            listed.from = HeaderField(message.text, "From");
            listed.to = HeaderField(message.text, "To");
            listed.date = HeaderField(message.text, "Date");
        }
        out.push_back(listed);
    }
}

void MemoryAccount::SetReadState(const vx::Str& url, bool read) {
    service.MaybeFail(MemoryService::Operation::SetReadState);
    std::lock_guard<std::mutex> guard(service.lock);
    Replace(Find(url, "MemoryAccount::SetReadState"),
            [&](MemoryService::StoredMessage& m) { m.read = read ? 1 : 0; });
}

vx::Str MemoryAccount::MoveMessage(const vx::Str& url, const vx::Str& folderUrl) {
    service.MaybeFail(MemoryService::Operation::MoveMessage);
    std::lock_guard<std::mutex> guard(service.lock);
    std::string key = FolderKey(folderUrl, "MemoryAccount::MoveMessage");
    std::string moved = folderUrl + "msg" + std::to_string(service.nextId++) + ".eml";
    Replace(Find(url, "MemoryAccount::MoveMessage"), [&](MemoryService::StoredMessage& m) {
        m.folder = key;
        m.href = moved;
        m.received.clear();
    });
    return moved;
}

vx::Str MemoryAccount::CopyMessage(const vx::Str& url, const vx::Str& folderUrl) {
    service.MaybeFail(MemoryService::Operation::CopyMessage);
    std::lock_guard<std::mutex> guard(service.lock);
    if (!service.copyAndDelete)
        throw ServiceRefusal("MemoryAccount::CopyMessage - The service refused - 405", 405);
    std::string key = FolderKey(folderUrl, "MemoryAccount::CopyMessage");
    MemoryService::StoredMessage copy = *Find(url, "MemoryAccount::CopyMessage");
    copy.folder = key;
    copy.href = folderUrl + "msg" + std::to_string(service.nextId++) + ".eml";
    copy.received.clear();
    service.mailboxes[user].push_back(std::make_shared<const MemoryService::StoredMessage>(copy));
    return copy.href;
}

void MemoryAccount::DeleteMessage(const vx::Str& url) {
    service.MaybeFail(MemoryService::Operation::DeleteMessage);
    std::lock_guard<std::mutex> guard(service.lock);
    if (!service.copyAndDelete)
        throw ServiceRefusal("MemoryAccount::DeleteMessage - The service refused - 405", 405);
    auto& box = service.mailboxes[user];
    Find(url, "MemoryAccount::DeleteMessage");
    box.erase(std::remove_if(box.begin(), box.end(), [&](const auto& m) { return m->href == url; }),
              box.end());
}

}  // namespace testing_support
