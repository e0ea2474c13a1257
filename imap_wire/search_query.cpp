#include "imap_wire/search_query.h"

#include "imap_wire/imap_date.h"
#include "imap_wire/imap_flags.h"
#include "mime/header_text.h"
#include "mime/mime_address.h"
#include "text/ascii.h"
#include "text/case_fold.h"

namespace {

vx::Str Upper(vx::Str text) {
    for (char& c : text) c = vx::Ascii::ToUpper(c);
    return text;
}

enum class Op {
    All,
    And,
    Or,
    Not,
    Sequence,
    Uid,
    FlagSet,
    FlagClear,
    Keyword,
    Unkeyword,
    New,
    Old,
    Recent,
    Larger,
    Smaller,
    Before,
    On,
    Since,
    SentBefore,
    SentOn,
    SentSince,
    Header,
    Body,
    Text
};

// Keys that test one flag: name, bit, set or clear.
const struct {
    const char* name;
    uint8_t bit;
    bool set;
} kFlagKeys[] = {
    {"ANSWERED", ImapFlag::kAnswered, true}, {"UNANSWERED", ImapFlag::kAnswered, false},
    {"DELETED", ImapFlag::kDeleted, true},   {"UNDELETED", ImapFlag::kDeleted, false},
    {"DRAFT", ImapFlag::kDraft, true},       {"UNDRAFT", ImapFlag::kDraft, false},
    {"FLAGGED", ImapFlag::kFlagged, true},   {"UNFLAGGED", ImapFlag::kFlagged, false},
    {"SEEN", ImapFlag::kSeen, true},         {"UNSEEN", ImapFlag::kSeen, false},
};

// Keys with one argument of another kind.
const struct {
    const char* name;
    Op op;
} kArgumentKeys[] = {
    {"KEYWORD", Op::Keyword}, {"UNKEYWORD", Op::Unkeyword},
    {"LARGER", Op::Larger},   {"SMALLER", Op::Smaller},
    {"BEFORE", Op::Before},   {"ON", Op::On},
    {"SINCE", Op::Since},     {"SENTBEFORE", Op::SentBefore},
    {"SENTON", Op::SentOn},   {"SENTSINCE", Op::SentSince},
    {"BODY", Op::Body},       {"TEXT", Op::Text},
    {"UID", Op::Uid},
};

// How a header field's value reads for a search.
enum class Reading { Text, Addresses, Subject };

// Keys that search one header field. HEADER reads any field as text, as
// Dovecot does, so HEADER FROM sees the comments that FROM leaves out.
const struct {
    const char* name;
    Reading reading;
} kFieldKeys[] = {{"BCC", Reading::Addresses},
                  {"CC", Reading::Addresses},
                  {"FROM", Reading::Addresses},
                  {"SUBJECT", Reading::Subject},
                  {"TO", Reading::Addresses}};

}  // namespace

struct ImapSearchQuery::Key {
    Op op = Op::All;
    uint8_t bit = 0;
    Reading reading = Reading::Text;
    uint64_t number = 0;
    int64_t day = 0;
    vx::Str field;
    vx::Str text;  // folded, for the keys that search text
    SequenceSet set;
    std::vector<std::shared_ptr<Key>> children;
};

namespace {

using Key = ImapSearchQuery::Key;

class KeyReader {
public:
    KeyReader(const std::vector<ImapArg>& args, size_t at) : args(args), at(at) {}

    bool ReadAll(std::vector<std::shared_ptr<Key>>& keys, vx::Str& error) {
        if (at >= args.size()) return Fail(error, "SEARCH needs a key");
        while (at < args.size()) {
            auto key = std::make_shared<Key>();
            if (!Read(*key, error, 0)) return false;
            keys.push_back(key);
        }
        return true;
    }

private:
    static bool Fail(vx::Str& error, const char* text) {
        error = text;
        return false;
    }

    bool Text(vx::Str& out, vx::Str& error) {
        if (at >= args.size() || !args[at].IsAString()) return Fail(error, "Missing search text");
        out = args[at++].text;
        return true;
    }

    bool SearchText(vx::Str& out, vx::Str& error) {
        if (!Text(out, error)) return false;
        out = vx::FoldCase(out);
        return true;
    }

    bool Number(uint64_t& out, vx::Str& error) {
        vx::Str text;
        if (!Text(text, error)) return false;
        if (text.empty() || text.size() > 19 ||
            text.find_first_not_of("0123456789") != vx::Str::npos)
            return Fail(error, "Invalid number");
        out = std::stoull(text);
        return true;
    }

    bool Read(Key& key, vx::Str& error, int depth) {
        if (depth > ImapParser::kMaxNesting) return Fail(error, "Search keys nested too deep");
        const ImapArg& arg = args[at++];
        if (arg.IsList()) {
            key.op = Op::And;
            KeyReader inner(arg.list, 0);
            if (arg.list.empty()) return Fail(error, "Empty search list");
            while (inner.at < arg.list.size()) {
                auto child = std::make_shared<Key>();
                if (!inner.Read(*child, error, depth + 1)) return false;
                key.children.push_back(child);
            }
            return true;
        }
        if (!arg.IsAtom()) return Fail(error, "Invalid search key");
        vx::Str name = Upper(arg.text);
        if (name == "ALL") return key.op = Op::All, true;
        if (name == "NEW") return key.op = Op::New, true;
        if (name == "OLD") return key.op = Op::Old, true;
        if (name == "RECENT") return key.op = Op::Recent, true;
        for (const auto& flag : kFlagKeys) {
            if (name != flag.name) continue;
            key.op = flag.set ? Op::FlagSet : Op::FlagClear;
            key.bit = flag.bit;
            return true;
        }
        for (const auto& field : kFieldKeys) {
            if (name != field.name) continue;
            key.op = Op::Header;
            key.field = field.name;
            key.reading = field.reading;
            return SearchText(key.text, error);
        }
        if (name == "HEADER") {
            key.op = Op::Header;
            return Text(key.field, error) && SearchText(key.text, error);
        }
        if (name == "NOT" || name == "OR") {
            key.op = name == "NOT" ? Op::Not : Op::Or;
            for (int i = 0; i < (name == "NOT" ? 1 : 2); ++i) {
                if (at >= args.size()) return Fail(error, "Missing search key");
                auto child = std::make_shared<Key>();
                if (!Read(*child, error, depth + 1)) return false;
                key.children.push_back(child);
            }
            return true;
        }
        for (const auto& known : kArgumentKeys) {
            if (name != known.name) continue;
            key.op = known.op;
            return ReadArgument(key, error);
        }
        // A sequence set stands for itself.
        if (key.set.Parse(arg.text)) return key.op = Op::Sequence, true;
        error = "Unknown search key " + name.substr(0, 50);
        return false;
    }

