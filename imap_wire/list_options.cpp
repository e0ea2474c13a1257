#include "imap_wire/list_options.h"

namespace {

// The options each list may hold, and what each sets.
struct Option {
    const char* name;
    bool ImapListArgs::*flag;  // nullptr: accepted, changes nothing
};
const Option kSelection[] = {
    {"SUBSCRIBED", &ImapListArgs::subscribed},
    {"SPECIAL-USE", &ImapListArgs::specialUse},
    {"RECURSIVEMATCH", &ImapListArgs::recursiveMatch},
    {"REMOTE", nullptr},
};
const Option kReturn[] = {
    {"SUBSCRIBED", &ImapListArgs::returnSubscribed},
    {"CHILDREN", nullptr},
    {"SPECIAL-USE", nullptr},
};

template <size_t N>
bool TakeOptions(const ImapArg& list, const Option (&known)[N], ImapListArgs& out, vx::Str& error) {
    for (const ImapArg& item : list.list) {
        const Option* found = nullptr;
        for (const Option& option : known)
            if (item.IsAtom() && item.Is(option.name)) found = &option;
        if (found == nullptr) {
            error = "Unknown LIST option";
            return false;
        }
        if (found->flag != nullptr) out.*(found->flag) = true;
    }
    return true;
}

bool TakePatterns(const ImapArg& arg, ImapListArgs& out, vx::Str& error) {
    if (!arg.IsList()) {
        if (!arg.IsAString()) return false;
        out.patterns.push_back(arg.text);
        return true;
    }
    out.extended = true;
    for (const ImapArg& pattern : arg.list) {
        if (!pattern.IsAString()) return false;
        out.patterns.push_back(pattern.text);
    }
    if (out.patterns.empty()) error = "LIST needs a pattern";
    return !out.patterns.empty();
}

}  // namespace

bool ImapListOptions::Parse(const std::vector<ImapArg>& args, ImapListArgs& out, vx::Str& error) {
    out = ImapListArgs();
    error = "Invalid arguments for LIST";
    size_t at = 0;
    if (at < args.size() && args[at].IsList()) {
        out.extended = true;
        if (!TakeOptions(args[at++], kSelection, out, error)) return false;
        if (out.recursiveMatch && !out.subscribed && !out.specialUse) {
            error = "RECURSIVEMATCH needs another selection option";
            return false;
        }
    }
    if (at + 2 > args.size() || !args[at].IsAString()) return false;
    out.reference = args[at++].text;
    if (!TakePatterns(args[at++], out, error)) return false;
    if (at == args.size()) return true;
    if (at + 2 != args.size() || !args[at].IsAtom() || !args[at].Is("RETURN") ||
        !args[at + 1].IsList())
        return false;
    out.extended = true;
    return TakeOptions(args[at + 1], kReturn, out, error);
}
