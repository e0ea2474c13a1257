#pragma once
// A session's knowledge of message contents, so that a client's sweep over
// a folder costs one GET per message once: the parsed structure of recent
// messages (headers and part offsets, never bodies) in a cache bounded by
// the bytes it holds, and the bytes of the last message whose body was
// asked for in a private temporary file. A header-only question stops the
// download once the header is in.
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>

#include "core/body_stream.h"
#include "core/str.h"
#include "imap_state/spool_file.h"
#include "mime/mime_part.h"
#include "webmail/account.h"

class ImapMessageCache {
public:
    struct Message {
        MimePart root;
        uint64_t size = 0;   // bytes of the whole message (when whole)
        bool whole = false;  // false: only the top-level header is known
    };

    // What the cache may hold, counted as header bytes and parts.
    static constexpr size_t kBudget = 16 * 1024 * 1024;

    // The structure of the message at href: only its header when headerOnly
    // and nothing more is known yet. Throws what the service throws.
    const Message& Structure(WebmailAccount& account, const vx::Str& href, bool headerOnly);
    // The whole structure of the message at href, with its bytes in the
    // temporary file (downloaded unless they are there already). Call it
    // before announcing a literal: a failed download must come first.
    const Message& Spooled(WebmailAccount& account, const vx::Str& href);
    bool IsSpooled(const vx::Str& href) const { return spool && spooledHref == href; }
    // Writes size bytes of the spooled message at href from offset to out, a
    // block at a time, until out wants no more.
    void SendRange(const vx::Str& href, uint64_t offset, uint64_t size, vxw::BodySink& out);
    // Downloads so far: a session compares the count before and after a
    // command to learn whether the service was asked for the message.
    uint64_t Downloads() const { return downloads; }
    // The size of the message when it is known without a download, else -1.
    int64_t KnownSize(const vx::Str& href) const;

private:
    struct Entry {
        vx::Str href;
        Message message;
        size_t footprint = 0;
    };
    const Message* Find(const vx::Str& href);
    const Message& Keep(const vx::Str& href, Message message);
    const Message& DownloadHeader(WebmailAccount& account, const vx::Str& href);
    const Message& DownloadWhole(WebmailAccount& account, const vx::Str& href);

    std::list<Entry> entries;  // most recently used first
    std::unordered_map<vx::Str, std::list<Entry>::iterator> byHref;
    size_t held = 0;
    uint64_t downloads = 0;
    std::unique_ptr<ImapSpoolFile> spool;
    vx::Str spooledHref;  // the message in spool, or ""
};
