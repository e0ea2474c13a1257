#include "mime/mime_body_text.h"

#include "mime/mime_fields.h"

namespace {

std::string_view CharsetOf(const MimePart& part) {
    const vx::Str* charset = FindMimeParam(part.params, "charset");
    return charset != nullptr ? std::string_view(*charset) : std::string_view();
}

// Where a line too long to wait for may be cut: not inside a UTF-8
// sequence (a few bytes back at most), else anywhere.
size_t CutPoint(const vx::Str& text, size_t at) {
    for (size_t back = 0; back < 4 && at > back; ++back) {
        unsigned char byte = static_cast<unsigned char>(text[at - back]);
        if ((byte & 0xC0) != 0x80) return at - back;
    }
    return at;
}

}  // namespace

MimeBodyText::MimeBodyText(const MimePart& part, vx::TextFinder& finder)
    : transfer(part.encoding), charset(CharsetOf(part)), finder(finder) {
    finder.Break();
}

bool MimeBodyText::Put(const char* data, size_t size) {
    if (finder.Found()) return false;
    transfer.Decode(std::string_view(data, size), decoded);
    Pass(false);
    return !finder.Found();
}

bool MimeBodyText::Finish() {
    if (!finder.Found()) {
        transfer.Finish(decoded);
        Pass(true);
    }
    finder.Break();
    return finder.Found();
}

void MimeBodyText::Pass(bool end) {
    size_t ready = decoded.size();
    if (!end) {
        size_t lineEnd = decoded.rfind('\n');
        if (lineEnd != vx::Str::npos)
            ready = lineEnd + 1;
        else if (decoded.size() > kMaxLine)
            ready = CutPoint(decoded, decoded.size() - 1);
        else
            ready = 0;
    }
    if (ready == 0) return;
    folded.clear();
    charset.AppendFolded(folded, std::string_view(decoded).substr(0, ready));
    decoded.erase(0, ready);
    finder.Feed(folded);
}
