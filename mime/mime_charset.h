#pragma once
// The charset of a text part or of an encoded word, read through the
// program's charset tables (vx::CharsetMap). Names are taken as mail writes
// them ("latin1", "iso8859-1", "cp1252", "sjis"...). Text in UTF-8, in a
// set the tables lack, or with no charset named, is taken as it is where it
// is well-formed UTF-8 and read as ISO-8859-1 where it is not (each piece
// given decides for itself): plain ASCII, mislabelled mail and every byte
// survive that way.
#include <string_view>

#include "core/str.h"
#include "text/utf8.h"

class MimeCharset {
public:
    explicit MimeCharset(std::string_view name);

    // Appends bytes as UTF-8. Whole characters only: a multi-byte
    // character cut off at the end of bytes is dropped.
    void AppendUtf8(vx::Str& out, std::string_view bytes);
    // Appends bytes as UTF-8, folded (vx::FoldCase).
    void AppendFolded(vx::Str& out, std::string_view bytes);

    // The set as the tables name it; empty when they lack it.
    const vx::Str& Name() const { return name; }

private:
    // Reads bytes into points unless they are UTF-8 to take as they are.
    bool ToCodePoints(std::string_view bytes);

    vx::Str name;
    bool utf8 = false;
    vx::CodePoints points;  // kept between calls for its memory
};
