// CharsetMap::Decode in every listed set: single-byte sets give one code
// point per byte, and every defined one encodes back to its byte; the
// multi-byte sets never give more code points than bytes. The text read as
// UTF-8 also goes through header encoding, which relies on the set chosen for
// it carrying every character.
#include <string_view>

#include "core/singleton.h"
#include "fuzz/support/fuzz_check.h"
#include "text/charset_map.h"
#include "text/charset_tables.h"
#include "text/str_util.h"

namespace {

const char* const kMultiByteSets[] = {"UTF-8",  "utf8",        "big5",   "shift-jis", "Shift_JIS",
                                      "euc-jp", "iso-2022-jp", "gb2312", "gb-2312",   "gb"};
// Read as ISO-8859-1.
const char kUnknownSet[] = "x-unknown";
// Code points checked for the way back, per set and input.
constexpr size_t kRoundTrips = 4;

vx::CharsetMap& Map() {
    return qn::Singleton<vx::CharsetMap>::Instance();
}

void CheckSingleByte(const char* name, std::string_view bytes) {
    vx::CodePoints decoded{0xDEAD};
    Map().Decode(name, bytes, decoded);
    FUZZ_CHECK(decoded.size() == bytes.size());
    vx::Str encoded;
    for (size_t i = 0; i < decoded.size() && i < kRoundTrips; ++i) {
        if (decoded[i] == vx::CharsetTables::kUndefined) continue;
        Map().EncodeCharacter(encoded, decoded[i], name);
        FUZZ_CHECK(encoded.size() == 1);
        vx::CodePoints back;
        Map().Decode(name, encoded, back);
        FUZZ_CHECK(back == vx::CodePoints{decoded[i]});
    }
}

void CheckMultiByte(const char* name, std::string_view bytes) {
    vx::CodePoints decoded{0xDEAD};
    Map().Decode(name, bytes, decoded);
    FUZZ_CHECK(decoded.size() <= bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes = fuzz_support::AsText(data, size);
    for (const auto& table : vx::CharsetTables::kSingleByte) CheckSingleByte(table.name, bytes);
    vx::CodePoints unknown, latin1;
    Map().Decode(kUnknownSet, bytes, unknown);
    Map().Decode("iso-8859-1", bytes, latin1);
    FUZZ_CHECK(unknown == latin1);
    for (const char* name : kMultiByteSets) CheckMultiByte(name, bytes);
    // Throws if the set chosen for the text lacks one of its characters.
    vx::StrUtil::EncodeHeaderText(vx::Str(bytes));
    return 0;
}
