#include "mime/mime_fields.h"

#include "mime/mime_header.h"
#include "mime/mime_scanner.h"
#include "text/ascii.h"

namespace {

// RFC 2045 tspecials: what ends a token.
constexpr std::string_view kTokenStops = "()<>@,;:\\\"/[]?=";

// A parameter value: a quoted string or, leniently, anything up to the next
// ";" or blank (unquoted "/" and "=" are common in boundaries).
vx::Str ReadParamValue(MimeScanner& scanner) {
    if (scanner.Peek() == '"') return scanner.QuotedString();
    return vx::Str(scanner.Run(";"));
}

// RFC 2231 attribute-char: what an extended value may carry unencoded.
bool IsAttributeChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$&+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

void AppendPercentEncoded(vx::Str& out, std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : text) {
        if (IsAttributeChar(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
}

// "name*3" or "name*3*": the base name and the segment number; false for
// any other name.
bool SplitSegmentName(std::string_view name, std::string_view& base, size_t& index,
                      bool& extended) {
    extended = !name.empty() && name.back() == '*';
    if (extended) name.remove_suffix(1);
    size_t star = name.rfind('*');
    if (star == std::string_view::npos || star == 0 || star + 1 == name.size() ||
        name.size() - star > 5)
        return false;
    index = 0;
    for (char c : name.substr(star + 1)) {
        if (c < '0' || c > '9') return false;
        index = index * 10 + static_cast<size_t>(c - '0');
    }
    base = name.substr(0, star);
    return true;
}

// Joins the segments of one split parameter, at the place of its first
// segment; a parameter whose segments do not run 0, 1, 2... stays as written.
// Once the first segment is encoded the joined value is too, so plain
// segments are percent-encoded on the way.
void JoinSegments(std::vector<MimeParam>& params, size_t first, std::string_view base) {
    std::vector<size_t> order;
    std::vector<bool> encoded;
    for (size_t next = 0;; ++next) {
        size_t found = params.size();
        bool extended = false;
        for (size_t i = first; i < params.size() && found == params.size(); ++i) {
            std::string_view name;
            size_t index;
            bool ext;
            if (SplitSegmentName(params[i].name, name, index, ext) && index == next &&
                vx::Ascii::EqualNoCase(name, base)) {
                found = i;
                extended = ext;
            }
        }
        if (found == params.size()) break;
        order.push_back(found);
        encoded.push_back(extended);
    }
    if (order.empty()) return;
    MimeParam joined{vx::Str(base) + (encoded[0] ? "*" : ""), ""};
    for (size_t i = 0; i < order.size(); ++i) {
        if (encoded[0] && !encoded[i])
            AppendPercentEncoded(joined.value, params[order[i]].value);
        else
            joined.value += params[order[i]].value;
    }
    params[order[0]] = joined;
    std::vector<bool> drop(params.size(), false);
    for (size_t i = 1; i < order.size(); ++i) drop[order[i]] = true;
    size_t kept = 0;
    for (size_t i = 0; i < params.size(); ++i)
        if (!drop[i]) {
            if (kept != i) params[kept] = std::move(params[i]);
            ++kept;
        }
    params.resize(kept);
}

void JoinSplitParams(std::vector<MimeParam>& params) {
    for (size_t i = 0; i < params.size(); ++i) {
        std::string_view base;
        size_t index;
        bool extended;
        if (SplitSegmentName(params[i].name, base, index, extended) && index == 0)
            JoinSegments(params, i, vx::Str(base));
    }
}

}  // namespace

std::vector<MimeParam> ReadMimeParams(std::string_view value) {
    std::vector<MimeParam> params;
    MimeScanner scanner(value);
    scanner.SkipTo(';');
    while (scanner.Take(';')) {
        scanner.SkipSpace();
        vx::Str name(scanner.Run(kTokenStops));
        scanner.SkipSpace();
        if (!name.empty() && scanner.Take('=')) {
            scanner.SkipSpace();
            params.push_back({name, ReadParamValue(scanner)});
        }
        scanner.SkipTo(';');
    }
    JoinSplitParams(params);
    return params;
}

const vx::Str* FindMimeParam(const std::vector<MimeParam>& params, std::string_view name) {
    for (const MimeParam& param : params)
        if (vx::Ascii::EqualNoCase(param.name, name)) return &param.value;
    return nullptr;
}

namespace {

// "type/subtype" and its parameters; false when the value names no type.
bool ReadContentType(std::string_view value, MimePart& part) {
    MimeScanner scanner(value);
    scanner.SkipSpace();
    vx::Str type(scanner.Run(kTokenStops));
    if (type.empty()) return false;
    scanner.SkipSpace();
    vx::Str subtype;
    if (scanner.Take('/')) {
        scanner.SkipSpace();
        subtype = scanner.Run(kTokenStops);
    }
    part.type = type;
    part.subtype = subtype;
    part.params = ReadMimeParams(value);
    return true;
}

vx::Str ReadToken(std::string_view value) {
    MimeScanner scanner(value);
    scanner.SkipSpace();
    return vx::Str(scanner.Run(kTokenStops));
}

void ReadDisposition(std::string_view value, MimePart& part) {
    part.disposition = ReadToken(value);
    if (!part.disposition.empty()) part.dispositionParams = ReadMimeParams(value);
}

void ReadLanguage(std::string_view value, MimePart& part) {
    MimeScanner scanner(value);
    do {
        scanner.SkipSpace();
        vx::Str tag(scanner.Run(","));
        if (!tag.empty()) part.language.push_back(tag);
        scanner.SkipTo(',');
    } while (scanner.Take(','));
}

void SetDefaultType(MimePart& part, bool inDigest) {
    part.type = inDigest ? "message" : "text";
    part.subtype = inDigest ? "rfc822" : "plain";
    part.params.clear();
}

}  // namespace

void ReadContentFields(MimePart& part, bool inDigest) {
    vx::Str value;
    if (!MimeHeader::Find(part.header, "Content-Type", value) || !ReadContentType(value, part))
        SetDefaultType(part, inDigest);
    // Text always has a character set; without one it is US-ASCII.
    if (vx::Ascii::EqualNoCase(part.type, "text") && !FindMimeParam(part.params, "charset"))
        part.params.push_back({"charset", "us-ascii"});
    part.encoding = MimeHeader::Find(part.header, "Content-Transfer-Encoding", value)
                        ? ReadToken(value)
                        : vx::Str();
    if (part.encoding.empty()) part.encoding = "7bit";
    MimeHeader::Find(part.header, "Content-ID", part.id);
    MimeHeader::Find(part.header, "Content-Description", part.description);
    MimeHeader::Find(part.header, "Content-MD5", part.md5);
    MimeHeader::Find(part.header, "Content-Location", part.location);
    if (MimeHeader::Find(part.header, "Content-Disposition", value)) ReadDisposition(value, part);
    if (MimeHeader::Find(part.header, "Content-Language", value)) ReadLanguage(value, part);
}
