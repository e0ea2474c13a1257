#include "text/charset_decoders.h"

#include "text/charset_tables.h"

namespace vx {
namespace CharsetDecoders {
namespace {

using namespace CharsetTables;

const uint8_t* Bytes(std::string_view text) {
    return reinterpret_cast<const uint8_t*>(text.data());
}

uint32_t Lookup(const uint16_t* table, uint32_t count, uint32_t code) {
    return code < count ? table[code] : code;
}

// A lead byte and the byte after it form lead * 256 + trail; other bytes stand
// alone, looked up in singles or, without singles, as their own value.
struct PairCoding {
    const uint16_t* table;
    uint32_t count;
    bool (*isLead)(uint8_t byte);
    const uint16_t* singles;
};

void DecodePairs(const PairCoding& coding, std::string_view text, CodePoints& out) {
    const uint8_t* bytes = Bytes(text);
    for (size_t at = 0; at < text.size();) {
        uint8_t byte = bytes[at];
        if (!coding.isLead(byte)) {
            out.push_back(coding.singles != nullptr ? coding.singles[byte] : byte);
            ++at;
            continue;
        }
        if (at + 1 >= text.size()) break;
        out.push_back(Lookup(coding.table, coding.count, byte << 8 | bytes[at + 1]));
        at += 2;
    }
}

// A JIS X 0208 pair, row * 256 + cell.
uint32_t LookupJisX0208(uint8_t row, uint8_t cell) {
    return Lookup(kJisX0208, kJisX0208Count, row << 8 | cell);
}

}  // namespace

void DecodeSingleByte(const uint16_t* table, std::string_view bytes, CodePoints& out) {
    out.reserve(out.size() + bytes.size());
    for (uint8_t byte : bytes) out.push_back(table[byte]);
}

void DecodeBig5(std::string_view bytes, CodePoints& out) {
    DecodePairs({kBig5, kBig5Count, [](uint8_t b) { return b >= 0xA1 && b <= 0xFE; }, nullptr},
                bytes, out);
}

void DecodeGb(std::string_view bytes, CodePoints& out) {
    DecodePairs({kGb, kGbCount, [](uint8_t b) { return b >= 0x81 && b <= 0xFE; }, nullptr}, bytes,
                out);
}

void DecodeShiftJis(std::string_view bytes, CodePoints& out) {
    // 0xA1-0xDF are the half-width katakana, single bytes like ASCII.
    DecodePairs({kShiftJis, kShiftJisCount,
                 [](uint8_t b) { return b >= 0x81 && (b < 0xA1 || b > 0xDF); }, kShiftJis},
                bytes, out);
}

void DecodeEucJp(std::string_view text, CodePoints& out) {
    const uint8_t* bytes = Bytes(text);
    for (size_t at = 0; at < text.size();) {
        if (bytes[at] < 0x80) {
            out.push_back(bytes[at++]);
            continue;
        }
        if (at + 1 >= text.size()) break;
        out.push_back(LookupJisX0208(bytes[at] - 0x80, bytes[at + 1] - 0x80));
        at += 2;
    }
}

void DecodeIso2022Jp(std::string_view text, CodePoints& out) {
    enum class State { Ascii, JisRoman, JisX0208 };
    struct Escape {
        uint8_t first, second;
        State state;
    };
    static const Escape kEscapes[] = {{0x28, 0x42, State::Ascii},
                                      {0x28, 0x4A, State::JisRoman},
                                      {0x24, 0x40, State::JisX0208},
                                      {0x24, 0x42, State::JisX0208}};
    const uint8_t* bytes = Bytes(text);
    State state = State::Ascii;
    for (size_t at = 0; at < text.size();) {
        if (bytes[at] == 0x1B) {
            ++at;  // an escape that is not recognised is dropped alone
            if (text.size() - at < 2) continue;
            for (const Escape& escape : kEscapes) {
                if (bytes[at] == escape.first && bytes[at + 1] == escape.second) {
                    state = escape.state;
                    at += 2;
                    break;
                }
            }
            continue;
        }
        switch (state) {
            case State::Ascii:
                out.push_back(bytes[at++]);
                break;
            case State::JisRoman:
                out.push_back(kJisRoman[bytes[at++]]);
                break;
            case State::JisX0208:
                if (at + 1 >= text.size()) return;
                out.push_back(LookupJisX0208(bytes[at], bytes[at + 1]));
                at += 2;
                break;
        }
    }
}

void DecodeUtf8(std::string_view bytes, CodePoints& out) {
    CodePoints decoded = StrUtil::DecodeUtf8(bytes);
    out.insert(out.end(), decoded.begin(), decoded.end());
}

}  // namespace CharsetDecoders
}  // namespace vx
