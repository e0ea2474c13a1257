#pragma once
// The arguments of LIST (RFC 3501 6.3.8) in the extended form of RFC 5258,
// with the SPECIAL-USE options of RFC 6154: selection options before the
// reference, one pattern or a parenthesised list of them, and return
// options after RETURN. The plain form is the extended one without options.
#include <vector>

#include "core/str.h"
#include "imap_wire/command_parser.h"

struct ImapListArgs {
    // Selection options: which mailboxes are listed.
    bool subscribed = false;      // SUBSCRIBED: those subscribed, also gone ones
    bool specialUse = false;      // SPECIAL-USE: those with a special use
    bool recursiveMatch = false;  // RECURSIVEMATCH: parents of selected ones too
    // Return options: what is said of each. CHILDREN and SPECIAL-USE are
    // said always; SUBSCRIBED only when asked.
    bool returnSubscribed = false;
    bool extended = false;  // selection options, return options or several patterns
    vx::Str reference;
    std::vector<vx::Str> patterns;
};

namespace ImapListOptions {

// False with the reason for a BAD reply: an option it does not know, or
// RECURSIVEMATCH without another selection option (RFC 5258 3.1). REMOTE
// asks for mailboxes on other servers, of which there are none.
bool Parse(const std::vector<ImapArg>& args, ImapListArgs& out, vx::Str& error);

}  // namespace ImapListOptions
