#pragma once
// Byte-stuffing of a multi-line POP3 answer (RFC 1939, 3): a "." at the start
// of the text or right after CR LF gets a second "." in front. Only CR LF ends
// a line here; a bare LF does not. The stuffer keeps the last bytes it saw,
// so a text can be fed in blocks cut anywhere.
#include <cstddef>

#include "core/str.h"

class DotStuffer {
public:
    // Appends the stuffed form of the next size bytes to out.
    void Feed(const char* data, size_t size, vx::Str& out);
    void Feed(const vx::Str& text, vx::Str& out) { Feed(text.data(), text.size(), out); }
    // True when the next size bytes need no stuffing (as in a Base64
    // attachment); they then count as fed and may be sent as they are.
    bool PassesUnchanged(const char* data, size_t size);

private:
    // The first dot at or after from that starts a line, or nullptr; data is
    // where the current block starts (the bytes before it are remembered).
    const char* NextLineStartDot(const char* data, const char* from, const char* end) const;
    // Keeps the last two bytes of a block that has been fed.
    void Remember(const char* data, size_t size);

    // The text so far ended with CR LF; at the start it counts as if it had.
    char beforeLast = '\r';
    char last = '\n';
};
