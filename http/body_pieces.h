#pragma once
// A response body kept in memory as a row of pieces: growing it never moves
// or copies what is already there. Room is taken ahead on the word of a
// Content-Length only up to a bound, and room taken is not yet memory in use:
// untouched pages cost address space only. The pieces stay allocated for the
// next body of the same connection object.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/str.h"

namespace vxw {

class BodyPieces {
public:
    // Room for a body of this many bytes in the first piece (up to
    // kMaxExpected), so that a sized body is one piece and Take hands it over
    // without a copy. Call it on an empty body.
    void Expect(uint64_t bytes);
    void Append(const char* data, size_t count);
    // Empties the body, keeping the pieces' room.
    void Clear();
    size_t Size() const { return size; }
    // The whole body as one string.
    void CopyTo(vx::Str& out) const;
    // The body as parts that point into the pieces; valid until the next change.
    vx::StrParts Parts() const;
    // Hands the body over and empties it: a body in one piece trades places
    // with out's old text (whose room serves the next body), without a copy;
    // a longer one is joined, each piece let go as soon as it is copied.
    void Take(vx::Str& out);

    static constexpr size_t kMaxExpected = size_t(64) << 20;

private:
    // The first piece grows as strings do, so a small body stays small; the
    // later ones take their full size at once.
    static constexpr size_t kPieceSize = 1 << 20;

    size_t Room(size_t piece) const {
        return piece == 0 && firstRoom > kPieceSize ? firstRoom : kPieceSize;
    }

    std::vector<vx::Str> pieces;
    size_t used = 0;  // pieces that hold bytes of the current body
    size_t size = 0;
    size_t firstRoom = 0;  // the first piece's room, from Expect
};

}  // namespace vxw
