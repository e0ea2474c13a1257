#include "tests/support/memory_account.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/exception.h"

namespace testing_support {

void MemoryService::AddAccount(const std::string& user, const std::string& password) {
    std::lock_guard<std::mutex> guard(lock);
    passwords[user] = password;
    mailboxes[user];
}

std::string MemoryService::AddMessage(const std::string& user, const std::string& folder,
                                      const std::string& text, int32_t reportedSize,
                                      const std::string& href) {
    std::lock_guard<std::mutex> guard(lock);
    std::string url = href.empty() ? "http://mail.example/" + user + "/" + folder + "/msg" +
                                         std::to_string(nextId++) + ".eml"
                                   : href;
    int32_t size = reportedSize >= 0 ? reportedSize : static_cast<int32_t>(text.size());
    StoredMessage stored{url, folder, text, size, keepReadState ? 0 : -1, ""};
    mailboxes[user].push_back(std::make_shared<const StoredMessage>(std::move(stored)));
    return url;
}

void MemoryService::FailNext(Operation operation, const std::string& text, int times, int status,
                             int after) {
    std::lock_guard<std::mutex> guard(lock);
    failures[operation] = {text, times, status, after};
}

void MemoryService::SetDownloadDelayMs(int milliseconds) {
    std::lock_guard<std::mutex> guard(lock);
    downloadDelayMs = milliseconds;
}

void MemoryService::SetReceived(const std::string& href, const std::string& when) {
    std::lock_guard<std::mutex> guard(lock);
    for (auto& box : mailboxes) {
        for (auto& message : box.second) {
            if (message->href != href) continue;
            auto dated = std::make_shared<StoredMessage>(*message);
            dated->received = when;
            message = dated;
        }
    }
}

void MemoryService::SetPieceSize(size_t bytes) {
    std::lock_guard<std::mutex> guard(lock);
    pieceSize = bytes;
}

void MemoryService::SetSendHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> guard(lock);
    sendHook = std::move(hook);
}

void MemoryService::SetDownloadHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> guard(lock);
    downloadHook = std::move(hook);
}

int MemoryService::StoppedDownloads() const {
    std::lock_guard<std::mutex> guard(lock);
    return stoppedDownloads;
}

uint64_t MemoryService::DeliveredBytes() const {
    std::lock_guard<std::mutex> guard(lock);
    return deliveredBytes;
}

std::vector<std::string> MemoryService::Trashed() const {
    std::lock_guard<std::mutex> guard(lock);
    return trashed;
}

std::vector<MemoryService::SentMail> MemoryService::Sent() const {
    std::lock_guard<std::mutex> guard(lock);
    return sent;
}

int MemoryService::Disconnects() const {
    std::lock_guard<std::mutex> guard(lock);
    return disconnects;
}

std::vector<MemoryService::StoredMessage> MemoryService::Mailbox(const std::string& user) const {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<StoredMessage> messages;
    auto found = mailboxes.find(user);
    if (found != mailboxes.end()) {
        for (const auto& message : found->second) messages.push_back(*message);
    }
    return messages;
}

AccountFactory MemoryService::Factory() {
    return [this] { return std::make_unique<MemoryAccount>(*this); };
}

void MemoryService::MaybeFail(Operation operation) {
    std::lock_guard<std::mutex> guard(lock);
    ++counts[operation];
    auto found = failures.find(operation);
    if (found == failures.end() || found->second.times <= 0) return;
    if (found->second.after > 0) {
        --found->second.after;
        return;
    }
    --found->second.times;
    if (found->second.status != 0) throw ServiceRefusal(found->second.text, found->second.status);
    throw vx::Exception(found->second.text);
}

bool MemoryService::CheckLogin(const std::string& user, const std::string& password) {
    std::lock_guard<std::mutex> guard(lock);
    auto found = passwords.find(user);
    return found != passwords.end() && found->second == password;
}

