#pragma once
// The web mail folders as IMAP mailboxes (RFC 3501 5.1, RFC 6154): the inbox
// is INBOX; every other folder is named by its display name, with "/" as the
// hierarchy delimiter (a level above a folder that is no folder itself shows
// as \Noselect); the service's special folders carry their special use. On
// the wire names travel in modified UTF-7; the list keeps both forms.
#include <string_view>
#include <vector>

#include "core/str.h"
#include "webmail/account.h"

struct ImapMailbox {
    vx::Str name;            // UTF-8
    vx::Str wire;            // modified UTF-7, as LIST shows it
    WebmailFolder folder;    // url empty for a level that is no folder
    const char* specialUse;  // "\\Sent", "\\Junk", "\\Trash" or nullptr
    bool hasChildren = false;

    bool Selectable() const { return !folder.url.empty(); }
    bool IsInbox() const { return folder.special == "inbox"; }
};

class ImapMailboxList {
public:
    static constexpr char kDelimiter = '/';

    explicit ImapMailboxList(const std::vector<WebmailFolder>& folders);

    // The mailbox a client named (as sent, modified UTF-7; INBOX in any
    // case), or nullptr.
    const ImapMailbox* Find(std::string_view clientName) const;
    // The folder of a special use ("deleteditems"), or nullptr.
    const ImapMailbox* Special(std::string_view special) const;
    // INBOX first, then the rest in name order.
    const std::vector<ImapMailbox>& All() const { return mailboxes; }

    // A display name as the list shows it: control characters as blanks,
    // each level without blanks around it, no empty levels.
    static vx::Str CleanName(const vx::Str& displayName);

    // LIST matching (RFC 3501 6.3.8) of a wire name: "*" matches anything,
    // "%" anything but the delimiter; INBOX matches in any case.
    static bool Matches(std::string_view pattern, std::string_view wireName);

private:
    void AddParents();
    std::vector<ImapMailbox> mailboxes;
};
