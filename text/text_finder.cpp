#include "text/text_finder.h"

#include <algorithm>

namespace vx {

bool TextFinder::Feed(std::string_view piece) {
    if (found || needle.empty()) return found = true;
    size_t keep = needle.size() - 1;
    if (tail.empty() && piece.size() >= needle.size()) {
        // The usual case: no copy of the piece.
        if (piece.find(needle) != std::string_view::npos) return found = true;
        tail.assign(piece.substr(piece.size() - keep));
        return false;
    }
    tail.append(piece);
    if (tail.find(needle) != Str::npos) return found = true;
    if (tail.size() > keep) tail.erase(0, tail.size() - keep);
    return false;
}

}  // namespace vx
