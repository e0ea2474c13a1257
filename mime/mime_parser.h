#pragma once
// A streaming MIME parser (RFC 2045, 2046, 5322): fed a message in pieces cut
// anywhere, it builds the part tree with the offsets of every header and body
// and keeps only the headers. Mail as it is found is taken as well: bare LF
// line ends, parts without a header, a header without its empty line, missing
// or broken boundaries (a line that starts with "--" and a boundary ends the
// part, as in other servers), 8-bit and NUL bytes. It never throws on content.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "mime/mime_part.h"

class MimeParser {
public:
    // Bounds on what one message can make the parser keep; beyond them the
    // rest is taken as plain content and the offsets stay exact.
    static constexpr size_t kMaxDepth = 100;  // nested multiparts and messages
    static constexpr size_t kMaxParts = 10000;
    static constexpr size_t kMaxHeaderKept = 256 * 1024;        // per part
    static constexpr size_t kMaxHeadersKept = 4 * 1024 * 1024;  // all parts together
    static constexpr size_t kMaxBoundary = 1000;                // a longer one is taken as none

    MimeParser();
    ~MimeParser();
    MimeParser(const MimeParser&) = delete;
    MimeParser& operator=(const MimeParser&) = delete;

    void Feed(const char* data, size_t size);
    void Feed(std::string_view data) { Feed(data.data(), data.size()); }
    // Ends the message and hands out its tree; the parser is spent then.
    MimePart Finish();
    // The message header is complete (its empty line was fed): a caller that
    // only wants the header may stop feeding and Finish; the root's header is
    // then whole, its body and parts cover only what was fed.
    bool HeaderDone() const { return !open.empty() && !open.front().inHeader; }

private:
    // A part whose end is not known yet.
    struct Open {
        MimePart* part;
        bool inHeader;
        bool inDigest;          // its parent is a multipart/digest
        uint64_t lfAtBody = 0;  // LF characters before its body
        vx::Str boundary;       // an open multipart's boundary; empty when none or closed
    };

    // The next bytes of the current line; ended when they end with its LF.
    void ScanLine(const char* data, size_t size, bool ended);
    void EndLine(bool ended);
    // Which open multipart the current line is a boundary of (level in open).
    bool MatchBoundary(size_t& level, bool& close) const;
    void OnBoundary(size_t level, bool close);
    // Ends the innermost open parts at end until count are left.
    void CloseTo(size_t count, uint64_t end, uint64_t lfAtEnd);
    void EndHeader(Open& part, uint64_t end, uint64_t lfAtEnd);
    void BeginBody(size_t level);
    void EndBody(Open& part, uint64_t end, uint64_t lfAtEnd);
    void AppendHeader(Open& part, const char* data, size_t size);
    void StartChild(size_t level, uint64_t at);
    size_t LineLookahead() const;

    std::unique_ptr<MimePart> root;
    std::vector<Open> open;  // the root first, the innermost last
    uint64_t offset = 0;     // bytes fed
    uint64_t lfCount = 0;    // LF characters fed
    size_t parts = 1;
    size_t headersKept = 0;
    size_t longestBoundary = 0;

    // The line being read.
    uint64_t lineStart = 0;
    uint64_t lfAtLineStart = 0;
    size_t previousLineEnd = 0;  // 2 after CR LF, 1 after a bare LF, 0 at the start
    uint64_t lineLength = 0;
    char lastByte = 0;  // the last byte fed, for a CR LF cut between pieces
    vx::Str lineHead;   // its first bytes, as far as a boundary test needs them
};

// The tree of a whole message in one piece.
MimePart ParseMimeMessage(std::string_view message);
