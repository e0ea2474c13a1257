#pragma once
// One part of a parsed message, with what BODYSTRUCTURE, ENVELOPE and the
// BODY[section] fetches need (RFC 3501 6.4.5, 7.4.2). Positions are octets of
// the raw message as the service delivered it; bodies are never kept.
#include <cstdint>
#include <vector>

#include "core/str.h"

struct MimeParam {
    vx::Str name;   // as written
    vx::Str value;  // quotes and escapes removed; RFC 2047 words left as they are
};

struct MimePart {
    // Message: a message/rfc822 part; its one child is the message inside.
    enum class Kind { Leaf, Multipart, Message };
    Kind kind = Kind::Leaf;

    uint64_t headerOffset = 0;
    uint64_t headerSize = 0;  // the empty line that ends the header included
    uint64_t bodyOffset = 0;
    uint64_t bodySize = 0;
    uint64_t bodyLines = 0;  // LF characters in the body
    // The header's bytes: the message header for a message, the MIME header
    // for a body part. Cut short only past the parser's limits
    // (headerComplete then false); the offsets stay exact.
    vx::Str header;
    bool headerComplete = true;

    // Content fields as written, folding removed; empty means absent (NIL).
    vx::Str type;  // "text" when absent ("message" in a digest)
    vx::Str subtype;
    std::vector<MimeParam> params;
    vx::Str id;
    vx::Str description;
    vx::Str encoding;  // "7bit" when absent
    vx::Str md5;
    vx::Str disposition;
    std::vector<MimeParam> dispositionParams;
    std::vector<vx::Str> language;
    vx::Str location;

    // Multipart: its parts, at least one. Message: exactly one, the
    // encapsulated message (header = that message's header).
    std::vector<MimePart> children;
};
