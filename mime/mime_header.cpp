#include "mime/mime_header.h"

#include "text/ascii.h"

namespace MimeHeader {
namespace {

// The length of the line at the start of text, its LF included.
size_t LineLength(std::string_view text) {
    size_t lf = text.find('\n');
    return lf == std::string_view::npos ? text.size() : lf + 1;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsEmptyLine(std::string_view line) {
    return line == "\n" || line == "\r\n";
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::string_view TrimBlanksRight(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

bool FieldReader::Next(Field& field) {
    if (rest.empty() || IsEmptyLine(rest.substr(0, LineLength(rest)))) return false;
    size_t size = LineLength(rest);
    while (size < rest.size() && IsBlank(rest[size])) size += LineLength(rest.substr(size));
    field.whole = rest.substr(0, size);
    rest.remove_prefix(size);
    size_t colon = field.whole.find(':');
    size_t firstLine = LineLength(field.whole);
    if (colon == std::string_view::npos || colon >= firstLine) {
        field.name = field.whole.substr(0, firstLine);
        while (!field.name.empty() && (field.name.back() == '\n' || field.name.back() == '\r'))
            field.name.remove_suffix(1);
        field.value = {};
        return true;
    }
    field.name = TrimBlanksRight(field.whole.substr(0, colon));
    field.value = field.whole.substr(colon + 1);
    return true;
}

vx::Str Unfold(std::string_view value) {
    vx::Str out;
    out.reserve(value.size());
    for (char c : value)
        if (c != '\r' && c != '\n') out += c;
    size_t start = 0;
    while (start < out.size() && IsBlank(out[start])) ++start;
    return out.substr(start);
}

bool Find(std::string_view header, std::string_view name, vx::Str& value) {
    FieldReader reader(header);
    Field field;
    while (reader.Next(field)) {
        if (vx::Ascii::EqualNoCase(field.name, name)) {
            value = Unfold(field.value);
            return true;
        }
    }
    return false;
}

std::vector<vx::Str> FindAll(std::string_view header, std::string_view name) {
    std::vector<vx::Str> values;
    FieldReader reader(header);
    Field field;
    while (reader.Next(field))
        if (vx::Ascii::EqualNoCase(field.name, name)) values.push_back(Unfold(field.value));
    return values;
}

vx::Str Filter(std::string_view header, const std::vector<vx::Str>& names, bool keep) {
    vx::Str out;
    FieldReader reader(header);
    Field field;
    while (reader.Next(field)) {
        bool named = false;
        for (const vx::Str& name : names) named = named || vx::Ascii::EqualNoCase(field.name, name);
        if (named != keep) continue;
        out.append(field.whole);
        if (field.whole.back() != '\n') out += "\r\n";
    }
    // A header that ends the message without an empty line gets none here
    // either (RFC 3501 6.4.5).
    bool ended = header == "\n" || header == "\r\n" || EndsWith(header, "\n\n") ||
                 EndsWith(header, "\n\r\n");
    if (ended) out += "\r\n";
    return out;
}

}  // namespace MimeHeader
