#pragma once
// Reads a folder's multistatus listing into ListedMessage entries in one pass
// over the text, without building its tree: a listing of 10,000 messages is
// some 120,000 elements, and making, searching and freeing their nodes cost
// more than the rest of an IMAP SELECT together. Each D:response gives the
// first of each property found in it, depth first, as a search of its tree
// would; a D:response inside another is read as part of the outer one.
#include <string_view>
#include <vector>

#include "core/str.h"
#include "text/xml_parser.h"
#include "webmail/account.h"

class ListingReader : public vx::XmlVisitor {
public:
    // Throws vx::Exception for a listing that is no well-formed document.
    static void Read(const vx::Str& listing, std::vector<ListedMessage>& messages);

    void Open(std::string_view name, size_t depth) override;
    void Close(size_t depth, std::string_view content) override;

private:
    enum Property { kHref, kIsFolder, kLength, kRead, kReceived, kSubject, kFrom, kTo, kDate,
                    kProperties };
    struct Found {
        bool present = false;
        std::string_view content;
    };

    explicit ListingReader(std::vector<ListedMessage>& messages) : messages(messages) {}
    void Finish();

    std::vector<ListedMessage>& messages;
    size_t responseDepth = 0;     // of the open D:response, 0 when none is open
    std::vector<int> openAt;      // per open element, the property it fills or -1
    Found found[kProperties];
};
