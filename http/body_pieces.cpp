#include "http/body_pieces.h"

#include <algorithm>

namespace vxw {

void BodyPieces::Append(const char* data, size_t count) {
    size += count;
    while (count > 0) {
        if (used == 0 || pieces[used - 1].size() == kPieceSize) {
            if (used == pieces.size()) pieces.emplace_back();
            if (used > 0) pieces[used].reserve(kPieceSize);
            ++used;
        }
        vx::Str& piece = pieces[used - 1];
        size_t take = std::min(count, kPieceSize - piece.size());
        piece.append(data, take);
        data += take, count -= take;
    }
}

void BodyPieces::Clear() {
    for (size_t i = 0; i < used; ++i) pieces[i].clear();
    used = 0;
    size = 0;
}

void BodyPieces::CopyTo(vx::Str& out) const {
    out.clear();
    out.reserve(size);
    for (size_t i = 0; i < used; ++i) out += pieces[i];
}

vx::StrParts BodyPieces::Parts() const {
    return vx::StrParts(pieces.begin(), pieces.begin() + static_cast<std::ptrdiff_t>(used));
}

}  // namespace vxw
