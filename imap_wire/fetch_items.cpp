#include "imap_wire/fetch_items.h"

#include <algorithm>
#include <charconv>

#include "text/ascii.h"

namespace ImapFetchItems {
namespace {

using Kind = ImapFetchItem::Kind;
using Text = MimeSection::Text;

// Items that name themselves, and the RFC822 forms of BODY[...].
const struct {
    const char* name;
    Kind kind;
    Text text;      // for Section
    bool setsSeen;  // for Section
} kItems[] = {
    {"FLAGS", Kind::Flags, Text::All, false},
    {"UID", Kind::Uid, Text::All, false},
    {"INTERNALDATE", Kind::InternalDate, Text::All, false},
    {"RFC822.SIZE", Kind::Size, Text::All, false},
    {"ENVELOPE", Kind::Envelope, Text::All, false},
    {"BODYSTRUCTURE", Kind::BodyStructure, Text::All, false},
    {"BODY", Kind::Body, Text::All, false},
    {"RFC822", Kind::Section, Text::All, true},
    {"RFC822.HEADER", Kind::Section, Text::Header, false},
    {"RFC822.TEXT", Kind::Section, Text::Text, true},
};

const struct {
    const char* name;
    const char* items[5];
} kMacros[] = {
    {"ALL", {"FLAGS", "INTERNALDATE", "RFC822.SIZE", "ENVELOPE"}},
    {"FAST", {"FLAGS", "INTERNALDATE", "RFC822.SIZE"}},
    {"FULL", {"FLAGS", "INTERNALDATE", "RFC822.SIZE", "ENVELOPE", "BODY"}},
};

vx::Str Upper(vx::Str text) {
    for (char& c : text) c = vx::Ascii::ToUpper(c);
    return text;
}

bool ReadNumber(std::string_view text, uint64_t& value) {
    if (text.empty() || text.size() > 10) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value <= UINT32_MAX;
}

// "<start.count>" after the closing bracket.
bool ParsePartial(std::string_view text, ImapFetchItem& item) {
    if (text.empty()) return true;
    if (text.size() < 5 || text.front() != '<' || text.back() != '>') return false;
    text = text.substr(1, text.size() - 2);
    size_t dot = text.find('.');
    if (dot == std::string_view::npos || !ReadNumber(text.substr(0, dot), item.start) ||
        !ReadNumber(text.substr(dot + 1), item.count) || item.count == 0)
        return false;
    item.partial = true;
    return true;
}

// BODY[section]<partial> and BODY.PEEK[section]<partial>.
bool ParseSection(const vx::Str& atom, ImapFetchItem& item) {
    vx::Str upper = Upper(atom.substr(0, atom.find('[')));
    bool peek = upper == "BODY.PEEK";
    if (upper != "BODY" && !peek) return false;
    size_t open = atom.find('[');
    size_t close = atom.rfind(']');
    if (close == vx::Str::npos || close < open) return false;
    std::string_view inside(atom.data() + open + 1, close - open - 1);
    if (!ParseMimeSection(inside, item.section)) return false;
    if (!ParsePartial(std::string_view(atom).substr(close + 1), item)) return false;
    item.kind = Kind::Section;
    item.setsSeen = !peek;
    item.label = "BODY[" + MimeSectionName(item.section) + "]";
    if (item.partial) item.label += "<" + std::to_string(item.start) + ">";
    return true;
}

bool ParseOne(const ImapArg& arg, std::vector<ImapFetchItem>& items, vx::Str& error) {
    if (!arg.IsAtom()) {
        error = "Invalid fetch item";
        return false;
    }
    if (arg.text.find('[') != vx::Str::npos) {
        ImapFetchItem item;
        if (!ParseSection(arg.text, item)) {
            error = "Invalid fetch item " + arg.text.substr(0, 100);
            return false;
        }
        items.push_back(std::move(item));
        return true;
    }
    vx::Str name = Upper(arg.text);
    for (const auto& known : kItems) {
        if (name != known.name) continue;
        ImapFetchItem item;
        item.kind = known.kind;
        item.label = known.name;
        item.section.text = known.text;
        item.setsSeen = known.setsSeen;
        items.push_back(std::move(item));
        return true;
    }
    error = "Unknown fetch item " + name.substr(0, 100);
    return false;
}

}  // namespace

bool Parse(const ImapArg& argument, bool uid, std::vector<ImapFetchItem>& items, vx::Str& error) {
    items.clear();
    if (argument.IsAtom()) {
        vx::Str name = Upper(argument.text);
        for (const auto& macro : kMacros) {
            if (name != macro.name) continue;
            for (const char* each : macro.items) {
                if (each == nullptr) break;
                ImapArg atom;
                atom.text = each;
                ParseOne(atom, items, error);
            }
            name.clear();
        }
        if (!name.empty() && !ParseOne(argument, items, error)) return false;
    } else if (argument.IsList() && !argument.list.empty()) {
        for (const ImapArg& each : argument.list)
            if (!ParseOne(each, items, error)) return false;
    } else {
        error = "Invalid fetch items";
        return false;
    }
    bool hasUid = std::any_of(items.begin(), items.end(),
                              [](const ImapFetchItem& item) { return item.kind == Kind::Uid; });
    if (uid && !hasUid) {
        ImapFetchItem item;
        item.kind = Kind::Uid;
        item.label = "UID";
        items.insert(items.begin(), item);
    }
    return true;
}

}  // namespace ImapFetchItems
