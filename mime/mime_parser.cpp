#include "mime/mime_parser.h"

#include <algorithm>
#include <cstring>

#include "mime/mime_fields.h"
#include "text/ascii.h"

namespace {

// Blanks after a boundary that still let it match exactly.
constexpr size_t kBoundaryPadding = 64;

std::string_view TrimLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ' ||
                             line.back() == '\t'))
        line.remove_suffix(1);
    return line;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// A Multipart or Message part closed before its content showed up still has
// the child the protocol requires: an empty text part.
void AddEmptyChild(MimePart& part) {
    MimePart child;
    child.headerOffset = child.bodyOffset = part.bodyOffset;
    ReadContentFields(child, false);
    part.children.push_back(std::move(child));
}

// An empty part (and its empty children) at a new place: where its parent's
// body begins once a boundary took back that parent's empty line.
void PlaceEmpty(MimePart& part, uint64_t at) {
    part.headerOffset = part.bodyOffset = at;
    part.headerSize = part.bodySize = part.bodyLines = 0;
    part.header.clear();
    for (MimePart& child : part.children) PlaceEmpty(child, at);
}

}  // namespace

MimeParser::MimeParser() : root(std::make_unique<MimePart>()) {
    open.push_back({root.get(), true, false, 0, {}});
}

MimeParser::~MimeParser() = default;

void MimeParser::Feed(const char* data, size_t size) {
    const char* end = data + size;
    while (data < end) {
        const char* lf = static_cast<const char*>(std::memchr(data, '\n', end - data));
        const char* stop = lf ? lf + 1 : end;
        ScanLine(data, stop - data, lf != nullptr);
        data = stop;
    }
}

void MimeParser::ScanLine(const char* data, size_t size, bool ended) {
    if (open.back().inHeader) AppendHeader(open.back(), data, size);
    if (lineLength == 0 || lineHead[0] == '-') {
        size_t want = LineLookahead();
        if (lineHead.size() < want) lineHead.append(data, std::min(size, want - lineHead.size()));
    }
    bool crBeforeLf = size >= 2 ? data[size - 2] == '\r' : lastByte == '\r' && lineLength > 0;
    lineLength += size;
    offset += size;
    lastByte = data[size - 1];
    if (!ended) return;
    ++lfCount;
    EndLine(true);
    previousLineEnd = crBeforeLf ? 2 : 1;
    lineStart = offset;
    lfAtLineStart = lfCount;
    lineLength = 0;
    lineHead.clear();
}

size_t MimeParser::LineLookahead() const {
    return 4 + longestBoundary + kBoundaryPadding;
}

void MimeParser::EndLine(bool ended) {
    size_t level;
    bool close;
    if (MatchBoundary(level, close)) {
        OnBoundary(level, close);
        return;
    }
    bool empty = ended && (lineLength == 1 || (lineLength == 2 && lineHead[0] == '\r'));
    if (empty && open.back().inHeader) {
        EndHeader(open.back(), offset, lfCount);
        BeginBody(open.size() - 1);
    }
}

bool MimeParser::MatchBoundary(size_t& level, bool& close) const {
    if (lineHead.size() < 3 || lineHead[0] != '-' || lineHead[1] != '-' || parts >= kMaxParts)
        return false;
    std::string_view rest = std::string_view(lineHead).substr(2);
    // An exact match first, so that a boundary that begins with another one
    // is still told apart from it.
    if (lineHead.size() == lineLength) {
        std::string_view exact = TrimLineEnd(rest);
        for (size_t i = open.size(); i-- > 0;) {
            const vx::Str& boundary = open[i].boundary;
            if (boundary.empty() || !StartsWith(exact, boundary)) continue;
            std::string_view after = exact.substr(boundary.size());
            if (after.empty() || after == "--") {
                level = i;
                close = !after.empty();
                return true;
            }
        }
    }
    for (size_t i = open.size(); i-- > 0;) {
        const vx::Str& boundary = open[i].boundary;
        if (boundary.empty() || !StartsWith(rest, boundary)) continue;
        level = i;
        close = StartsWith(rest.substr(boundary.size()), "--");
        return true;
    }
    return false;
}

