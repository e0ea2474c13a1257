#include "pop3/dot_stuffer.h"

#include <cstring>
#include <string_view>

bool DotStuffer::PassesUnchanged(const char* data, size_t size) {
    if (size == 0) return true;
    bool lineStart = beforeLast == '\r' && last == '\n';
    bool crBefore = last == '\r' && size >= 2 && data[0] == '\n' && data[1] == '.';
    if ((lineStart && data[0] == '.') || crBefore ||
        std::string_view(data, size).find("\r\n.") != std::string_view::npos) {
        return false;
    }
    beforeLast = size >= 2 ? data[size - 2] : last;
    last = data[size - 1];
    return true;
}

void DotStuffer::Feed(const char* data, size_t size, vx::Str& out) {
    if (size == 0) return;
    const char* end = data + size;
    const char* copied = data;  // bytes before this are in out
    if (beforeLast == '\r' && last == '\n' && *data == '.') out.push_back('.');
    for (const char* at = data; at < end;) {
        const void* found = std::memchr(at, '\n', static_cast<size_t>(end - at));
        if (found == nullptr) break;
        const char* lineFeed = static_cast<const char*>(found);
        const char* next = lineFeed + 1;
        bool afterCr = lineFeed > data ? lineFeed[-1] == '\r' : last == '\r';
        if (afterCr && next < end && *next == '.') {
            out.append(copied, next);
            out.push_back('.');
            copied = next;
        }
        at = next;
    }
    out.append(copied, end);
    beforeLast = size >= 2 ? end[-2] : last;
    last = end[-1];
}
