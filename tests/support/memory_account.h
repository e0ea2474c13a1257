#pragma once
// An in-memory web mail service for session tests: accounts with messages in
// folders, refused logins, failures on demand, a slow download, and a record
// of what the sessions did (trash moves, submitted mail, disconnects).
// Thread-safe: many sessions may use one service at once.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "webmail/account.h"

namespace testing_support {

class MemoryService {
public:
    // GetMessageRest fails a download after its first piece reached the sink.
    enum class Operation {
        Login,
        GetMessageList,
        GetMessage,
        GetMessageRest,
        SendMessageToTrash,
        SendMail,
        ListFolders,
        ListFolder,
        SetReadState,
        MoveMessage,
        CopyMessage,
        DeleteMessage,
        PutMessage,
        MakeFolder,
        RenameFolder,
        DeleteFolder,
    };

    struct StoredMessage {
        std::string href;
        std::string folder;
        std::string text;
        int32_t reportedSize;  // what the listing says; the text's size unless set
        int read = -1;         // the service's read state; -1 where it keeps none
        std::string received;  // when it arrived (ISO 8601) as listings give it, or ""
    };
    struct Folder {
        std::string key;  // the folder of StoredMessage
        std::string special;
        std::string displayName;
    };
    struct SentMail {
        std::string user;
        std::string sender;
        std::vector<std::string> recipients;
        std::string text;
    };

    void AddAccount(const std::string& user, const std::string& password);
    // Appends a message to the user's mailbox; returns its href.
    std::string AddMessage(const std::string& user, const std::string& folder,
                           const std::string& text, int32_t reportedSize = -1,
                           const std::string& href = "");

    // The arrival the listings give for the message at href; a move or
    // copy dates the message anew (it then lists none), as some services do.
    void SetReceived(const std::string& href, const std::string& when);
    // The next `times` calls of the operation throw vx::Exception(text), or
    // with a status the service's refusal (ServiceRefusal) with it; the
    // first `after` calls before them succeed.
    void FailNext(Operation operation, const std::string& text, int times = 1, int status = 0,
                  int after = 0);
    // Every GetMessage waits this long before it answers.
    void SetDownloadDelayMs(int milliseconds);
    // Every GetMessage hands the text to its sink in pieces of this size (0:
    // in one piece).
    void SetPieceSize(size_t bytes);
    // Runs during every SendMail, while the session waits for the answer.
    void SetSendHook(std::function<void()> hook);
    // Runs at the start of every GetMessage, before the service answers: a
    // test may hold the download there until it has seen what it waits for.
    void SetDownloadHook(std::function<void()> hook);

    // What the sessions did.
    std::vector<std::string> Trashed() const;
    std::vector<SentMail> Sent() const;
    int Disconnects() const;
    // Downloads that their sink stopped, and the bytes the sinks were given.
    int StoppedDownloads() const;
    uint64_t DeliveredBytes() const;
    // The user's remaining messages, in list order.
    std::vector<StoredMessage> Mailbox(const std::string& user) const;

    // The IMAP side. Folders of a user beyond those its messages name (a
    // message's folder "inbox" is the special inbox, any other an ordinary
    // folder named after it, unless declared here).
    void AddFolder(const std::string& user, const Folder& folder);
    static std::string FolderUrl(const std::string& user, const std::string& key);
    // New messages get a read state (unread) that the listing shows.
    void KeepReadState(bool keep);
    // A download marks the message read, as the web mail service does.
    void MarkReadOnDownload(bool mark);
    // Listings carry the Subject, From, To and Date fields of each message.
    void ListHeaders(bool list);
    // The service offers COPY and DELETE (otherwise it answers 405).
    void OfferCopyAndDelete(bool offer);
    // The service offers PUT of new messages, and MKCOL, MOVE and DELETE of
    // the user's folders (both on unless switched off; otherwise 405).
    void OfferPut(bool offer);
    void OfferFolderChanges(bool offer);
    // Every submission also lands in the sent folder ("sent"), as some
    // services file a copy of what they send.
    void CopyToSent(bool copy);
    // Requests of an operation so far.
    int Count(Operation operation) const;

