#include "imap_state/message_cache.h"

#include <algorithm>

#include "core/exception.h"
#include "mime/mime_parser.h"
#include "text/ascii.h"

namespace {

constexpr size_t kPartCost = sizeof(MimePart) + 256;
constexpr size_t kCopyBlock = 64 * 1024;

size_t Footprint(const MimePart& part) {
    size_t bytes = kPartCost + part.header.size();
    for (const MimePart& child : part.children) bytes += Footprint(child);
    return bytes;
}

// Feeds a download to the parser until the top-level header has ended,
// then stops it.
class HeaderSink : public MessageSink {
public:
    explicit HeaderSink(MimeParser& parser) : parser(parser) {}
    void Begin() override {}
    bool Put(const char* data, size_t size) override {
        parser.Feed(data, size);
        return !parser.HeaderDone();
    }

private:
    MimeParser& parser;
};

// Feeds a download to the parser and the temporary file.
class SpoolSink : public MessageSink {
public:
    SpoolSink(MimeParser& parser, ImapSpoolFile& file) : parser(parser), file(file) {}
    void Begin() override { file.Clear(); }
    bool Put(const char* data, size_t size) override {
        parser.Feed(data, size);
        file.Write(data, size);
        return true;
    }

private:
    MimeParser& parser;
    ImapSpoolFile& file;
};

}  // namespace

const ImapMessageCache::Message* ImapMessageCache::Find(const vx::Str& href) {
    auto found = byHref.find(href);
    if (found == byHref.end()) return nullptr;
    entries.splice(entries.begin(), entries, found->second);
    return &found->second->message;
}

int64_t ImapMessageCache::KnownSize(const vx::Str& href) const {
    auto found = byHref.find(href);
    if (found == byHref.end() || !found->second->message.whole) return -1;
    return static_cast<int64_t>(found->second->message.size);
}

const ImapMessageCache::Message& ImapMessageCache::Keep(const vx::Str& href, Message message) {
    auto found = byHref.find(href);
    if (found != byHref.end()) {
        held -= found->second->footprint;
        entries.erase(found->second);
        byHref.erase(found);
    }
    size_t footprint = Footprint(message.root) + href.size();
    entries.push_front({href, std::move(message), footprint});
    byHref[href] = entries.begin();
    held += footprint;
    // The newest entry stays even when it alone is over the budget.
    while (held > kBudget && entries.size() > 1) {
        held -= entries.back().footprint;
        byHref.erase(entries.back().href);
        entries.pop_back();
    }
    return entries.front().message;
}

const ImapMessageCache::Message& ImapMessageCache::Structure(WebmailAccount& account,
                                                             const vx::Str& href, bool headerOnly) {
    const Message* known = Find(href);
    if (known != nullptr && (known->whole || headerOnly)) return *known;
    return headerOnly ? DownloadHeader(account, href) : DownloadWhole(account, href);
}

const ImapMessageCache::Message& ImapMessageCache::DownloadHeader(WebmailAccount& account,
                                                                  const vx::Str& href) {
    MimeParser parser;
    HeaderSink sink(parser);
    ++downloads;
    account.GetMessage(href, sink);
    Message message;
    message.root = parser.Finish();
    return Keep(href, std::move(message));
}

const ImapMessageCache::Message& ImapMessageCache::DownloadWhole(WebmailAccount& account,
                                                                 const vx::Str& href) {
    if (!spool) spool = std::make_unique<ImapSpoolFile>();
    spooledHref.clear();
    MimeParser parser;
    SpoolSink sink(parser, *spool);
    ++downloads;
    account.GetMessage(href, sink);
    Message message;
    message.root = parser.Finish();
    message.size = spool->Size();
    message.whole = true;
    spooledHref = href;
    return Keep(href, std::move(message));
}

const ImapMessageCache::Message& ImapMessageCache::Spooled(WebmailAccount& account,
                                                           const vx::Str& href) {
    const Message* known = Find(href);
    if (known != nullptr && known->whole && spooledHref == href) return *known;
    return DownloadWhole(account, href);
}

void ImapMessageCache::SendRange(const vx::Str& href, uint64_t offset, uint64_t size,
                                 vxw::BodySink& out) {
    if (spooledHref != href || !spool)
        throw vx::Exception(
            "ImapMessageCache::SendRange - The message is not in the temporary file");
    std::unique_ptr<char[]> block(new char[kCopyBlock]);
    while (size > 0) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(size, kCopyBlock));
        size_t got = spool->ReadAt(offset, block.get(), want);
        if (got == 0)
            throw vx::Exception(
                "ImapMessageCache::SendRange - The message is shorter than its parts");
        if (!out.Put(block.get(), got)) return;
        offset += got;
        size -= got;
    }
}
