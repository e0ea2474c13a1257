#include "text/charset_map.h"

#include <algorithm>

#include "core/exception.h"
#include "text/ascii.h"
#include "text/charset_decoders.h"
#include "text/charset_tables.h"
#include "text/str_util.h"

namespace vx {
namespace {

using Decoder = void (*)(std::string_view bytes, CodePoints& out);

struct NamedDecoder {
    const char* name;
    Decoder decoder;
};

// The sets that are not read byte by byte through a listed table.
const NamedDecoder kDecoders[] = {
    {"UTF-8", CharsetDecoders::DecodeUtf8},
    {"UTF8", CharsetDecoders::DecodeUtf8},
    {"big5", CharsetDecoders::DecodeBig5},
    {"shift-jis", CharsetDecoders::DecodeShiftJis},
    {"shift_jis", CharsetDecoders::DecodeShiftJis},
    {"iso-2022-jp", CharsetDecoders::DecodeIso2022Jp},
    {"euc-jp", CharsetDecoders::DecodeEucJp},
    {"gb2312", CharsetDecoders::DecodeGb},
    {"gb-2312", CharsetDecoders::DecodeGb},
    {"gb", CharsetDecoders::DecodeGb},
};

}  // namespace

CharsetMap::CharsetMap() {
    size_t at = 0;
    for (const CharsetTables::SingleByteTable& table : CharsetTables::kSingleByte) {
        charsets[at].name = table.name;
        charsets[at].values = table.values;
        charsets[at++].count = 256;
    }
    charsets[at].name = "big5";
    charsets[at].values = CharsetTables::kBig5;
    charsets[at++].count = CharsetTables::kBig5Count;
    charsets[at].name = "shift-jis";
    charsets[at].values = CharsetTables::kShiftJis;
    charsets[at].count = CharsetTables::kShiftJisCount;
}

size_t CharsetMap::IndexOf(std::string_view name) const {
    size_t at = 0;
    while (at < kCharsetCount && !Ascii::EqualNoCase(name, charsets[at].name)) ++at;
    return at;
}

void CharsetMap::Decode(std::string_view charset, std::string_view bytes, CodePoints& out) const {
    out.clear();
    for (const NamedDecoder& entry : kDecoders) {
        if (Ascii::EqualNoCase(charset, entry.name)) {
            entry.decoder(bytes, out);
            return;
        }
    }
    size_t at = IndexOf(charset);
    CharsetDecoders::DecodeSingleByte(charsets[at < kCharsetCount ? at : 0].values, bytes, out);
}

bool CharsetMap::Knows(std::string_view charset) const {
    for (const NamedDecoder& entry : kDecoders)
        if (Ascii::EqualNoCase(charset, entry.name)) return true;
    return IndexOf(charset) < kCharsetCount;
}

const std::vector<CharsetMap::ReverseEntry>& CharsetMap::ReverseMap(Charset& charset) {
    if (charset.reverseMapBuilt.load(std::memory_order_acquire)) return charset.reverseMap;
    std::lock_guard<std::mutex> guard(lock);
    if (charset.reverseMapBuilt.load(std::memory_order_relaxed)) return charset.reverseMap;
    std::vector<ReverseEntry> map;
    map.reserve(charset.count);
    for (uint32_t i = 0; i < charset.count; ++i) {
        if (charset.values[i] != CharsetTables::kUndefined)
            map.push_back({charset.values[i], static_cast<uint16_t>(i)});
    }
    // Where two positions hold one code point, the higher position is kept.
    std::sort(map.begin(), map.end(), [](const ReverseEntry& a, const ReverseEntry& b) {
        return a.codePoint != b.codePoint ? a.codePoint < b.codePoint : a.position > b.position;
    });
    map.erase(std::unique(map.begin(), map.end(),
                          [](const ReverseEntry& a, const ReverseEntry& b) {
                              return a.codePoint == b.codePoint;
                          }),
              map.end());
    charset.reverseMap = std::move(map);
    charset.reverseMapBuilt.store(true, std::memory_order_release);
    return charset.reverseMap;
}

const CharsetMap::ReverseEntry* CharsetMap::FindCodePoint(
    const std::vector<ReverseEntry>& reverseMap, uint32_t codePoint) {
    auto found =
        std::lower_bound(reverseMap.begin(), reverseMap.end(), codePoint,
                         [](const ReverseEntry& e, uint32_t value) { return e.codePoint < value; });
    return found != reverseMap.end() && found->codePoint == codePoint ? &*found : nullptr;
}

void CharsetMap::EncodeCharacter(Str& out, uint32_t codePoint, std::string_view charset) {
    size_t at = IndexOf(charset);
    if (at < kCharsetCount) {
        const ReverseEntry* found = FindCodePoint(ReverseMap(charsets[at]), codePoint);
        if (found == nullptr) {
            throw Exception("VX_CHARSETMAP_ENCODECHARACTER_BACKMAP: Character not found - " +
                            StrUtil::UIntToStr(codePoint));
        }
        out.assign(1, static_cast<char>(found->position & 0xFF));
        return;
    }
    if (!Ascii::IsUtf8Name(charset)) {
        throw Exception(
            "VX_CHARSETMAP_ENCODECHARACTER_CHARSET: Unsupported character set specified - " +
            Str(charset));
    }
    StrUtil::EncodeUtf8(out, codePoint);
}

Str CharsetMap::ChooseCharset(const CodePoints& codePoints) {
    CodePoints distinct = codePoints;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    for (size_t i = 0; i < CharsetTables::kSingleByteCount; ++i) {
        const std::vector<ReverseEntry>& map = ReverseMap(charsets[i]);
        if (std::all_of(distinct.begin(), distinct.end(),
                        [&](uint32_t c) { return FindCodePoint(map, c) != nullptr; }))
            return charsets[i].name;
    }
    return "UTF-8";
}

uint32_t CharsetMap::LookupEntity(std::string_view name) const {
    const auto* begin = CharsetTables::kEntities;
    const auto* end = begin + CharsetTables::kEntityCount;
    const auto* found =
        std::lower_bound(begin, end, name, [](const CharsetTables::Entity& e, std::string_view n) {
            return std::string_view(e.name) < n;
        });
    return found != end && found->name == name ? found->codePoint : 0;
}

}  // namespace vx
