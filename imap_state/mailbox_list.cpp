#include "imap_state/mailbox_list.h"

#include <algorithm>

#include "imap_wire/mutf7.h"
#include "text/ascii.h"

namespace {

const struct {
    const char* special;
    const char* fallbackName;  // where the service gives no display name
    const char* use;
} kSpecialFolders[] = {
    {"sentitems", "Sent", "\\Sent"},
    {"bulkmail", "Junk", "\\Junk"},
    {"deleteditems", "Deleted", "\\Trash"},
    {"msnpromo", "Promotions", nullptr},
};

const char kInbox[] = "INBOX";

}  // namespace

vx::Str ImapMailboxList::CleanName(const vx::Str& displayName) {
    vx::Str name;
    for (char c : displayName) {
        unsigned char u = static_cast<unsigned char>(c);
        name += u < 0x20 || u == 0x7f ? ' ' : c;
    }
    vx::Str clean;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = std::min(name.find(ImapMailboxList::kDelimiter, start), name.size());
        vx::Str level = name.substr(start, end - start);
        size_t first = level.find_first_not_of(' ');
        size_t last = level.find_last_not_of(' ');
        if (first != vx::Str::npos) {
            if (!clean.empty()) clean += ImapMailboxList::kDelimiter;
            clean += level.substr(first, last - first + 1);
        }
        start = end + 1;
    }
    return clean;
}

namespace {

vx::Str LastSegment(const vx::Str& url) {
    vx::Str path = url;
    while (!path.empty() && path.back() == '/') path.pop_back();
    return path.substr(path.rfind('/') + 1);
}

bool IsInboxName(std::string_view name) {
    return vx::Ascii::EqualNoCase(name, kInbox);
}

bool NameTaken(const std::vector<ImapMailbox>& boxes, const vx::Str& name) {
    if (IsInboxName(name)) return true;
    return std::any_of(boxes.begin(), boxes.end(),
                       [&](const ImapMailbox& box) { return box.name == name; });
}

}  // namespace

ImapMailboxList::ImapMailboxList(const std::vector<WebmailFolder>& folders) {
    bool haveInbox = false;
    for (const WebmailFolder& folder : folders) {
        ImapMailbox box{vx::Str(), vx::Str(), folder, nullptr};
        if (folder.special == "inbox") {
            // The service has one inbox; a second one is shown as a folder.
            if (haveInbox) box.folder.special.clear();
            haveInbox = true;
        }
        vx::Str name = box.IsInbox() ? vx::Str(kInbox) : CleanName(folder.displayName);
        for (const auto& special : kSpecialFolders) {
            if (folder.special != special.special) continue;
            box.specialUse = special.use;
            if (name.empty()) name = special.fallbackName;
        }
        if (name.empty()) name = CleanName(LastSegment(folder.url));
        if (name.empty()) name = "Folder";
        if (!box.IsInbox()) {
            vx::Str base = name;
            for (int n = 2; NameTaken(mailboxes, name); ++n)
                name = base + " (" + std::to_string(n) + ")";
        }
        box.name = name;
        box.wire = Mutf7::Encode(name);
        mailboxes.push_back(std::move(box));
    }
    AddParents();
    std::sort(mailboxes.begin(), mailboxes.end(), [](const ImapMailbox& a, const ImapMailbox& b) {
        if (a.IsInbox() != b.IsInbox()) return a.IsInbox();
        return a.name < b.name;
    });
}

void ImapMailboxList::AddParents() {
    for (size_t i = 0; i < mailboxes.size(); ++i) {
        vx::Str name = mailboxes[i].name;
        for (size_t slash = name.rfind(kDelimiter); slash != vx::Str::npos && slash > 0;
             slash = name.rfind(kDelimiter, slash - 1)) {
            vx::Str parent = name.substr(0, slash);
            auto found = std::find_if(mailboxes.begin(), mailboxes.end(),
                                      [&](const ImapMailbox& box) { return box.name == parent; });
            if (found != mailboxes.end()) {
                found->hasChildren = true;
                continue;
            }
            ImapMailbox level;
            level.name = parent;
            level.wire = Mutf7::Encode(parent);
            level.specialUse = nullptr;
            level.hasChildren = true;
            mailboxes.push_back(std::move(level));
        }
    }
}

const ImapMailbox* ImapMailboxList::Find(std::string_view clientName) const {
    bool inbox = IsInboxName(clientName);
    for (const ImapMailbox& box : mailboxes) {
        if (inbox ? box.IsInbox() : box.wire == clientName) return &box;
    }
    return nullptr;
}

const ImapMailbox* ImapMailboxList::Special(std::string_view special) const {
    for (const ImapMailbox& box : mailboxes)
        if (box.folder.special == special) return &box;
    return nullptr;
}

bool ImapMailboxList::Matches(std::string_view pattern, std::string_view name) {
    if (IsInboxName(name) && IsInboxName(pattern)) return true;
    // matched[n]: the pattern so far matches the first n characters of name.
    std::vector<char> matched(name.size() + 1, 0), next(name.size() + 1);
    matched[0] = 1;
    for (char p : pattern) {
        std::fill(next.begin(), next.end(), 0);
        for (size_t n = 0; n <= name.size(); ++n) {
            if (p == '*' || p == '%') {
                // A wildcard extends any match; "%" stops at a delimiter.
                bool run =
                    matched[n] || (n > 0 && next[n - 1] && (p == '*' || name[n - 1] != kDelimiter));
                next[n] = run;
            } else {
                next[n] = n > 0 && matched[n - 1] && name[n - 1] == p;
            }
        }
        matched.swap(next);
    }
    return matched[name.size()];
}
