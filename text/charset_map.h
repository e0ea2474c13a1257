#pragma once
// The process-wide character-set and entity tables, reached through
// qn::Singleton<vx::CharsetMap>. The tables are constant data in the program
// image; only the reverse maps (code point to byte) are built at run time, on
// first need, under the object's lock. Lookups after that only read.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <vector>

#include "core/str.h"
#include "text/utf8.h"

namespace vx {

class CharsetMap {
public:
    CharsetMap();

    // out (emptied first) receives the code points of bytes in the named set.
    // Names are compared without regard to case; an unknown name is read as
    // ISO-8859-1. Never fails.
    void Decode(std::string_view charset, std::string_view bytes, CodePoints& out) const;
    // Whether Decode reads the named set by its own table or decoder, rather
    // than as ISO-8859-1 for want of one.
    bool Knows(std::string_view charset) const;

    // Replaces out with the one byte that carries codePoint in a listed set, or
    // with its UTF-8 for "UTF-8". Throws the VX_CHARSETMAP_ENCODECHARACTER_*
    // texts for a character the set lacks or an unsupported set.
    void EncodeCharacter(Str& out, uint32_t codePoint, std::string_view charset);

    // The first listed single-byte set that carries every code point, else "UTF-8".
    Str ChooseCharset(const CodePoints& codePoints);

    // The code point of an HTML entity name (case-sensitive), 0 when unknown.
    uint32_t LookupEntity(std::string_view name) const;

private:
    struct ReverseEntry {
        uint16_t codePoint;
        uint16_t position;
    };
    struct Charset {
        const char* name = nullptr;
        const uint16_t* values = nullptr;
        uint32_t count = 0;
        std::atomic<bool> reverseMapBuilt{false};
        std::vector<ReverseEntry> reverseMap;  // sorted by code point
    };
    static constexpr size_t kCharsetCount = 25;  // the single-byte sets, big5, shift-jis

    // The position of a listed set, kCharsetCount when the name is not listed.
    size_t IndexOf(std::string_view name) const;
    const std::vector<ReverseEntry>& ReverseMap(Charset& charset);
    static const ReverseEntry* FindCodePoint(const std::vector<ReverseEntry>& reverseMap,
                                             uint32_t codePoint);

    std::mutex lock;  // held only while building a reverse map
    std::array<Charset, kCharsetCount> charsets;
};

}  // namespace vx
