// FETCH and UID FETCH (RFC 3501 6.4.5, 6.4.8) of ImapSession. Each message's
// answer is prepared whole before any of it is written: whatever has to come
// from the service (a header, the message in the temporary file) is fetched
// first, so a failure can still be answered with NO and the client is never
// left inside a half-sent literal. Header fields that the service's listing
// carries are answered from the listing, without a download.
#include <algorithm>

#include "imap/imap_failure.h"
#include "imap/imap_session.h"
#include "imap_wire/fetch_items.h"
#include "imap_wire/imap_date.h"
#include "imap_wire/mime_bodystructure.h"
#include "imap_wire/mime_envelope.h"
#include "text/ascii.h"

namespace {

using Kind = ImapFetchItem::Kind;
using Text = MimeSection::Text;

// "message-id" as headers write it: "Message-Id".
vx::Str CanonicalName(vx::Str name) {
    bool start = true;
    for (char& c : name) {
        c = start ? vx::Ascii::ToUpper(c) : vx::Ascii::ToLower(c);
        start = c == '-';
    }
    return name;
}

// HEADER.FIELDS of fields the listing carries, from the listing: the fields
// in the order asked, named as asked, those the message lacks left out,
// then the empty line. False when a field asked for is not listed.
bool FieldsFromListing(const ListedMessage& listed, const MimeSection& section, vx::Str& bytes) {
    if (!listed.hasHeaders || !section.part.empty() || section.text != Text::HeaderFields)
        return false;
    bytes.clear();
    std::vector<const vx::Str*> done;
    for (const vx::Str& field : section.fields) {
        const vx::Str* value = listed.Field(field);
        if (value == nullptr) return false;
        if (std::find(done.begin(), done.end(), value) != done.end()) continue;
        done.push_back(value);
        // The value as the service lists it: the field unfolded.
        if (!value->empty()) bytes += CanonicalName(field) + ": " + *value + "\r\n";
    }
    bytes += "\r\n";
    return true;
}

bool NeedsOnlyHeader(const MimeSection& section) {
    return section.part.empty() &&
           (section.text == Text::Header || section.text == Text::HeaderFields ||
            section.text == Text::HeaderFieldsNot);
}

}  // namespace

// One piece of a FETCH answer: response text, or a literal from bytes at
// hand or from the message in the temporary file.
struct ImapSession::FetchPiece {
    vx::Str text;
    bool literal = false;
    bool fromSpool = false;
    vx::Str bytes;
    uint64_t offset = 0;
    uint64_t size = 0;
};

void ImapSession::CmdFetch(Request& request) {
    RequireArgs(request, 2);
    std::vector<size_t> indexes = SelectMessages(request, 0);
    std::vector<ImapFetchItem> items;
    vx::Str error;
    if (!ImapFetchItems::Parse(request.args[1], request.uid, items, error))
        throw ImapFailure::Bad(error);
    AnnounceKeywords();
    for (size_t index : indexes) FetchOne(index, items);
    Tagged(request.tag, "OK", request.uid ? "UID FETCH completed" : "FETCH completed");
}

void ImapSession::FetchOne(size_t index, const std::vector<ImapFetchItem>& items) {
    ImapViewMessage& view = selected->At(index);
    uint64_t keywords = 0;
    uint8_t flags = selected->Flags(index, keywords);
    bool marksSeen = !selected->ReadOnly() && !(flags & ImapFlag::kSeen) &&
                     std::any_of(items.begin(), items.end(),
                                 [](const ImapFetchItem& item) { return item.setsSeen; });
    std::vector<FetchPiece> pieces;
    pieces.reserve(items.size());
    bool flagsAsked = false;
    uint64_t downloads = messages.Downloads();
    for (const ImapFetchItem& item : items) {
        if (item.kind == Kind::Flags) flagsAsked = true;
        PrepareItem(view, item, pieces);
    }
    if (marksSeen)
        selected->SetFlags(index, flags | ImapFlag::kSeen, keywords, *account);
    else
        KeepUnread(view, downloads);
    // The flags come last, so that they show the \Seen just set.
    auto flagList = [&] {
        return marksSeen ? selected->FlagList(index) : selected->FlagList(index, flags, keywords);
    };
    vx::Str line;
    line.reserve(128);
    line.append("* ").append(std::to_string(index + 1)).append(" FETCH (");
    bool first = true;
    for (FetchPiece& piece : pieces) {
        if (piece.text == "FLAGS") piece.text.append(" ").append(flagList());
        if (!piece.text.empty()) {
            if (!first) line += ' ';
            line += piece.text;
            first = false;
        }
        if (!piece.literal) continue;
        out.Write(line + " ");
        line.clear();
        out.BeginLiteral(piece.size);
        if (piece.fromSpool)
            messages.SendRange(view.listed.href, piece.offset, piece.size, out);
        else
            out.WriteData(piece.bytes.data(), piece.bytes.size());
    }
    if (marksSeen && !flagsAsked) line.append(" FLAGS ").append(selected->FlagList(index));
    line += ")\r\n";
    out.Write(line);
}