bool MemoryAccount::Login(const vx::Str& name, const vx::Str& password) {
    service.MaybeFail(MemoryService::Operation::Login);
    user = service.CheckLogin(name, password) ? name : "";
    return !user.empty();
}

void MemoryAccount::GetMessageList(MessageList& list) {
    service.MaybeFail(MemoryService::Operation::GetMessageList);
    list.clear();
    std::lock_guard<std::mutex> guard(service.lock);
    for (const auto& message : service.mailboxes[user]) {
        list.push_back({message->href, message->reportedSize, false, message->folder});
    }
}

void MemoryAccount::GetMessage(const vx::Str& url, MessageSink& sink) {
    int delay = 0;
    size_t piece = 0;
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> guard(service.lock);
        delay = service.downloadDelayMs;
        piece = service.pieceSize;
        hook = service.downloadHook;
    }
    if (hook) hook();
    if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    service.MaybeFail(MemoryService::Operation::GetMessage);
    std::shared_ptr<const MemoryService::StoredMessage> message;
    {
        std::lock_guard<std::mutex> guard(service.lock);
        auto& box = service.mailboxes[user];
        auto found =
            std::find_if(box.begin(), box.end(), [&](const auto& m) { return m->href == url; });
        if (found == box.end())
            throw ServiceRefusal("MemoryAccount::GetMessage - No such message - " + url, 404);
        if (service.markReadOnDownload && (*found)->read == 0) {
            auto read = std::make_shared<MemoryService::StoredMessage>(**found);
            read->read = 1;
            *found = read;
        }
        message = *found;
    }
    const std::string& text = message->text;
    sink.Begin();
    if (piece == 0) piece = std::max<size_t>(text.size(), 1);
    for (size_t at = 0; at < text.size(); at += piece) {
        size_t size = std::min(piece, text.size() - at);
        bool more = sink.Put(text.data() + at, size);
        {
            std::lock_guard<std::mutex> guard(service.lock);
            service.deliveredBytes += size;
            if (!more) ++service.stoppedDownloads;
        }
        if (!more) return;
        service.MaybeFail(MemoryService::Operation::GetMessageRest);
    }
}

void MemoryAccount::SendMessageToTrash(const vx::Str& url) {
    service.MaybeFail(MemoryService::Operation::SendMessageToTrash);
    std::lock_guard<std::mutex> guard(service.lock);
    auto& box = service.mailboxes[user];
    auto found = std::find_if(box.begin(), box.end(), [&](const auto& m) { return m->href == url; });
    if (found == box.end())
        throw vx::Exception("MemoryAccount::SendMessageToTrash - No such message - " + url);
    box.erase(found);
    service.trashed.push_back(url);
}

void MemoryAccount::SendMail(const vx::Str& sender, const std::vector<vx::Str>& recipients,
                             vxw::BodySource& text) {
    service.MaybeFail(MemoryService::Operation::SendMail);
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> guard(service.lock);
        hook = service.sendHook;
    }
    if (hook) hook();
    vx::Str joined;
    text.Rewind();
    char buffer[65536];
    while (size_t got = text.Read(buffer, sizeof buffer)) joined.append(buffer, got);
    std::lock_guard<std::mutex> guard(service.lock);
    service.sent.push_back({user, sender, recipients, joined});
    if (service.copyToSent) {
        MemoryService::StoredMessage copy{MemoryService::FolderUrl(user, "sent") + "sent" +
                                              std::to_string(service.nextId++) + ".eml",
                                          "sent",
                                          joined,
                                          static_cast<int32_t>(joined.size()),
                                          service.keepReadState ? 1 : -1,
                                          ""};
        service.mailboxes[user].push_back(
            std::make_shared<const MemoryService::StoredMessage>(std::move(copy)));
    }
}

void MemoryAccount::Disconnect() {
    std::lock_guard<std::mutex> guard(service.lock);
    ++service.disconnects;
}

}  // namespace testing_support
