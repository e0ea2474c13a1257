#include "imap_wire/mime_bodystructure.h"

#include <vector>

#include "imap_wire/imap_string.h"
#include "imap_wire/mime_envelope.h"
#include "text/ascii.h"

namespace {

void AppendParams(vx::Str& out, const std::vector<MimeParam>& params) {
    if (params.empty()) {
        out += "NIL";
        return;
    }
    out += '(';
    for (size_t i = 0; i < params.size(); ++i) {
        if (i) out += ' ';
        ImapString::AppendString(out, params[i].name);
        out += ' ';
        ImapString::AppendString(out, params[i].value);
    }
    out += ')';
}

void AppendDisposition(vx::Str& out, const MimePart& part) {
    if (part.disposition.empty()) {
        out += "NIL";
        return;
    }
    out += '(';
    ImapString::AppendString(out, part.disposition);
    out += ' ';
    AppendParams(out, part.dispositionParams);
    out += ')';
}

void AppendLanguage(vx::Str& out, const std::vector<vx::Str>& language) {
    if (language.empty()) {
        out += "NIL";
        return;
    }
    out += '(';
    for (size_t i = 0; i < language.size(); ++i) {
        if (i) out += ' ';
        ImapString::AppendString(out, language[i]);
    }
    out += ')';
}

// body-ext-1part and the part of body-ext-mpart after the parameters.
void AppendExtension(vx::Str& out, const MimePart& part) {
    out += ' ';
    AppendDisposition(out, part);
    out += ' ';
    AppendLanguage(out, part.language);
    out += ' ';
    ImapString::AppendNString(out, part.location);
}

void AppendPart(vx::Str& out, const MimePart& part, bool extended);

void AppendMultipart(vx::Str& out, const MimePart& part, bool extended) {
    out += '(';
    for (const MimePart& child : part.children) AppendPart(out, child, extended);
    out += ' ';
    ImapString::AppendString(out, part.subtype);
    if (extended) {
        out += ' ';
        AppendParams(out, part.params);
        AppendExtension(out, part);
    }
    out += ')';
}

void AppendSinglePart(vx::Str& out, const MimePart& part, bool extended) {
    out += '(';
    ImapString::AppendString(out, part.type);
    out += ' ';
    ImapString::AppendString(out, part.subtype);
    out += ' ';
    AppendParams(out, part.params);
    out += ' ';
    ImapString::AppendNString(out, part.id);
    out += ' ';
    ImapString::AppendNString(out, part.description);
    out += ' ';
    ImapString::AppendString(out, part.encoding);
    out += ' ';
    out += std::to_string(part.bodySize);
    if (part.kind == MimePart::Kind::Message) {
        const MimePart& inner = part.children.front();
        out += ' ';
        out += WriteEnvelope(inner.header);
        out += ' ';
        AppendPart(out, inner, extended);
        out += ' ';
        out += std::to_string(part.bodyLines);
    } else if (vx::Ascii::EqualNoCase(part.type, "text")) {
        out += ' ';
        out += std::to_string(part.bodyLines);
    }
    if (extended) {
        out += ' ';
        ImapString::AppendNString(out, part.md5);
        AppendExtension(out, part);
    }
    out += ')';
}

void AppendPart(vx::Str& out, const MimePart& part, bool extended) {
    if (part.kind == MimePart::Kind::Multipart)
        AppendMultipart(out, part, extended);
    else
        AppendSinglePart(out, part, extended);
}

}  // namespace

vx::Str WriteBodyStructure(const MimePart& part, bool extended) {
    vx::Str out;
    AppendPart(out, part, extended);
    return out;
}
