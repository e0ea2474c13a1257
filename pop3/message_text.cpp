#include "pop3/message_text.h"

namespace {

const vx::Str kFolderHeaderName = "X-Mirelink-Folder";
constexpr size_t kMaxUniqueIdLength = 70;

// The start of the line `count` lines after the one starting at `from`, or
// npos when the text has no such line.
size_t LineStartAfter(const vx::Str& text, size_t from, int64_t count) {
    for (; count > 0; --count) {
        size_t end = text.find("\r\n", from);
        if (end == vx::Str::npos) return vx::Str::npos;
        from = end + 2;
    }
    return from < text.size() ? from : vx::Str::npos;
}

int64_t LineNumberAt(const vx::Str& text, size_t position) {
    int64_t number = 0;
    for (size_t at = text.find("\r\n"); at != vx::Str::npos && at + 2 <= position;
         at = text.find("\r\n", at + 2)) {
        ++number;
    }
    return number;
}

}  // namespace

vx::Str FolderHeaderLine(const vx::Str& folder) {
    return kFolderHeaderName + ": " + folder + "\r\n";
}

void CutToTopLines(vx::Str& text, int64_t lines) {
    size_t headerEnd = text.find("\r\n\r\n");
    if (headerEnd == vx::Str::npos) return;
    size_t bodyStart = headerEnd + 4;
    // Walk forward from the first body line; a negative count (atoi of "-2")
    // counts back into the header section from the start of the text.
    size_t cut = lines >= 0 ? LineStartAfter(text, bodyStart, lines) : vx::Str::npos;
    if (lines < 0) {
        int64_t target = LineNumberAt(text, bodyStart) + lines;
        if (target >= 0) cut = LineStartAfter(text, 0, target);
    }
    if (cut != vx::Str::npos) text.resize(cut);
}

bool TopLinesCut::Feed(const char* data, size_t size, vx::Str& out) {
    if (done) return false;
    if (lines < 0) return FeedHeld(data, size, out);
    size_t taken = Take(data, size);
    out.append(data, taken);
    return !done;
}

// Walks the bytes with the last four seen: the header section ends at the
// first CR LF CR LF, and each CR LF after it ends a body line.
size_t TopLinesCut::Take(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        recent = (recent << 8) | static_cast<unsigned char>(data[i]);
        if ((recent & 0xffff) != 0x0d0a) continue;
        if (!inBody) {
            if (recent != 0x0d0a0d0a) continue;
            inBody = true;
        } else {
            ++bodyLines;
        }
        if (bodyLines == lines) {
            done = true;
            return i + 1;
        }
    }
    return size;
}

// The header section is held until its end is found, then cut whole; a text
// that the count keeps whole goes on unheld from there.
bool TopLinesCut::FeedHeld(const char* data, size_t size, vx::Str& out) {
    if (inBody) {
        out.append(data, size);
        return true;
    }
    size_t searchFrom = held.size() >= 3 ? held.size() - 3 : 0;
    held.append(data, size);
    size_t headerEnd = held.find("\r\n\r\n", searchFrom);
    if (headerEnd == vx::Str::npos) return true;
    size_t before = held.size();
    CutToTopLines(held, lines);
    done = held.size() < before;
    inBody = true;
    out += held;
    held.clear();
    return !done;
}

void TopLinesCut::Finish(vx::Str& out) {
    out += held;
    held.clear();
}

vx::Str UniqueId(const vx::Str& href) {
    return href.size() > kMaxUniqueIdLength ? href.substr(href.size() - kMaxUniqueIdLength) : href;
}
