#include "pop3/dot_stuffer.h"

#include <cstring>

// Looks for the dots, not for the line ends: a dot is rarer than a line end
// in most mail and no commoner in the rest, and only a dot can need work.
const char* DotStuffer::NextLineStartDot(const char* data, const char* from,
                                         const char* end) const {
    while (from < end) {
        const void* found = std::memchr(from, '.', static_cast<size_t>(end - from));
        if (found == nullptr) return nullptr;
        const char* dot = static_cast<const char*>(found);
        // The two bytes before the dot, from this block or from the last one.
        char first = dot - data >= 2 ? dot[-2] : dot - data == 1 ? last : beforeLast;
        char second = dot - data >= 1 ? dot[-1] : last;
        if (first == '\r' && second == '\n') return dot;
        from = dot + 1;
    }
    return nullptr;
}

void DotStuffer::Remember(const char* data, size_t size) {
    beforeLast = size >= 2 ? data[size - 2] : last;
    last = data[size - 1];
}

bool DotStuffer::PassesUnchanged(const char* data, size_t size) {
    if (size == 0) return true;
    if (NextLineStartDot(data, data, data + size) != nullptr) return false;
    Remember(data, size);
    return true;
}

void DotStuffer::Feed(const char* data, size_t size, vx::Str& out) {
    if (size == 0) return;
    const char* end = data + size;
    const char* copied = data;  // bytes before this are in out
    for (const char* dot = NextLineStartDot(data, data, end); dot != nullptr;
         dot = NextLineStartDot(data, dot + 1, end)) {
        out.append(copied, dot);
        out.push_back('.');
        copied = dot;
    }
    out.append(copied, end);
    Remember(data, size);
}
