#include "text/case_fold.h"

#include <algorithm>

#include "text/utf8.h"

namespace vx {

uint32_t FoldCase(uint32_t codePoint) {
    if (codePoint < 0x80) return codePoint >= 'A' && codePoint <= 'Z' ? codePoint + 32 : codePoint;
    using CaseFoldTable::Range;
    const Range* end = CaseFoldTable::kRanges + CaseFoldTable::kRangeCount;
    const Range* range =
        std::upper_bound(CaseFoldTable::kRanges, end, codePoint,
                         [](uint32_t value, const Range& r) { return value < r.first; });
    if (range == CaseFoldTable::kRanges) return codePoint;
    --range;
    if (codePoint > range->last || (codePoint - range->first) % range->step != 0) return codePoint;
    return static_cast<uint32_t>(static_cast<int64_t>(codePoint) + range->delta);
}

void AppendFolded(Str& out, std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        unsigned char byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            out += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte);
            ++at;
            continue;
        }
        uint32_t codePoint = 0;
        size_t length = StrUtil::NextUtf8(text.substr(at), codePoint);
        if (length == 0) {
            out += static_cast<char>(byte);
            ++at;
            continue;
        }
        StrUtil::AppendUtf8(out, FoldCase(codePoint));
        at += length;
    }
}

Str FoldCase(std::string_view text) {
    Str out;
    out.reserve(text.size());
    AppendFolded(out, text);
    return out;
}

}  // namespace vx
