#pragma once
// The items of a FETCH (RFC 3501 6.4.5): the table of item names, the
// macros ALL, FAST and FULL, and BODY[section]<partial> with BODY.PEEK.
#include <cstdint>
#include <vector>

#include "core/str.h"
#include "imap_wire/command_parser.h"
#include "imap_wire/mime_section.h"

struct ImapFetchItem {
    enum class Kind {
        Flags,
        Uid,
        InternalDate,
        Size,
        Envelope,
        BodyStructure,
        Body,     // the non-extensible BODYSTRUCTURE
        Section,  // message text: BODY[...], RFC822, RFC822.HEADER, RFC822.TEXT
    };
    Kind kind = Kind::Flags;
    vx::Str label;  // the item's name in the response
    MimeSection section;
    bool setsSeen = false;  // fetching it sets \Seen (not BODY.PEEK, not RFC822.HEADER)
    bool partial = false;
    uint64_t start = 0;
    uint64_t count = 0;
};

namespace ImapFetchItems {

// The items named by the FETCH argument (one item or macro, or a list). The
// UID form always answers with the UID. False with a reason for BAD.
bool Parse(const ImapArg& argument, bool uid, std::vector<ImapFetchItem>& items, vx::Str& error);

}  // namespace ImapFetchItems
