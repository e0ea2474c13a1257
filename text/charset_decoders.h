#pragma once
// The byte-to-code-point decoders behind vx::CharsetMap::Decode. Each appends
// to out and never fails: unmapped codes pass through as their code number and
// a pair cut off by the end of the text is dropped.
#include <cstdint>
#include <string_view>

#include "text/utf8.h"

namespace vx {
namespace CharsetDecoders {

// Each byte replaced by its entry in a 256-entry table.
void DecodeSingleByte(const uint16_t* table, std::string_view bytes, CodePoints& out);
void DecodeBig5(std::string_view bytes, CodePoints& out);
void DecodeGb(std::string_view bytes, CodePoints& out);
void DecodeShiftJis(std::string_view bytes, CodePoints& out);
void DecodeEucJp(std::string_view bytes, CodePoints& out);
void DecodeIso2022Jp(std::string_view bytes, CodePoints& out);
void DecodeUtf8(std::string_view bytes, CodePoints& out);

}  // namespace CharsetDecoders
}  // namespace vx
