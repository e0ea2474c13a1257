#pragma once
// Looks for a text in a longer one that arrives in pieces, holding no more
// than the piece at hand and the needle's length of what came before, so a
// match across two pieces is found and nothing grows with the whole text.
// Both sides are compared as given: fold them first (vx::FoldCase) to
// ignore letter case.
#include <string_view>

#include "core/str.h"

namespace vx {

class TextFinder {
public:
    explicit TextFinder(Str needle) : needle(std::move(needle)) {}

    // The next piece of the text; true once the needle was seen.
    bool Feed(std::string_view piece);
    bool Found() const { return found; }
    // Starts a new text: nothing fed so far can join a match any more.
    void Break() { tail.clear(); }
    const Str& Needle() const { return needle; }

private:
    Str needle;
    Str tail;  // the last needle.size() - 1 bytes fed
    bool found = false;
};

}  // namespace vx
