#pragma once
// Reading the fields of a header section (RFC 5322 2.2): a field runs from a
// line with its name to the last continuation line that starts with a blank.
// Line ends may be CR LF or a bare LF. A line without a colon is a field
// whose name is the whole line, so that it matches no real name.
#include <string_view>
#include <vector>

#include "core/str.h"

namespace MimeHeader {

struct Field {
    std::string_view name;   // before the colon, trailing blanks removed
    std::string_view value;  // after the colon, folding and line end kept
    std::string_view whole;  // every byte of the field, its last line end included
};

// Walks the fields of a header; stops at the empty line that ends it.
class FieldReader {
public:
    explicit FieldReader(std::string_view header) : rest(header) {}
    bool Next(Field& field);

private:
    std::string_view rest;
};

// The value with its line breaks removed and the blanks at its start.
vx::Str Unfold(std::string_view value);

// The value of the first field named name (any letter case), unfolded;
// false when the header has none.
bool Find(std::string_view header, std::string_view name, vx::Str& value);
// The values of every field named name, in header order, unfolded.
std::vector<vx::Str> FindAll(std::string_view header, std::string_view name);

// The fields named (keep) or not named (!keep) in names, in header order and
// as written, then the empty line if the header ended with one:
// BODY[HEADER.FIELDS (...)] and .NOT.
vx::Str Filter(std::string_view header, const std::vector<vx::Str>& names, bool keep);

}  // namespace MimeHeader
