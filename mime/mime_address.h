#pragma once
// Address lists of a message header (RFC 5322 3.4) as ENVELOPE reports them
// (RFC 3501 7.4.2): mailboxes with a display name, a source route, a local
// part and a domain; groups as a start and an end marker. Lenient: what mail
// carries gets a place, with MISSING_MAILBOX / MISSING_DOMAIN standing in for
// an absent local part or domain so that it never reads as a group marker.
#include <string_view>
#include <vector>

#include "core/str.h"

struct MimeAddress {
    enum class Kind { Mailbox, GroupStart, GroupEnd };
    Kind kind = Kind::Mailbox;
    vx::Str name;     // display name (of the group for GroupStart), or a comment
    vx::Str route;    // "@a,@b" of an obsolete source route
    vx::Str mailbox;  // the local part
    vx::Str host;     // the domain
};

std::vector<MimeAddress> ParseMimeAddresses(std::string_view value);

// An address list as a search reads it, written as Dovecot shows it:
// "Name" <mailbox@domain> or mailbox@domain, <@route:mailbox@domain>,
// groups as Name: ...; with ", " between. Comments are gone, but one that
// stands in for a missing display name, and encoded words in names are
// decoded (DecodeHeaderText).
vx::Str MimeAddressText(std::string_view value);

// Blanks and line breaks folded to single spaces, none at either end: how
// names and subjects read.
vx::Str SimplifyBlanks(std::string_view text);
