#pragma once
// The messages this gateway submitted lately, per account: a service that
// files a copy of each submission in its sent folder would otherwise hold
// two once a mail client saves its own sent copy there over IMAP. The SMTP
// service records each message the service accepted; an IMAP APPEND to the
// sent folder asks whether its message is one of them. Process-wide, bounded
// in entries and age, safe from any session thread.
#include <cstdint>
#include <deque>
#include <mutex>
#include <string_view>

#include "core/body_stream.h"
#include "core/str.h"

class SubmissionRegistry {
public:
    // How long and how many submissions are remembered.
    static constexpr int64_t kKeepSeconds = 10 * 60;
    static constexpr size_t kMaxEntries = 1000;
    // A client's copy may differ from what it submitted by a few header
    // fields (Bcc, its own markers), and the service's copy by those it adds.
    static constexpr uint64_t kSizeSlack = 4096;
    // Of a header, no more than this is read for its Message-ID.
    static constexpr size_t kMaxHeader = 64 * 1024;

    static SubmissionRegistry& Instance();

    // A message the service accepted from account (any letter case); a
    // message without a Message-ID is not recorded.
    void Record(const vx::Str& account, const vx::Str& messageId, uint64_t size, int64_t now);
    // Whether account submitted a message of that Message-ID and about that
    // size within kKeepSeconds before now.
    bool Submitted(const vx::Str& account, const vx::Str& messageId, uint64_t size,
                   int64_t now) const;
    // Forgets everything (tests).
    void Clear();

    // The Message-ID field's value of a message (its "<...>"), "" when it
    // has none within kMaxHeader. The source is read from its start and left
    // rewound.
    static vx::Str MessageId(vxw::BodySource& text);
    static vx::Str MessageIdOfHeader(std::string_view header);

private:
    struct Entry {
        vx::Str account;  // lower case
        vx::Str messageId;
        uint64_t size;
        int64_t when;
    };
    void Expire(int64_t now);

    mutable std::mutex lock;
    std::deque<Entry> entries;  // oldest first
};
