// STORE and UID STORE (RFC 3501 6.4.6) of ImapSession: \Seen goes to the
// service's read state where it keeps one, the other flags and keywords to
// the state store.
#include "imap/imap_failure.h"
#include "imap/imap_session.h"
#include "text/ascii.h"

namespace {

const struct {
    const char* name;
    uint8_t bit;
} kStorableFlags[] = {
    {"\\Seen", ImapFlag::kSeen},       {"\\Answered", ImapFlag::kAnswered},
    {"\\Flagged", ImapFlag::kFlagged}, {"\\Deleted", ImapFlag::kDeleted},
    {"\\Draft", ImapFlag::kDraft},
};

enum class Change { Replace, Add, Remove };

}  // namespace

void ImapSession::CmdStore(Request& request) {
    if (request.args.size() < 3) throw ImapFailure::Bad("STORE needs a set, an item and flags");
    std::vector<size_t> indexes = SelectMessages(request, 0);
    if (!request.args[1].IsAtom()) throw ImapFailure::Bad("Invalid STORE item");
    vx::Str item = request.args[1].text;
    for (char& c : item) c = vx::Ascii::ToUpper(c);
    Change change = Change::Replace;
    if (!item.empty() && (item[0] == '+' || item[0] == '-')) {
        change = item[0] == '+' ? Change::Add : Change::Remove;
        item.erase(0, 1);
    }
    bool silent = item == "FLAGS.SILENT";
    if (item != "FLAGS" && !silent) throw ImapFailure::Bad("Unknown STORE item");
    if (selected->ReadOnly()) throw ImapFailure::No("[READ-ONLY] The mailbox is read-only");

    // The flags: one list, or flags one after the other.
    std::vector<ImapArg> flagArgs;
    if (request.args.size() == 3 && request.args[2].IsList())
        flagArgs = request.args[2].list;
    else
        flagArgs.assign(request.args.begin() + 2, request.args.end());
    uint8_t bits = 0;
    uint64_t keywords = 0;
    for (const ImapArg& flag : flagArgs) {
        if (!flag.IsAtom()) throw ImapFailure::Bad("Invalid flag");
        if (flag.text.empty() || flag.text[0] != '\\') {
            uint64_t bit = selected->State().KeywordBit(flag.text, change != Change::Remove);
            if (bit == 0 && change != Change::Remove)
                throw ImapFailure::No("[LIMIT] No room for that keyword, or not a valid one");
            keywords |= bit;
            continue;
        }
        bool known = false;
        for (const auto& system : kStorableFlags) {
            if (!vx::Ascii::EqualNoCase(flag.text, system.name)) continue;
            bits |= system.bit;
            known = true;
        }
        if (!known)
            throw ImapFailure::Bad("Flag that cannot be stored: " + flag.text.substr(0, 50));
    }

    // A keyword new to the folder is announced first (RFC 3501 7.2.6), so
    // that no FETCH shows a flag the client was not told of.
    AnnounceKeywords();
    for (size_t index : indexes) {
        uint64_t oldKeywords = 0;
        uint8_t oldFlags = selected->Flags(index, oldKeywords);
        uint8_t newFlags = change == Change::Replace ? bits
                           : change == Change::Add   ? static_cast<uint8_t>(oldFlags | bits)
                                                     : static_cast<uint8_t>(oldFlags & ~bits);
        uint64_t newKeywords = change == Change::Replace ? keywords
                               : change == Change::Add   ? oldKeywords | keywords
                                                         : oldKeywords & ~keywords;
        try {
            selected->SetFlags(index, newFlags, newKeywords, *account);
        } catch (const ServiceRefusal& refusal) {
            // Expunged meanwhile by another session or at the service: its
            // flags are gone with it (RFC 2180 4.2.1), the next look reports it.
            if (!MessageIsGone(refusal)) throw;
            continue;
        }
        if (silent) continue;
        vx::Str line = "* " + std::to_string(index + 1) + " FETCH (";
        if (request.uid) line += "UID " + std::to_string(selected->At(index).uid) + " ";
        out.Write(line + "FLAGS " + selected->FlagList(index) + ")\r\n");
    }
    selected->State().Save();
    Tagged(request.tag, "OK", request.uid ? "UID STORE completed" : "STORE completed");
}