    // Makes accounts bound to this service; the service must outlive them.
    AccountFactory Factory();

private:
    friend class MemoryAccount;
    void MaybeFail(Operation operation);
    bool CheckLogin(const std::string& user, const std::string& password);

    mutable std::mutex lock;
    std::map<std::string, std::string> passwords;
    // Shared, so that a download reads a message without copying it.
    std::map<std::string, std::vector<std::shared_ptr<const StoredMessage>>> mailboxes;
    struct Failure {
        std::string text;
        int times;
        int status;
        int after;
    };
    std::map<Operation, Failure> failures;
    std::vector<std::string> trashed;
    std::vector<SentMail> sent;
    int disconnects = 0;
    std::map<std::string, std::vector<Folder>> folders;
    std::map<Operation, int> counts;
    bool keepReadState = false;
    bool listHeaders = false;
    bool markReadOnDownload = false;
    bool copyAndDelete = false;
    bool offerPut = true;
    bool folderChanges = true;
    bool copyToSent = false;
    int downloadDelayMs = 0;
    size_t pieceSize = 0;
    std::function<void()> sendHook;
    std::function<void()> downloadHook;
    int stoppedDownloads = 0;
    uint64_t deliveredBytes = 0;
    int nextId = 1;
};

// One session's web mail client on a MemoryService.
class MemoryAccount : public WebmailAccount {
public:
    explicit MemoryAccount(MemoryService& service) : service(service) {}
    bool Login(const vx::Str& user, const vx::Str& password) override;
    void GetMessageList(MessageList& list) override;
    void GetMessage(const vx::Str& url, MessageSink& sink) override;
    using WebmailAccount::GetMessage;
    void SendMessageToTrash(const vx::Str& url) override;
    void SendMail(const vx::Str& sender, const std::vector<vx::Str>& recipients,
                  vxw::BodySource& text) override;
    void Disconnect() override;
    vx::Str AccountName() const override { return user; }

    void ListFolders(std::vector<WebmailFolder>& folders) override;
    void ListFolder(const vx::Str& folderUrl, std::vector<ListedMessage>& messages) override;
    void SetReadState(const vx::Str& url, bool read) override;
    vx::Str MoveMessage(const vx::Str& url, const vx::Str& folderUrl) override;
    vx::Str CopyMessage(const vx::Str& url, const vx::Str& folderUrl) override;
    void DeleteMessage(const vx::Str& url) override;
    vx::Str PutMessage(const vx::Str& url, vxw::BodySource& text) override;
    void MakeFolder(const vx::Str& name) override;
    void RenameFolder(const vx::Str& folderUrl, const vx::Str& newName) override;
    void DeleteFolder(const vx::Str& folderUrl) override;

private:
    // The message at url, under the service's lock; throws when there is none.
    std::shared_ptr<const MemoryService::StoredMessage>& Find(const vx::Str& url,
                                                             const char* place);
    std::string FolderKey(const vx::Str& folderUrl, const char* place) const;
    // Under the service's lock: the declared folder of that key, or nullptr.
    MemoryService::Folder* DeclaredFolder(const std::string& key);
    // Whether the folder of that key exists: declared, the inbox, or named
    // by a message.
    bool FolderExists(const std::string& key);
    // The user folder at folderUrl, declared if it was only named by its
    // messages; throws the service's refusal for a special or missing one.
    MemoryService::Folder& UserFolder(const vx::Str& folderUrl, const char* place);
    // Throws 405 unless the service offers it.
    void RequireOffered(bool offered, const char* place) const;

    MemoryService& service;
    std::string user;  // empty until a login succeeded
};

}  // namespace testing_support