void ImapSession::PrepareItem(ImapViewMessage& view, const ImapFetchItem& item,
                              std::vector<FetchPiece>& pieces) {
    FetchPiece piece;
    const vx::Str& href = view.listed.href;
    switch (item.kind) {
        case Kind::Flags:
            piece.text = "FLAGS";  // filled in once \Seen is settled
            break;
        case Kind::Uid:
            piece.text = "UID " + std::to_string(view.uid);
            break;
        case Kind::InternalDate:
            piece.text = "INTERNALDATE " + ImapDate::InternalDate(ArrivalTime(view));
            break;
        case Kind::Size:
            piece.text = "RFC822.SIZE " + std::to_string(MessageSize(view));
            break;
        case Kind::Envelope:
            piece.text =
                "ENVELOPE " + WriteEnvelope(messages.Structure(*account, href, true).root.header);
            break;
        case Kind::BodyStructure:
        case Kind::Body:
            piece.text = item.label + " " +
                         WriteBodyStructure(messages.Structure(*account, href, false).root,
                                            item.kind == Kind::BodyStructure);
            break;
        case Kind::Section:
            PrepareSection(view, item, piece);
            break;
    }
    pieces.push_back(std::move(piece));
}

void ImapSession::PrepareSection(ImapViewMessage& view, const ImapFetchItem& item,
                                 FetchPiece& piece) {
    const vx::Str& href = view.listed.href;
    piece.text = item.label;
    piece.literal = true;
    MimeSectionData data;
    data.kind = MimeSectionData::Kind::Bytes;
    if (!FieldsFromListing(view.listed, item.section, data.bytes)) {
        bool headerOnly = NeedsOnlyHeader(item.section);
        const ImapMessageCache::Message& message = headerOnly
                                                       ? messages.Structure(*account, href, true)
                                                       : messages.Spooled(*account, href);
        data = ResolveMimeSection(message.root, item.section);
        const vx::Str& header = message.root.header;
        if (data.kind == MimeSectionData::Kind::Range) {
            // The top-level header is kept whole in memory; anything else
            // comes from the message in the temporary file.
            if (message.root.headerComplete && data.offset + data.size <= header.size()) {
                data.kind = MimeSectionData::Kind::Bytes;
                data.bytes = header.substr(data.offset, data.size);
            } else if (!messages.IsSpooled(href)) {
                messages.Spooled(*account, href);
            }
        }
    }
    if (item.partial) data = ClipMimeSection(std::move(data), item.start, item.count);
    piece.size = data.Size();
    if (data.kind == MimeSectionData::Kind::Range) {
        piece.fromSpool = true;
        piece.offset = data.offset;
    } else {
        piece.bytes = std::move(data.bytes);
    }
}

void ImapSession::KeepUnread(ImapViewMessage& view, uint64_t downloadsBefore) {
    // A service that marks a message read when it is downloaded (as the
    // web mail service does) would otherwise turn every peek into a read.
    if (messages.Downloads() != downloadsBefore) selected->PutBackReadState(view, *account);
}

// INTERNALDATE: when the message reached the service where its listing says
// so, else what its header says, else when the gateway first saw it. Kept in
// the state once known, so the header is read once, and a copy or move
// takes it along.
int64_t ImapSession::ArrivalTime(const ImapViewMessage& view) {
    int64_t arrived = selected->State().Arrived(view.uid);
    if (arrived != 0) return arrived;
    // Removed by another session meanwhile: as it was when last listed.
    if (view.arrived != 0) return view.arrived;
    if (view.listed.received.empty() || !ImapDate::ParseIsoDate(view.listed.received, arrived)) {
        const vx::Str& header = messages.Structure(*account, view.listed.href, true).root.header;
        if (!ImapDate::ArrivalFromHeader(header, arrived)) arrived = view.firstSeen;
    }
    if (arrived == 0) arrived = 1;  // 0 stands for unknown
    // Another session may have known it meanwhile (a message just put here).
    int64_t kept = selected->State().SetArrived(view.uid, arrived);
    return kept != 0 ? kept : arrived;
}

uint64_t ImapSession::MessageSize(const ImapViewMessage& view) {
    int64_t known = messages.KnownSize(view.listed.href);
    if (known >= 0) return static_cast<uint64_t>(known);
    if (view.listed.size >= 0) return static_cast<uint64_t>(view.listed.size);
    return messages.Structure(*account, view.listed.href, false).size;
}
