#include "http/body_pieces.h"

#include <algorithm>
#include <new>

namespace vxw {

void BodyPieces::Expect(uint64_t bytes) {
    if (used != 0 || bytes <= kPieceSize) return;
    if (pieces.empty()) pieces.emplace_back();
    size_t room = static_cast<size_t>(std::min<uint64_t>(bytes, kMaxExpected));
    try {
        pieces[0].reserve(room);
        firstRoom = room;
    } catch (const std::bad_alloc&) {
        // Only a speed-up: without the room the body grows piece by piece.
    }
}

void BodyPieces::Append(const char* data, size_t count) {
    size += count;
    while (count > 0) {
        if (used == 0 || pieces[used - 1].size() == Room(used - 1)) {
            if (used == pieces.size()) pieces.emplace_back();
            if (used > 0) pieces[used].reserve(kPieceSize);
            ++used;
        }
        vx::Str& piece = pieces[used - 1];
        size_t take = std::min(count, Room(used - 1) - piece.size());
        piece.append(data, take);
        data += take, count -= take;
    }
}

void BodyPieces::Clear() {
    for (size_t i = 0; i < used; ++i) pieces[i].clear();
    used = 0;
    size = 0;
    firstRoom = 0;
}

void BodyPieces::CopyTo(vx::Str& out) const {
    out.clear();
    out.reserve(size);
    for (size_t i = 0; i < used; ++i) out += pieces[i];
}

void BodyPieces::Take(vx::Str& out) {
    if (used == 0) {
        out.clear();
    } else if (used == 1) {
        out.swap(pieces[0]);
    } else {
        out.clear();
        out.reserve(size);
        for (size_t i = 0; i < used; ++i) {
            out += pieces[i];
            vx::Str().swap(pieces[i]);
        }
    }
    Clear();
}

vx::StrParts BodyPieces::Parts() const {
    return vx::StrParts(pieces.begin(), pieces.begin() + static_cast<std::ptrdiff_t>(used));
}

}  // namespace vxw
