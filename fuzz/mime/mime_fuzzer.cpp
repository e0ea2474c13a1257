// The MIME parser and what is written from its tree: any message gives a
// tree whose parts lie inside the message and inside their parents, the same
// tree however the message is cut into pieces, and ENVELOPE, BODYSTRUCTURE
// and every section in well-formed IMAP syntax within the message's bytes.
#include <algorithm>
#include <string>

#include "fuzz/support/fuzz_check.h"
#include "imap_wire/mime_bodystructure.h"
#include "imap_wire/mime_envelope.h"
#include "imap_wire/mime_section.h"
#include "mime/mime_parser.h"

namespace {

// One IMAP value list: atoms, numbers, NIL, quoted strings with escapes,
// literals, parenthesised lists, single blanks between them. True when text
// is exactly one such value.
bool WellFormed(const std::string& text) {
    size_t at = 0;
    int depth = 0;
    bool needValue = true;
    while (at < text.size()) {
        char c = text[at];
        if (c == '(') {
            ++depth;
            ++at;
            needValue = true;
            continue;
        }
        if (c == ')') {
            if (--depth < 0) return false;
            ++at;
            needValue = false;
        } else if (c == ' ') {
            if (needValue || at + 1 >= text.size() || text[at + 1] == ' ' || text[at + 1] == ')')
                return false;
            ++at;
            needValue = true;
            continue;
        } else if (c == '"') {
            for (++at; at < text.size() && text[at] != '"'; ++at) {
                unsigned char q = static_cast<unsigned char>(text[at]);
                if (q == '\r' || q == '\n' || q == 0 || q >= 0x80) return false;
                if (q == '\\' && ++at < text.size() && text[at] != '"' && text[at] != '\\')
                    return false;
            }
            if (at++ >= text.size()) return false;
        } else if (c == '{') {
            size_t close = text.find("}\r\n", at);
            if (close == std::string::npos) return false;
            size_t size = std::stoul(text.substr(at + 1, close - at - 1));
            at = close + 3 + size;
            if (at > text.size() || text.substr(close + 3, size).find('\0') != std::string::npos)
                return false;
        } else {
            size_t end = text.find_first_of(" ()", at);
            if (end == at) return false;
            at = end == std::string::npos ? text.size() : end;
        }
        needValue = false;
    }
    return depth == 0 && !needValue;
}

void CheckPart(const MimePart& part, uint64_t begin, uint64_t end, const std::string& message) {
    FUZZ_CHECK(begin <= part.headerOffset);
    FUZZ_CHECK(part.headerOffset + part.headerSize == part.bodyOffset);
    FUZZ_CHECK(part.bodyOffset + part.bodySize <= end);
    FUZZ_CHECK(part.header.size() <= part.headerSize);
    FUZZ_CHECK(message.compare(part.headerOffset, part.header.size(), part.header) == 0);
    FUZZ_CHECK(part.kind == MimePart::Kind::Leaf || !part.children.empty());
    FUZZ_CHECK(part.kind != MimePart::Kind::Message || part.children.size() == 1);
    for (const MimePart& child : part.children)
        CheckPart(child, part.bodyOffset, part.bodyOffset + part.bodySize, message);
}

std::string Describe(const MimePart& part) {
    std::string out = std::to_string(part.headerOffset) + "+" + std::to_string(part.headerSize) +
                      "/" + std::to_string(part.bodySize) + "/" + std::to_string(part.bodyLines) +
                      (part.headerComplete ? "" : "!") + "(";
    for (const MimePart& child : part.children) out += Describe(child);
    return out + ")";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string message(fuzz_support::AsText(data, size));
    MimePart whole = ParseMimeMessage(message);
    FUZZ_CHECK(whole.headerOffset == 0);
    FUZZ_CHECK(whole.bodyOffset + whole.bodySize == message.size());
    CheckPart(whole, 0, message.size(), message);

    // The same bytes in pieces whose sizes come from the bytes themselves.
    MimeParser parser;
    for (size_t at = 0, i = 0; at < message.size(); ++i) {
        size_t piece = 1 + static_cast<unsigned char>(message[i % message.size()]) % 23;
        piece = std::min(piece, message.size() - at);
        parser.Feed(message.data() + at, piece);
        at += piece;
    }
    MimePart cut = parser.Finish();
    const std::string structure = WriteBodyStructure(whole, true);
    FUZZ_CHECK(Describe(cut) == Describe(whole));
    FUZZ_CHECK(WriteBodyStructure(cut, true) == structure);

    FUZZ_CHECK(WellFormed(structure));
    FUZZ_CHECK(WellFormed(WriteBodyStructure(whole, false)));
    FUZZ_CHECK(WellFormed(WriteEnvelope(whole.header)));
    for (const char* inside : {"", "TEXT", "HEADER", "1", "1.MIME", "2.1", "1.2.HEADER",
                               "2.TEXT", "HEADER.FIELDS (FROM SUBJECT)", "1.HEADER.FIELDS.NOT (TO)"}) {
        MimeSection section;
        FUZZ_CHECK(ParseMimeSection(inside, section));
        MimeSectionData data = ResolveMimeSection(whole, section);
        if (data.kind == MimeSectionData::Kind::Range)
            FUZZ_CHECK(data.offset + data.size <= message.size());
    }
    return 0;
}
