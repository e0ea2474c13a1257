#include "imap_wire/mime_envelope.h"

#include <vector>

#include "imap_wire/imap_string.h"
#include "mime/mime_address.h"
#include "mime/mime_header.h"

namespace {

void AppendAddress(vx::Str& out, const MimeAddress& address) {
    out += '(';
    switch (address.kind) {
        case MimeAddress::Kind::GroupStart:
            out += "NIL NIL ";
            ImapString::AppendString(out, address.name);
            out += " NIL";
            break;
        case MimeAddress::Kind::GroupEnd:
            out += "NIL NIL NIL NIL";
            break;
        case MimeAddress::Kind::Mailbox:
            ImapString::AppendNString(out, address.name);
            out += ' ';
            ImapString::AppendNString(out, address.route);
            out += ' ';
            ImapString::AppendString(out, address.mailbox);
            out += ' ';
            ImapString::AppendString(out, address.host);
            break;
    }
    out += ')';
}

std::vector<MimeAddress> ReadAddresses(std::string_view header, std::string_view name) {
    vx::Str value;
    if (!MimeHeader::Find(header, name, value)) return {};
    return ParseMimeAddresses(value);
}

void AppendAddressList(vx::Str& out, const std::vector<MimeAddress>& list) {
    if (list.empty()) {
        out += "NIL";
        return;
    }
    out += '(';
    for (const MimeAddress& address : list) AppendAddress(out, address);
    out += ')';
}

void AppendField(vx::Str& out, std::string_view header, std::string_view name, bool simplify) {
    vx::Str value;
    MimeHeader::Find(header, name, value);
    ImapString::AppendNString(out, simplify ? SimplifyBlanks(value) : value);
}

}  // namespace

vx::Str WriteEnvelope(std::string_view header) {
    vx::Str out = "(";
    AppendField(out, header, "Date", false);
    out += ' ';
    AppendField(out, header, "Subject", true);
    std::vector<MimeAddress> from = ReadAddresses(header, "From");
    for (const char* name : {"From", "Sender", "Reply-To"}) {
        std::vector<MimeAddress> list = ReadAddresses(header, name);
        out += ' ';
        AppendAddressList(out, list.empty() ? from : list);
    }
    for (const char* name : {"To", "Cc", "Bcc"}) {
        out += ' ';
        AppendAddressList(out, ReadAddresses(header, name));
    }
    out += ' ';
    AppendField(out, header, "In-Reply-To", false);
    out += ' ';
    AppendField(out, header, "Message-ID", false);
    out += ')';
    return out;
}
