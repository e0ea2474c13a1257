// Modified UTF-7 mailbox names: what Decode takes it gives back unchanged
// through Encode (one folder, one name), and whatever Encode writes Decode
// takes.
#include "fuzz/support/fuzz_check.h"
#include "imap_wire/mutf7.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text = fuzz_support::AsText(data, size);
    vx::Str utf8;
    if (Mutf7::Decode(text, utf8)) FUZZ_CHECK(Mutf7::Encode(utf8) == text);
    vx::Str name = Mutf7::Encode(text);
    vx::Str back;
    FUZZ_CHECK(Mutf7::Decode(name, back));
    FUZZ_CHECK(Mutf7::Encode(back) == name);
    return 0;
}