    bool ReadArgument(Key& key, vx::Str& error) {
        switch (key.op) {
            case Op::Larger:
            case Op::Smaller:
                return Number(key.number, error);
            case Op::Before:
            case Op::On:
            case Op::Since:
            case Op::SentBefore:
            case Op::SentOn:
            case Op::SentSince:
                if (!Text(key.text, error)) return false;
                if (!ImapDate::ParseSearchDate(key.text, key.day))
                    return Fail(error, "Invalid date");
                return true;
            case Op::Uid:
                if (!Text(key.text, error)) return false;
                if (!key.set.Parse(key.text)) return Fail(error, "Invalid UID set");
                return true;
            case Op::Body:
            case Op::Text:
                return SearchText(key.text, error);
            default:
                return Text(key.text, error);
        }
    }

    const std::vector<ImapArg>& args;
    size_t at;
};

bool SentDay(ImapSearchSubject& message, int64_t& day) {
    std::vector<vx::Str> dates = message.HeaderFields("Date");
    int64_t utc = 0;
    return !dates.empty() && ImapDate::ParseHeaderDate(dates.front(), utc, day);
}

vx::Str Readable(const vx::Str& value, Reading reading) {
    switch (reading) {
        case Reading::Addresses:
            return MimeAddressText(value);
        case Reading::Subject:
            return SimplifyBlanks(DecodeHeaderText(value));
        case Reading::Text:
            break;
    }
    return DecodeHeaderText(value);
}

bool HeaderHolds(const Key& key, ImapSearchSubject& message) {
    for (const vx::Str& value : message.HeaderFields(key.field)) {
        if (key.text.empty()) return true;
        if (vx::FoldCase(Readable(value, key.reading)).find(key.text) != vx::Str::npos) return true;
    }
    return false;
}

bool Test(const Key& key, ImapSearchSubject& message) {
    int64_t day = 0;
    switch (key.op) {
        case Op::All:
            return true;
        case Op::And:
            for (const auto& child : key.children)
                if (!Test(*child, message)) return false;
            return true;
        case Op::Or:
            return Test(*key.children[0], message) || Test(*key.children[1], message);
        case Op::Not:
            return !Test(*key.children[0], message);
        case Op::Sequence:
            return key.set.Contains(message.SequenceNumber(), message.LargestSequenceNumber());
        case Op::Uid:
            return key.set.Contains(message.Uid(), message.LargestUid());
        case Op::FlagSet:
            return (message.Flags() & key.bit) != 0;
        case Op::FlagClear:
            return (message.Flags() & key.bit) == 0;
        case Op::Keyword:
            return message.HasKeyword(key.text);
        case Op::Unkeyword:
            return !message.HasKeyword(key.text);
        case Op::New:
            return message.Recent() && !(message.Flags() & ImapFlag::kSeen);
        case Op::Old:
            return !message.Recent();
        case Op::Recent:
            return message.Recent();
        case Op::Larger:
            return message.Size() > key.number;
        case Op::Smaller:
            return message.Size() < key.number;
        case Op::Before:
            return ImapDate::DayOf(message.InternalDate()) < key.day;
        case Op::On:
            return ImapDate::DayOf(message.InternalDate()) == key.day;
        case Op::Since:
            return ImapDate::DayOf(message.InternalDate()) >= key.day;
        case Op::SentBefore:
            return SentDay(message, day) && day < key.day;
        case Op::SentOn:
            return SentDay(message, day) && day == key.day;
        case Op::SentSince:
            return SentDay(message, day) && day >= key.day;
        case Op::Header:
            return HeaderHolds(key, message);
        case Op::Body:
        case Op::Text:
            return key.text.empty() || message.Contains(key.text, key.op == Op::Text);
    }
    return false;
}

}  // namespace

bool ImapSearchQuery::Parse(const std::vector<ImapArg>& args, size_t first, vx::Str& error,
                            bool& badCharset) {
    keys.clear();
    badCharset = false;
    if (first < args.size() && args[first].Is("CHARSET")) {
        if (first + 1 >= args.size() || !args[first + 1].IsAString()) {
            error = "CHARSET needs a name";
            return false;
        }
        const vx::Str& charset = args[first + 1].text;
        if (!vx::Ascii::IsUtf8Name(charset) && !vx::Ascii::EqualNoCase(charset, "US-ASCII")) {
            badCharset = true;
            error = "[BADCHARSET (US-ASCII UTF-8)] Unknown character set";
            return false;
        }
        first += 2;
    }
    KeyReader reader(args, first);
    return reader.ReadAll(keys, error);
}

bool ImapSearchQuery::Matches(ImapSearchSubject& message) const {
    for (const auto& key : keys)
        if (!Test(*key, message)) return false;
    return true;
}
