// UTF-8 decoding of any bytes; what it yields encodes and decodes back to the
// same code points, whatever overlong or truncated forms it came from.
#include <cstring>

#include "fuzz/support/fuzz_check.h"
#include "text/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vx::CodePoints decoded = vx::StrUtil::DecodeUtf8(fuzz_support::AsText(data, size));
    FUZZ_CHECK(decoded.size() <= size);
    vx::Str encoded;
    for (uint32_t codePoint : decoded) {
        FUZZ_CHECK(codePoint <= 0x7FFFFFFF);
        vx::StrUtil::AppendUtf8(encoded, codePoint);
    }
    FUZZ_CHECK(vx::StrUtil::DecodeUtf8(encoded) == decoded);

    // The input read as code points too: each of up to 31 bits round-trips alone,
    // and one with the top bit set leaves the output as it was.
    for (size_t at = 0; at + 4 <= size; at += 4) {
        uint32_t codePoint;
        std::memcpy(&codePoint, data + at, 4);
        vx::Str one = "unchanged";
        vx::StrUtil::EncodeUtf8(one, codePoint);
        if (codePoint > 0x7FFFFFFF)
            FUZZ_CHECK(one == "unchanged");
        else
            FUZZ_CHECK(vx::StrUtil::DecodeUtf8(one) == vx::CodePoints{codePoint});
    }
    return 0;
}
