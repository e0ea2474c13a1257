// SEARCH and UID SEARCH (RFC 3501 6.4.4, 6.4.8) of ImapSession. Header
// fields come from the service's listing where it carries them (one value
// per field), otherwise from the message's header (downloaded once, then
// cached); BODY and TEXT read the message itself from its spool file, one
// block at a time.
#include <algorithm>
#include <functional>

#include "imap/imap_failure.h"
#include "imap/imap_session.h"
#include "imap_wire/search_query.h"
#include "mime/mime_header.h"
#include "mime/mime_text_search.h"

namespace {

// One message of the selected folder as a search sees it.
class Subject : public ImapSearchSubject {
public:
    Subject(ImapSelectedFolder& folder, ImapMessageCache& cache, WebmailAccount& account,
            size_t index, std::function<int64_t(const ImapViewMessage&)> arrival,
            std::function<uint64_t(const ImapViewMessage&)> size)
        : folder(folder),
          cache(cache),
          account(account),
          index(index),
          view(folder.At(index)),
          arrival(std::move(arrival)),
          size(std::move(size)) {}

    uint32_t SequenceNumber() override { return static_cast<uint32_t>(index + 1); }
    uint32_t Uid() override { return view.uid; }
    uint8_t Flags() override {
        uint64_t keywords = 0;
        return folder.Flags(index, keywords);
    }
    bool HasKeyword(const vx::Str& keyword) override {
        uint64_t keywords = 0;
        folder.Flags(index, keywords);
        uint64_t bit = folder.State().KeywordBit(keyword, false);
        return bit != 0 && (keywords & bit) != 0;
    }
    bool Recent() override { return view.recent; }
    uint64_t Size() override { return size(view); }
    int64_t InternalDate() override { return arrival(view); }
    std::vector<vx::Str> HeaderFields(const vx::Str& name) override {
        // The listing gives "" for a field the message lacks.
        if (const vx::Str* listed = view.listed.Field(name))
            return listed->empty() ? std::vector<vx::Str>() : std::vector<vx::Str>{*listed};
        const vx::Str& header = cache.Structure(account, view.listed.href, true).root.header;
        return MimeHeader::FindAll(header, name);
    }
    bool Contains(const vx::Str& text, bool header) override {
        const vx::Str& href = view.listed.href;
        const ImapMessageCache::Message& message = cache.Spooled(account, href);
        vx::TextFinder finder(text);
        return MimeTextContains(message.root, header, finder,
                                [&](uint64_t offset, uint64_t size, vxw::BodySink& sink) {
                                    cache.SendRange(href, offset, size, sink);
                                });
    }
    uint32_t LargestSequenceNumber() override { return static_cast<uint32_t>(folder.Count()); }
    uint32_t LargestUid() override {
        return folder.Count() ? folder.At(folder.Count() - 1).uid : 0;
    }

private:
    ImapSelectedFolder& folder;
    ImapMessageCache& cache;
    WebmailAccount& account;
    size_t index;
    ImapViewMessage& view;
    std::function<int64_t(const ImapViewMessage&)> arrival;
    std::function<uint64_t(const ImapViewMessage&)> size;
};

}  // namespace

void ImapSession::CmdSearch(Request& request) {
    ImapSearchQuery query;
    vx::Str error;
    bool badCharset = false;
    if (!query.Parse(request.args, 0, error, badCharset))
        throw badCharset ? ImapFailure::No(error) : ImapFailure::Bad(error);
    vx::Str found = "SEARCH";
    for (size_t i = 0; i < selected->Count(); ++i) {
        Subject subject(
            *selected, messages, *account, i,
            [this](const ImapViewMessage& view) { return ArrivalTime(view); },
            [this](const ImapViewMessage& view) { return MessageSize(view); });
        uint64_t downloads = messages.Downloads();
        bool matches = query.Matches(subject);
        KeepUnread(selected->At(i), downloads);
        if (!matches) continue;
        found += " " + std::to_string(request.uid ? selected->At(i).uid : i + 1);
    }
    Untagged(found);
    Tagged(request.tag, "OK", request.uid ? "UID SEARCH completed" : "SEARCH completed");
}
