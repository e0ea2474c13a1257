#include "imap_wire/mime_section.h"

#include <algorithm>

#include "imap_wire/imap_string.h"
#include "mime/mime_header.h"
#include "mime/mime_scanner.h"
#include "text/ascii.h"

namespace {

struct Keyword {
    const char* name;
    MimeSection::Text text;
};

const Keyword kKeywords[] = {
    {"HEADER", MimeSection::Text::Header},
    {"HEADER.FIELDS", MimeSection::Text::HeaderFields},
    {"HEADER.FIELDS.NOT", MimeSection::Text::HeaderFieldsNot},
    {"TEXT", MimeSection::Text::Text},
    {"MIME", MimeSection::Text::Mime},
};

bool HasFields(MimeSection::Text text) {
    return text == MimeSection::Text::HeaderFields || text == MimeSection::Text::HeaderFieldsNot;
}

// Reads "1.2." off the front of head; false for a number too large or empty.
bool ReadPartNumbers(std::string_view& head, std::vector<uint32_t>& part) {
    while (!head.empty() && head[0] >= '0' && head[0] <= '9') {
        uint64_t number = 0;
        size_t digits = 0;
        while (digits < head.size() && head[digits] >= '0' && head[digits] <= '9') {
            number = number * 10 + static_cast<uint64_t>(head[digits] - '0');
            if (number > UINT32_MAX) return false;
            ++digits;
        }
        part.push_back(static_cast<uint32_t>(number));
        head.remove_prefix(digits);
        if (head.empty()) return true;
        if (head[0] != '.' || head.size() == 1) return false;
        head.remove_prefix(1);
    }
    return true;
}

// The field names of "(A "B" C)"; false unless it is exactly such a list.
bool ReadFieldList(std::string_view list, std::vector<vx::Str>& fields) {
    MimeScanner scanner(list);
    if (!scanner.Take('(')) return false;
    while (!scanner.Take(')')) {
        if (scanner.AtEnd()) return false;
        if (!fields.empty() && !scanner.Take(' ')) return false;
        if (scanner.Peek() == '"') {
            fields.push_back(scanner.QuotedString());
        } else {
            std::string_view atom = scanner.Run("(){%*\"\\");
            if (atom.empty()) return false;
            fields.emplace_back(atom);
        }
    }
    return scanner.AtEnd() && !fields.empty();
}

}  // namespace

bool ParseMimeSectionHead(std::string_view head, MimeSection& section) {
    section.part.clear();
    section.text = MimeSection::Text::All;
    if (!ReadPartNumbers(head, section.part)) return false;
    if (head.empty()) return true;
    for (const Keyword& keyword : kKeywords) {
        if (vx::Ascii::EqualNoCase(head, keyword.name)) {
            section.text = keyword.text;
            return keyword.text != MimeSection::Text::Mime || !section.part.empty();
        }
    }
    return false;
}

bool ParseMimeSection(std::string_view inside, MimeSection& section) {
    size_t space = inside.find(' ');
    if (!ParseMimeSectionHead(inside.substr(0, space), section)) return false;
    section.fields.clear();
    if (!HasFields(section.text)) return space == std::string_view::npos;
    return space != std::string_view::npos &&
           ReadFieldList(inside.substr(space + 1), section.fields);
}

vx::Str MimeSectionName(const MimeSection& section) {
    vx::Str name;
    for (uint32_t number : section.part) {
        if (!name.empty()) name += '.';
        name += std::to_string(number);
    }
    for (const Keyword& keyword : kKeywords) {
        if (keyword.text != section.text) continue;
        if (!name.empty()) name += '.';
        name += keyword.name;
    }
    if (!HasFields(section.text)) return name;
    name += " (";
    for (size_t i = 0; i < section.fields.size(); ++i) {
        if (i) name += ' ';
        vx::Str upper = section.fields[i];
        for (char& c : upper) c = vx::Ascii::ToUpper(c);
        ImapString::AppendAString(name, upper);
    }
    name += ')';
    return name;
}

namespace {

// The part that numbers name (RFC 3501 6.4.5): the parts of a multipart are
// counted from 1; a message/rfc822 part's numbers go on inside its message;
// a part that is neither has itself as part 1. Null when there is no such part.
const MimePart* FindPart(const MimePart& root, const std::vector<uint32_t>& numbers) {
    const MimePart* node = &root;
    bool atMessage = true;  // node is a message, not yet a part of one
    for (uint32_t number : numbers) {
        if (!atMessage && node->kind == MimePart::Kind::Message) {
            node = &node->children.front();
            atMessage = true;
        }
        if (node->kind == MimePart::Kind::Multipart) {
            if (number == 0 || number > node->children.size()) return nullptr;
            node = &node->children[number - 1];
        } else if (number != 1) {
            return nullptr;
        }
        atMessage = false;
    }
    return node;
}

MimeSectionData Range(uint64_t offset, uint64_t size) {
    MimeSectionData data;
    data.offset = offset;
    data.size = size;
    return data;
}

}  // namespace

MimeSectionData ResolveMimeSection(const MimePart& root, const MimeSection& section) {
    const MimePart* part = FindPart(root, section.part);
    if (!part) return Range(0, 0);
    if (section.text == MimeSection::Text::All) {
        if (section.part.empty()) return Range(0, root.bodyOffset + root.bodySize);
        return Range(part->bodyOffset, part->bodySize);
    }
    if (section.text == MimeSection::Text::Mime) return Range(part->headerOffset, part->headerSize);
    // HEADER and TEXT belong to a message: the whole one, or a message/rfc822 part's.
    const MimePart* message = part;
    if (!section.part.empty()) {
        if (part->kind != MimePart::Kind::Message) return Range(0, 0);
        message = &part->children.front();
    }
    switch (section.text) {
        case MimeSection::Text::Header:
            return Range(message->headerOffset, message->headerSize);
        case MimeSection::Text::Text:
            return Range(message->bodyOffset, message->bodySize);
        default: {
            MimeSectionData data;
            data.kind = MimeSectionData::Kind::Bytes;
            data.bytes = MimeHeader::Filter(message->header, section.fields,
                                            section.text == MimeSection::Text::HeaderFields);
            return data;
        }
    }
}

MimeSectionData ClipMimeSection(MimeSectionData data, uint64_t start, uint64_t count) {
    uint64_t size = data.Size();
    start = std::min(start, size);
    count = std::min(count, size - start);
    if (data.kind == MimeSectionData::Kind::Range) {
        data.offset += start;
        data.size = count;
    } else {
        data.bytes = data.bytes.substr(start, count);
    }
    return data;
}