void MimeParser::OnBoundary(size_t level, bool close) {
    // The line end before a boundary belongs to the boundary (RFC 2046 5.1.1).
    uint64_t end = lineStart - previousLineEnd;
    uint64_t lfAtEnd = lfAtLineStart - (previousLineEnd ? 1 : 0);
    CloseTo(level + 1, end, lfAtEnd);
    if (close)
        open[level].boundary.clear();
    else
        StartChild(level, offset);
}

void MimeParser::CloseTo(size_t count, uint64_t end, uint64_t lfAtEnd) {
    while (open.size() > count) {
        Open& last = open.back();
        if (last.inHeader) EndHeader(last, end, lfAtEnd);
        EndBody(last, end, lfAtEnd);
        open.pop_back();
    }
}

void MimeParser::EndHeader(Open& part, uint64_t end, uint64_t lfAtEnd) {
    MimePart& p = *part.part;
    // A part that began after a boundary line whose line end the next
    // boundary takes is empty, and lies where its parent ends.
    p.headerOffset = std::min(p.headerOffset, end);
    p.headerSize = end - p.headerOffset;
    if (p.header.size() > p.headerSize) p.header.resize(p.headerSize);
    p.bodyOffset = end;
    part.lfAtBody = lfAtEnd;
    part.inHeader = false;
    ReadContentFields(p, part.inDigest);
    bool room = open.size() < kMaxDepth && parts < kMaxParts;
    if (room && vx::Ascii::EqualNoCase(p.type, "multipart"))
        p.kind = MimePart::Kind::Multipart;
    else if (room && vx::Ascii::EqualNoCase(p.type, "message") &&
             vx::Ascii::EqualNoCase(p.subtype, "rfc822"))
        p.kind = MimePart::Kind::Message;
}

void MimeParser::BeginBody(size_t level) {
    MimePart& p = *open[level].part;
    if (p.kind == MimePart::Kind::Message) {
        StartChild(level, p.bodyOffset);
    } else if (p.kind == MimePart::Kind::Multipart) {
        const vx::Str* boundary = FindMimeParam(p.params, "boundary");
        if (boundary && boundary->size() <= kMaxBoundary) {
            open[level].boundary = *boundary;
            longestBoundary = std::max(longestBoundary, boundary->size());
        }
    }
}

void MimeParser::EndBody(Open& part, uint64_t end, uint64_t lfAtEnd) {
    MimePart& p = *part.part;
    // A boundary right after the empty line takes that line's end: the part
    // is then its header lines alone.
    if (end < p.bodyOffset) {
        p.bodyOffset = std::max(end, p.headerOffset);
        p.headerSize = p.bodyOffset - p.headerOffset;
        if (p.header.size() > p.headerSize) p.header.resize(p.headerSize);
        for (MimePart& child : p.children) PlaceEmpty(child, p.bodyOffset);
    }
    p.bodySize = end > p.bodyOffset ? end - p.bodyOffset : 0;
    p.bodyLines = p.bodySize ? lfAtEnd - part.lfAtBody : 0;
    if (p.kind != MimePart::Kind::Leaf && p.children.empty()) AddEmptyChild(p);
}

void MimeParser::AppendHeader(Open& part, const char* data, size_t size) {
    MimePart& p = *part.part;
    size_t room = std::min(kMaxHeaderKept - std::min(kMaxHeaderKept, p.header.size()),
                           kMaxHeadersKept - headersKept);
    size_t take = std::min(size, room);
    p.header.append(data, take);
    headersKept += take;
    if (take < size) p.headerComplete = false;
}

void MimeParser::StartChild(size_t level, uint64_t at) {
    MimePart& parent = *open[level].part;
    bool digest = parent.kind == MimePart::Kind::Multipart &&
                  vx::Ascii::EqualNoCase(parent.subtype, "digest");
    parent.children.emplace_back();
    parent.children.back().headerOffset = at;
    ++parts;
    open.push_back({&parent.children.back(), true, digest, 0, {}});
}

MimePart MimeParser::Finish() {
    if (lineLength > 0) EndLine(false);
    CloseTo(0, offset, lfCount);
    open.clear();
    return std::move(*root);
}

MimePart ParseMimeMessage(std::string_view message) {
    MimeParser parser;
    parser.Feed(message);
    return parser.Finish();
}
