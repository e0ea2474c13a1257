#pragma once
// What RETR and TOP do to a message's text before it is sent.
#include <cstddef>
#include <cstdint>

#include "core/str.h"

// "X-Mirelink-Folder: <folder>" and CR LF: put in front of every message so
// that the mail client can tell which web mail folder it came from.
vx::Str FolderHeaderLine(const vx::Str& folder);

// Keeps the header section, the empty line after it and the first `lines`
// body lines. A text without an empty line, or with fewer body lines, stays
// whole. Lines begin at the start of the text and after each CR LF.
void CutToTopLines(vx::Str& text, int64_t lines);

// CutToTopLines for a text that arrives in pieces: it tells how much of each
// piece belongs to the cut text, and that the rest of the text is not needed.
// For a count of 0 or more nothing is held; a negative count cuts inside the
// header section, so that section is held until its end is known.
class TopLinesCut {
public:
    explicit TopLinesCut(int64_t lines) : lines(lines) {}

    // Adds the next piece of the text; out receives what of it (and of what
    // was held) belongs to the cut text, in order. True while more of the
    // text may still belong to it.
    bool Feed(const char* data, size_t size, vx::Str& out);
    // The text has ended: whatever is still held belongs to the cut text.
    void Finish(vx::Str& out);

private:
    // Feed for a count of 0 or more; returns how many bytes of data belong.
    size_t Take(const char* data, size_t size);
    bool FeedHeld(const char* data, size_t size, vx::Str& out);

    const int64_t lines;
    bool done = false;
    bool inBody = false;  // the empty line after the header section has passed
    int64_t bodyLines = 0;  // body lines passed so far
    // The last bytes seen, to find a CR LF CR LF or a CR LF across pieces.
    uint32_t recent = 0;
    vx::Str held;  // a negative count's header section, until it is complete
};

// The unique id of a message for UIDL: its URL, cut to the last 70
// characters, the longest id RFC 1939 allows.
vx::Str UniqueId(const vx::Str& href);
