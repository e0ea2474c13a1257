// XmlToText on any text: a reference never comes out longer than it was
// written, and GetElementVal never consumes more than its reach.
#include <string_view>

#include "core/exception.h"
#include "fuzz/support/fuzz_check.h"
#include "text/str_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text = fuzz_support::AsText(data, size);
    vx::Str plain = vx::StrUtil::XmlToText(text);
    FUZZ_CHECK(plain.size() <= size);
    if (text.find('&') == std::string_view::npos) FUZZ_CHECK(plain == text);

    vx::Str value;
    for (size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1)) {
        size_t consumed = 0;
        if (vx::StrUtil::GetElementVal(text.substr(at), value, consumed)) {
            FUZZ_CHECK(consumed >= 2 && consumed <= 16 && consumed <= size - at);
            FUZZ_CHECK(text[at + consumed - 1] == ';');
        }
    }
    return 0;
}
