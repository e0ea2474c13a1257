#pragma once
// The accounts of the service and their folders, shared by every connection.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace httpmail {

// Authentication schemes an account accepts, as bits.
enum AuthSchemes : unsigned { kBasic = 1, kDigest = 2, kAnyScheme = kBasic | kDigest };

struct Message {
    std::string id;  // the last segment of its URL, unique within the account
    std::shared_ptr<const std::string> source;  // CR LF lines
    std::string file;  // its file, when moves are written back to the mail folder
    bool read = false;
    int64_t received = 0;  // when it reached the service, seconds since 1970 in UTC
};

struct Folder {
    std::vector<std::string> segments;  // its place below the account's URL, decoded
    std::string displayName;            // UTF-8
    std::string special;  // inbox, bulkmail, sentitems, deleteditems, msnpromo, or empty
    std::string dir;      // its folder on disk, when moves are written back
    std::vector<Message> messages;
};

struct Account {
    std::string name;  // lower case
    std::string password;
    unsigned schemes = kAnyScheme;
    std::vector<Folder> folders;
    std::string dir;  // its folder on disk, when changes are written back
};

struct SpecialFolder {
    const char* segment;  // URL segment and folder name on disk
    const char* special;
    const char* displayName;
};
// Inbox, junk, sent, deleted items, promotions: every account has all five.
extern const SpecialFolder kSpecialFolders[5];
// The folder of user folders, below the account, in URLs and on disk.
extern const char kUserFoldersSegment[];

// An account with its five special folders and no messages.
Account MakeAccount(const std::string& name, const std::string& password, unsigned schemes);
// Adds a user folder (segments "folders", name).
Folder& AddUserFolder(Account& account, const std::string& displayName);
// Whether the segments name a user folder's place (its name is flat).
bool IsUserFolderPlace(const std::vector<std::string>& segments);
// Whether a client may give a folder that name: no control characters, no
// "\", no leading "." and no empty level between "/"s (a "/" is the
// hierarchy of an IMAP client's names: "Work/Plans" is one flat folder).
bool IsUsableFolderName(const std::string& name);
// A user folder's name as its directory's name on disk ("/" as "%2F", "%"
// as "%25"), and back.
std::string FolderDirName(const std::string& name);
std::string FolderNameOfDir(const std::string& dirName);

struct FolderInfo {
    std::string path;  // encoded URL path below the account, ending in "/"
    std::string displayName, special;
    size_t count = 0, unread = 0;
};

struct MessageInfo {
    std::string id;
    size_t size = 0;
    bool read = false;
    std::shared_ptr<const std::string> source;
    int64_t received = 0;
};

enum class MoveOutcome { Moved, NoMessage, NoFolder, Exists };
enum class PutOutcome { Stored, NoFolder, Exists, NotWritten };
enum class FolderOutcome { Done, Missing, Special, Exists, BadName, NotWritten };

class Mailbox {
public:
    // Gives every message without an id one; replaces an account of the same name.
    void AddAccount(Account account);
    std::vector<std::string> AccountNames() const;
    // Null when there is no such account.
    std::optional<std::pair<std::string, unsigned>> Credentials(const std::string& name) const;

    // The encoded URL path of a folder ("inbox/", "folders/Re%C3%A7us/"), or empty.
    std::string FolderPath(const std::string& account,
                           const std::vector<std::string>& segments) const;
    std::vector<FolderInfo> Folders(const std::string& account) const;
    // False when the folder does not exist.
    bool List(const std::string& account, const std::vector<std::string>& folder,
              std::vector<MessageInfo>& out) const;
    // Null when there is no such message; marks it read.
    std::shared_ptr<const std::string> Get(const std::string& account,
                                           const std::vector<std::string>& folder,
                                           const std::string& id);
    // Moves into `toFolder` under `newId`; an empty or taken id gets a fresh one
    // when `rename` allows it. `finalId` receives the id it got.
    MoveOutcome Move(const std::string& account, const std::vector<std::string>& fromFolder,
                     const std::string& id, const std::vector<std::string>& toFolder,
                     const std::string& newId, bool rename, std::string& finalId);
    // The same, but the message also stays where it is.
    MoveOutcome Copy(const std::string& account, const std::vector<std::string>& fromFolder,
                     const std::string& id, const std::vector<std::string>& toFolder,
                     const std::string& newId, bool rename, std::string& finalId);
    // Removes the message for good (and its file, when moves are written
    // back); false when there is no such message.
    bool Delete(const std::string& account, const std::vector<std::string>& folder,
                const std::string& id);
    // False when there is no such message.
    bool SetRead(const std::string& account, const std::vector<std::string>& folder,
                 const std::string& id, bool read);
    // Stores a new unread message under `id`, which no message of the account
    // may have yet; when moves are written back, as a file too.
    PutOutcome Put(const std::string& account, const std::vector<std::string>& folder,
                   const std::string& id, std::string source, int64_t received);
    // User folders: made empty, renamed with their messages, or deleted with
    // them; when changes are written back, their directories too.
    FolderOutcome MakeFolder(const std::string& account, const std::string& name);
    FolderOutcome RenameFolder(const std::string& account, const std::vector<std::string>& folder,
                               const std::string& newName);
    FolderOutcome DeleteFolder(const std::string& account, const std::vector<std::string>& folder);
    // Appends a message that arrived at `received` to the folder with that special use.
    void Append(const std::string& account, const std::string& special, std::string source,
                int64_t received);
    // One line per message: its encoded path below the account and its size.
    std::string Describe(const std::string& account) const;

private:
    MoveOutcome Transfer(const std::string& account, const std::vector<std::string>& fromFolder,
                         const std::string& id, const std::vector<std::string>& toFolder,
                         const std::string& newId, bool rename, bool keep, std::string& finalId);
    Message* FindMessage(const std::string& account, const std::vector<std::string>& folder,
                         const std::string& id);
    Account* Find(const std::string& name);
    const Account* Find(const std::string& name) const;
    std::string NewId();
    // A new id that a client's MOVE has not taken already.
    std::string FreshId(const Account& account);
    bool IdTaken(const Account& account, const std::string& id) const;

    mutable std::mutex lock;
    std::map<std::string, Account> accounts;
    unsigned nextId = 1;
};

}  // namespace httpmail
