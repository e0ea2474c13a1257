// The mailbox commands of ImapSession: LIST and LSUB (RFC 3501 6.3.8-9, with
// the SPECIAL-USE attributes of RFC 6154 and the CHILDREN attributes of RFC
// 3348), SUBSCRIBE and UNSUBSCRIBE (remembered per account in the state
// store), and the commands that would change the service's folders or store
// a message in one, which the service does not offer.
#include "imap/imap_failure.h"
#include "imap/imap_session.h"
#include "imap_wire/imap_string.h"
#include "text/ascii.h"

namespace {

const char kAppendRefused[] =
    "[CANNOT] APPEND is not possible: the web mail service takes a new message only by sending it";

vx::Str Attributes(const ImapMailbox& box) {
    vx::Str out = "(";
    auto add = [&out](const char* attribute) {
        if (out.size() > 1) out += ' ';
        out += attribute;
    };
    if (!box.Selectable()) add("\\Noselect");
    add(box.hasChildren ? "\\HasChildren" : "\\HasNoChildren");
    if (box.specialUse != nullptr) add(box.specialUse);
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
    RequireArgs(request, 2);
    bool lsub = request.name == "LSUB";
    const vx::Str& reference = AString(request, 0);
    const vx::Str& pattern = AString(request, 1);
    if (pattern.empty() && !lsub) {
        Untagged("LIST (\\Noselect) \"/\" \"\"");
        return Tagged(request.tag, "OK", "LIST completed");
    }
    const vx::Str wanted = reference + pattern;
    const ImapMailboxList& boxes = Mailboxes(true);
    if (lsub) {
        for (const vx::Str& name : context.store->Subscriptions(user)) {
            if (!ImapMailboxList::Matches(wanted, name)) continue;
            const ImapMailbox* box = boxes.Find(name);
            Untagged(vx::Str("LSUB ") + (box && box->Selectable() ? "()" : "(\\Noselect)") +
                     " \"/\" " + NameText(name));
        }
    } else {
        for (const ImapMailbox& box : boxes.All()) {
            if (ImapMailboxList::Matches(wanted, box.wire))
                Untagged("LIST " + Attributes(box) + " \"/\" " + NameText(box.wire));
        }
    }
    Tagged(request.tag, "OK", request.name + " completed");
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

void ImapSession::CmdMailboxChange(Request& request) {
    RequireArgs(request, request.name == "RENAME" ? 2 : 1);
    vx::Str name = AString(request, 0);
    if (request.name == "CREATE" && Mailboxes(true).Find(name) != nullptr)
        throw ImapFailure::No("[ALREADYEXISTS] Mailbox exists");
    throw ImapFailure::No("[CANNOT] " + request.name +
                          " is not possible: folders are kept at the web mail service");
}

void ImapSession::CmdAppend(Request& request) {
    RefuseAppend(request.tag);
}

void ImapSession::RefuseAppend(const vx::Str& tag) {
    Tagged(tag, "NO", kAppendRefused);
}
