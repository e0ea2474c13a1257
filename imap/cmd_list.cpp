// The mailbox listings of ImapSession: LIST (RFC 3501 6.3.8) in the
// extended form of RFC 5258 (selection options SUBSCRIBED, SPECIAL-USE,
// RECURSIVEMATCH and REMOTE, several patterns, RETURN options SUBSCRIBED,
// CHILDREN, SPECIAL-USE) with the attributes of RFC 6154 and RFC 3348;
// LSUB (RFC 3501 6.3.9); SUBSCRIBE and UNSUBSCRIBE (remembered per account
// in the state store).
#include <algorithm>

#include "imap/imap_failure.h"
#include "imap/imap_session.h"
#include "imap_wire/imap_string.h"
#include "imap_wire/list_options.h"
#include "text/ascii.h"

namespace {

vx::Str Attributes(const ImapMailbox& box, bool subscribed) {
    vx::Str out = "(";
    auto add = [&out](const char* attribute) {
        if (out.size() > 1) out += ' ';
        out += attribute;
    };
    if (!box.Selectable()) add("\\Noselect");
    add(box.hasChildren ? "\\HasChildren" : "\\HasNoChildren");
    if (box.specialUse != nullptr) add(box.specialUse);
    if (subscribed) add("\\Subscribed");
    return out + ")";
}

vx::Str NameText(const vx::Str& wire) {
    vx::Str out;
    ImapString::AppendAString(out, wire);
    return out;
}

// INBOX is one name in any letter case.
vx::Str Canonical(const vx::Str& name) {
    return vx::Ascii::EqualNoCase(name, "INBOX") ? vx::Str("INBOX") : name;
}

bool Below(const vx::Str& name, const vx::Str& parent) {
    return name.size() > parent.size() && name.compare(0, parent.size(), parent) == 0 &&
           name[parent.size()] == ImapMailboxList::kDelimiter;
}

// What one LIST asks for, over the mailboxes and the subscriptions.
class ListQuery {
public:
    ListQuery(const ImapListArgs& args, const std::vector<vx::Str>& subscriptions)
        : args(args), subscriptions(subscriptions) {}

    bool Matches(const vx::Str& wire) const {
        return std::any_of(args.patterns.begin(), args.patterns.end(), [&](const vx::Str& p) {
            return ImapMailboxList::Matches(args.reference + p, wire);
        });
    }
    bool Subscribed(const vx::Str& wire) const {
        return std::find(subscriptions.begin(), subscriptions.end(), Canonical(wire)) !=
               subscriptions.end();
    }
    // Whether a mailbox (nullptr: a subscribed name without one) meets the
    // selection options.
    bool Selected(const ImapMailbox* box, const vx::Str& wire) const {
        if (args.subscribed && !Subscribed(wire)) return false;
        if (args.specialUse && (box == nullptr || box->specialUse == nullptr)) return false;
        return true;
    }
    // RFC 5258 RECURSIVEMATCH: CHILDINFO for a mailbox with a descendant that
    // meets the selection options and that no pattern lists by itself.
    vx::Str ChildInfo(const ImapMailbox& box, const ImapMailboxList& boxes) const {
        if (!args.recursiveMatch) return vx::Str();
        bool found = false;
        for (const ImapMailbox& other : boxes.All())
            found |=
                Below(other.wire, box.wire) && Selected(&other, other.wire) && !Matches(other.wire);
        for (const vx::Str& name : subscriptions)
            found |= Below(name, box.wire) && boxes.Find(name) == nullptr &&
                     Selected(nullptr, name) && !Matches(name);
        if (!found) return vx::Str();
        return args.subscribed ? " (CHILDINFO (\"SUBSCRIBED\"))" : " (CHILDINFO (\"SPECIAL-USE\"))";
    }
    bool ShowSubscribed() const { return args.subscribed || args.returnSubscribed; }

private:
    const ImapListArgs& args;
    const std::vector<vx::Str>& subscriptions;
};

}  // namespace

const ImapMailboxList& ImapSession::Mailboxes(bool fresh) {
    if (!mailboxes || fresh) {
        std::vector<WebmailFolder> folders;
        account->ListFolders(folders);
        mailboxes.emplace(folders);
    }
    return *mailboxes;
}

