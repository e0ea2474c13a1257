// Base64: decoding any text is safe and never yields more than the groups
// it was given; encoding any bytes decodes back to them.
#include "fuzz/support/fuzz_check.h"
#include "text/base64.h"
#include "text/str_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vx::Str bytes(fuzz_support::AsText(data, size));

    bool error = false;
    vx::Str decoded = vx::DecodeBase64(bytes, &error);
    FUZZ_CHECK(decoded.size() <= size / 4 * 3 + 2);
    FUZZ_CHECK(vx::StrUtil::Base64Decode(bytes) == decoded);

    vx::Str encoded = vx::EncodeBase64(bytes);
    FUZZ_CHECK(encoded.size() == (size + 2) / 3 * 4);
    FUZZ_CHECK(encoded.find_first_of("\r\n") == vx::Str::npos);
    error = false;
    FUZZ_CHECK(vx::DecodeBase64(encoded, &error) == bytes);
    FUZZ_CHECK(!error);
    return 0;
}
