#pragma once
// The IMAP state of every account, under one folder (the program's state
// folder): per account a folder of its own holding one file per web mail
// folder (ImapFolderState) and the list of subscribed mailbox names. The store is
// shared by all IMAP sessions; each web mail folder has one ImapFolderState in
// memory while any session uses it, so two sessions of one account never
// hand out the same UID twice.
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "core/str.h"
#include "imap_state/folder_state.h"

class ImapStateStore {
public:
    // root ends with the path separator ("" for the program's state
    // folder); it and the folders below it are made when first needed.
    explicit ImapStateStore(vx::Str root);

    // The state of one web mail folder of account (the login name, any case).
    // Throws vx::Exception when the account's folder cannot be made. A
    // folder the store has no state of yet gets a UIDVALIDITY above every
    // one the account's folders had before, so a folder deleted and made
    // again, or made under the name of one renamed, never reuses old UIDs.
    std::shared_ptr<ImapFolderState> Folder(const vx::Str& account, const vx::Str& folderUrl);
    // A folder moved at the service: its state goes with it (ImapFolderState::MoveTo).
    void MoveFolder(const vx::Str& account, const vx::Str& oldUrl, const vx::Str& newUrl);
    // A folder deleted at the service: its state goes (ImapFolderState::Drop).
    void ForgetFolder(const vx::Str& account, const vx::Str& folderUrl);

    // Subscribed mailbox names (UTF-8) of account, in the order subscribed.
    std::vector<vx::Str> Subscriptions(const vx::Str& account);
    // Throws vx::Exception when the list cannot be written.
    void SetSubscribed(const vx::Str& account, const vx::Str& name, bool subscribed);
    // A mailbox renamed: the subscriptions of oldName and of the names below
    // it follow to newName.
    void RenameSubscriptions(const vx::Str& account, const vx::Str& oldName,
                             const vx::Str& newName);

    // Bounds of the subscription list, so a client cannot grow the file without end.
    static constexpr size_t kMaxSubscriptions = 10000;
    static constexpr size_t kMaxMailboxName = 1000;  // bytes

    // The folder that holds account's files (for tests and the README).
    vx::Str AccountFolder(const vx::Str& account) const;

private:
    vx::Str Root() const;
    vx::Str MakeAccountFolder(const vx::Str& account) const;
    std::vector<vx::Str> LoadSubscriptions(const vx::Str& account) const;
    void SaveSubscriptions(const vx::Str& account, const std::vector<vx::Str>& names) const;
    vx::Str StatePath(const vx::Str& account, const vx::Str& folderUrl) const;
    // The state of a folder under lock: the one in use, or loaded from its file.
    std::shared_ptr<ImapFolderState> FolderLocked(const vx::Str& account, const vx::Str& folderUrl);
    // The highest UIDVALIDITY the account's folders were given, kept in a file.
    uint32_t LastUidValidity(const vx::Str& account) const;
    void KeepUidValidity(const vx::Str& account, uint32_t value) const;

    const vx::Str root;
    std::mutex lock;
    std::map<vx::Str, std::weak_ptr<ImapFolderState>> folders;  // by file path
};