const ImapMailbox& ImapSession::NamedMailbox(const vx::Str& name, const char* missingCode) {
    const ImapMailbox* box = Mailboxes(false).Find(name);
    // A folder made at the service since the last look.
    if (box == nullptr) box = Mailboxes(true).Find(name);
    if (box == nullptr) throw ImapFailure::No(vx::Str(missingCode) + " No such mailbox");
    return *box;
}

void ImapSession::CmdList(Request& request) {
    if (request.name == "LSUB") return ListSubscribed(request);
    ImapListArgs args;
    vx::Str error;
    if (!ImapListOptions::Parse(request.args, args, error)) throw ImapFailure::Bad(error);
    if (!args.extended && args.patterns.front().empty()) {
        Untagged("LIST (\\Noselect) \"/\" \"\"");
        return Tagged(request.tag, "OK", "LIST completed");
    }
    const ImapMailboxList& boxes = Mailboxes(true);
    const std::vector<vx::Str> subscriptions = args.subscribed || args.returnSubscribed
                                                   ? context.store->Subscriptions(user)
                                                   : std::vector<vx::Str>();
    const ListQuery query(args, subscriptions);
    for (const ImapMailbox& box : boxes.All()) {
        if (!query.Matches(box.wire)) continue;
        const bool selected = query.Selected(&box, box.wire);
        const vx::Str childInfo = query.ChildInfo(box, boxes);
        if (!selected && childInfo.empty()) continue;
        const bool subscribed = query.ShowSubscribed() && selected && query.Subscribed(box.wire);
        Untagged("LIST " + Attributes(box, subscribed) + " \"/\" " + NameText(box.wire) +
                 childInfo);
    }
    // Subscribed names whose mailbox is gone (RFC 5258 \NonExistent).
    if (args.subscribed && !args.specialUse) {
        for (const vx::Str& name : subscriptions)
            if (boxes.Find(name) == nullptr && query.Matches(name))
                Untagged("LIST (\\Subscribed \\NonExistent) \"/\" " + NameText(name));
    }
    Tagged(request.tag, "OK", "LIST completed");
}

// RFC 3501 6.3.9: a "%" that stops above a subscribed name lists the level
// where it stopped, as \Noselect, when that level is not subscribed itself.
void ImapSession::ListSubscribed(Request& request) {
    RequireArgs(request, 2);
    const vx::Str wanted = AString(request, 0) + AString(request, 1);
    const ImapMailboxList& boxes = Mailboxes(true);
    const std::vector<vx::Str> names = context.store->Subscriptions(user);
    std::vector<vx::Str> shown;
    auto show = [&](const vx::Str& name, bool level) {
        if (std::find(shown.begin(), shown.end(), name) != shown.end()) return;
        shown.push_back(name);
        const ImapMailbox* box = boxes.Find(name);
        bool selectable = !level && box != nullptr && box->Selectable();
        Untagged(vx::Str("LSUB ") + (selectable ? "()" : "(\\Noselect)") + " \"/\" " +
                 NameText(name));
    };
    for (const vx::Str& name : names) {
        if (ImapMailboxList::Matches(wanted, name)) {
            show(name, false);
            continue;
        }
        for (size_t slash = name.find(ImapMailboxList::kDelimiter); slash != vx::Str::npos;
             slash = name.find(ImapMailboxList::kDelimiter, slash + 1)) {
            vx::Str level = name.substr(0, slash);
            if (ImapMailboxList::Matches(wanted, level) &&
                std::find(names.begin(), names.end(), level) == names.end())
                show(level, true);
        }
    }
    Tagged(request.tag, "OK", "LSUB completed");
}

void ImapSession::CmdSubscribe(Request& request) {
    RequireArgs(request, 1);
    vx::Str name = Canonical(AString(request, 0));
    if (name.empty()) throw ImapFailure::Bad("Empty mailbox name");
    bool subscribe = request.name == "SUBSCRIBE";
    if (subscribe) NamedMailbox(name, "[NONEXISTENT]");
    context.store->SetSubscribed(user, name, subscribe);
    Tagged(request.tag, "OK", request.name + " completed");
}
