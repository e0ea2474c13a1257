#pragma once
// The address in the argument of MAIL ("FROM:<a@b.example> SIZE=10") or RCPT
// ("TO: <c@d.example>"): the text between the marker and the next ">".
// Anything after the ">" (ESMTP parameters) is ignored.
#include <cstdint>

#include "core/str.h"

enum class AddressArgument {
    Found,
    NotFound,    // neither marker in the argument
    Incomplete,  // no ">" after the marker, or fewer than 2 characters before it
};

// The two spellings of one command's marker, found without regard to case;
// the first is looked for first.
struct AddressMarkers {
    const char* plain;   // "from:<"
    const char* spaced;  // "from: <"
};

extern const AddressMarkers kSenderMarkers;
extern const AddressMarkers kRecipientMarkers;

// On Found, address holds the text between the marker and the ">";
// otherwise it is left alone.
AddressArgument ParseAddressArgument(const vx::Str& argument, const AddressMarkers& markers,
                                     vx::Str& address);

// The size a MAIL argument declares with the SIZE parameter of RFC 1870
// ("FROM:<a@b.example> SIZE=1000"), or 0 when it declares none. A value too
// large to hold counts as the largest.
uint64_t DeclaredSize(const vx::Str& argument);
