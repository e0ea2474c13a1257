#pragma once
// The section of a BODY[section]<partial> fetch (RFC 3501 6.4.5) and what it
// names in a parsed message: a byte range of the raw message, or for a header
// filter the few bytes it makes.
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/str.h"
#include "mime/mime_part.h"

struct MimeSection {
    enum class Text { All, Header, HeaderFields, HeaderFieldsNot, Text, Mime };
    std::vector<uint32_t> part;  // "1.2" -> {1, 2}; empty: the message itself
    Text text = Text::All;
    std::vector<vx::Str> fields;  // for HeaderFields and HeaderFieldsNot
};

// The part numbers and the keyword ("1.2.HEADER.FIELDS", "TEXT", "3", "");
// fields stay as they are. False for bad syntax (MIME needs a part number).
bool ParseMimeSectionHead(std::string_view head, MimeSection& section);

// The whole text between the brackets, the field list included
// ("HEADER.FIELDS (From \"To\")"; names as atoms or quoted strings). False for
// bad syntax, also a field list missing, empty or where none belongs.
bool ParseMimeSection(std::string_view inside, MimeSection& section);

// The section as the reply names it: BODY[<this>]; field names upper-cased.
vx::Str MimeSectionName(const MimeSection& section);

struct MimeSectionData {
    enum class Kind { Range, Bytes };
    Kind kind = Kind::Range;
    uint64_t offset = 0;  // Range: where it starts in the raw message
    uint64_t size = 0;    // Range: how many bytes
    vx::Str bytes;        // Bytes: the section itself

    uint64_t Size() const { return kind == Kind::Range ? size : bytes.size(); }
};

// What section names in the message of root. A part that does not exist, or
// HEADER or TEXT of a part that holds no message, is empty, as in other
// servers.
MimeSectionData ResolveMimeSection(const MimePart& root, const MimeSection& section);

// The <start.count> of a partial fetch: empty when start lies past the end.
MimeSectionData ClipMimeSection(MimeSectionData data, uint64_t start, uint64_t count);
