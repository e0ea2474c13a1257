#include "webmail/listing_reader.h"

#include <climits>
#include <cstdlib>

#include "text/xml.h"

namespace {

const char* const kNames[] = {"D:href", "D:isfolder", "D:getcontentlength", "hm:read", "hm:date",
                              "m:subject", "m:from", "m:to", "m:date"};

int64_t ReadSize(const vx::Str& text) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return -1;
    long long size = std::strtoll(text.c_str(), nullptr, 10);
    return size == LLONG_MAX ? -1 : size;
}

}  // namespace

void ListingReader::Read(const vx::Str& listing, std::vector<ListedMessage>& messages) {
    // Nothing of a listing that turns out malformed halfway is handed out.
    std::vector<ListedMessage> read;
    ListingReader reader(read);
    vx::Xml::Scan(listing, reader);
    messages.swap(read);
}

void ListingReader::Open(std::string_view name, size_t depth) {
    int property = -1;
    // The root itself is no response, as a search below it would not find it.
    if (responseDepth == 0 && depth > 1 && name == "D:response") {
        responseDepth = depth;
        for (Found& each : found) each = Found();
    } else if (responseDepth != 0) {
        for (int i = 0; i < kProperties; ++i) {
            // The first in document order wins, even over one nested inside it.
            if (name == kNames[i] && !found[i].present) {
                found[i].present = true;
                property = i;
                break;
            }
        }
    }
    openAt.push_back(property);
}

void ListingReader::Close(size_t depth, std::string_view content) {
    int property = openAt.back();
    openAt.pop_back();
    if (property >= 0) found[property].content = content;
    if (depth == responseDepth) {
        responseDepth = 0;
        Finish();
    }
}

void ListingReader::Finish() {
    auto value = [&](Property property) { return vx::Xml::Decode(found[property].content); };
    // A folder inside the folder is no message.
    if (value(kIsFolder) == "1") return;
    ListedMessage message;
    message.href = value(kHref);
    if (message.href.empty()) return;
    message.size = ReadSize(value(kLength));
    if (found[kRead].present) message.read = value(kRead) == "1" ? 1 : 0;
    const struct {
        Property property;
        vx::Str ListedMessage::*field;
    } kHeaders[] = {{kSubject, &ListedMessage::subject},
                    {kFrom, &ListedMessage::from},
                    {kTo, &ListedMessage::to},
                    {kDate, &ListedMessage::date}};
    for (const auto& header : kHeaders) {
        if (!found[header.property].present) continue;
        message.hasHeaders = true;
        message.*header.field = value(header.property);
    }
    message.received = value(kReceived);
    messages.push_back(std::move(message));
}
