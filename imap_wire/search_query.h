#pragma once
// The search keys of SEARCH (RFC 3501 6.4.4) as a tree, read from the
// command's arguments, and their test against one message. What a key needs
// of the message (its flags, its header fields, its text) is asked for
// through ImapSearchSubject only when the key is tested, so a search on
// flags never downloads anything.
//
// Texts are compared as a person reads them, letter case folded beyond
// ASCII (vx::FoldCase): header fields with their encoded words decoded
// (DecodeHeaderText); FROM, TO, CC and BCC as the addresses show
// (MimeAddressText), so comments inside an address do not count; SUBJECT
// with runs of blanks as one; BODY and TEXT through MimeTextContains. The
// search text is UTF-8 (or US-ASCII); an empty one matches every message
// that has the field.
#include <cstdint>
#include <memory>
#include <vector>

#include "core/str.h"
#include "imap_wire/command_parser.h"
#include "imap_wire/sequence_set.h"

// What a search sees of one message.
class ImapSearchSubject {
public:
    virtual ~ImapSearchSubject() = default;
    virtual uint32_t SequenceNumber() = 0;
    virtual uint32_t Uid() = 0;
    virtual uint8_t Flags() = 0;  // ImapFlag bits
    virtual bool HasKeyword(const vx::Str& keyword) = 0;
    virtual bool Recent() = 0;
    virtual uint64_t Size() = 0;
    virtual int64_t InternalDate() = 0;  // seconds, UTC
    // The values of every field named name, in header order, line breaks
    // removed and encoded words left as written; none when there is none.
    virtual std::vector<vx::Str> HeaderFields(const vx::Str& name) = 0;
    // Whether the text of the body (with header, and of every header too)
    // holds text, which is folded (vx::FoldCase) and not empty.
    virtual bool Contains(const vx::Str& text, bool header) = 0;
    // The largest sequence number and UID in the mailbox, for "*".
    virtual uint32_t LargestSequenceNumber() = 0;
    virtual uint32_t LargestUid() = 0;
};

class ImapSearchQuery {
public:
    // Reads the keys from args[first] on (after any CHARSET). False with a
    // reason for BAD; badCharset is set when the charset is not one we read
    // (US-ASCII, UTF-8), the reason then being for NO.
    bool Parse(const std::vector<ImapArg>& args, size_t first, vx::Str& error, bool& badCharset);
    bool Matches(ImapSearchSubject& message) const;

    struct Key;

private:
    std::vector<std::shared_ptr<Key>> keys;  // all must match
};
