#include "mime/mime_text_search.h"

#include "mime/header_text.h"
#include "mime/mime_body_text.h"
#include "text/ascii.h"
#include "text/case_fold.h"

namespace {

class Search {
public:
    Search(bool headers, vx::TextFinder& finder, const MimeRangeReader& read)
        : headers(headers), finder(finder), read(read) {}

    bool Part(const MimePart& part) {
        if (headers && Header(part.header)) return true;
        switch (part.kind) {
            case MimePart::Kind::Leaf:
                return IsText(part) && Body(part);
            case MimePart::Kind::Multipart:
            case MimePart::Kind::Message:
                for (const MimePart& child : part.children)
                    if (Part(child)) return true;
                return false;
        }
        return false;
    }

private:
    static bool IsText(const MimePart& part) {
        return vx::Ascii::EqualNoCase(part.type, "text") ||
               vx::Ascii::EqualNoCase(part.type, "message");
    }

    bool Header(const vx::Str& header) {
        finder.Break();
        finder.Feed(vx::FoldCase(DecodeHeaderSection(header)));
        finder.Break();
        return finder.Found();
    }

    bool Body(const MimePart& part) {
        if (part.bodySize == 0) return false;
        MimeBodyText text(part, finder);
        read(part.bodyOffset, part.bodySize, text);
        return text.Finish();
    }

    bool headers;
    vx::TextFinder& finder;
    const MimeRangeReader& read;
};

}  // namespace

bool MimeTextContains(const MimePart& root, bool headers, vx::TextFinder& finder,
                      const MimeRangeReader& read) {
    if (finder.Needle().empty()) return true;
    return Search(headers, finder, read).Part(root);
}
