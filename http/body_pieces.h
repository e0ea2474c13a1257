#pragma once
// A response body kept in memory as a row of pieces: growing it never moves
// or copies what is already there, and no room is taken ahead on the word of
// a Content-Length. The pieces stay allocated for the next body of the same
// connection object.
#include <cstddef>
#include <vector>

#include "core/str.h"

namespace vxw {

class BodyPieces {
public:
    void Append(const char* data, size_t count);
    // Empties the body, keeping the pieces' room.
    void Clear();
    size_t Size() const { return size; }
    // The whole body as one string.
    void CopyTo(vx::Str& out) const;
    // The body as parts that point into the pieces; valid until the next change.
    vx::StrParts Parts() const;

private:
    // The first piece grows as strings do, so a small body stays small; the
    // later ones take their full size at once.
    static constexpr size_t kPieceSize = 1 << 20;

    std::vector<vx::Str> pieces;
    size_t used = 0;  // pieces that hold bytes of the current body
    size_t size = 0;
};

}  // namespace vxw
