// Digest challenges as a server or proxy may send them: every challenge is
// answered or refused with HttpError, and an answer is one header value
// ending in a 32-digit response.
#include "core/exception.h"
#include "fuzz/support/fuzz_check.h"
#include "http/digest.h"

namespace {

bool EndsInResponse(const vx::Str& answer) {
    const vx::Str tail = "response=\"";
    size_t at = answer.rfind(tail);
    if (at == vx::Str::npos || answer.size() != at + tail.size() + 33 || answer.back() != '"')
        return false;
    return answer.find_first_not_of("0123456789abcdef", at + tail.size()) == answer.size() - 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const vx::Str challenge(fuzz_support::AsText(data, size));
    vxw::PartsSource body({"<propfind/>"});
    try {
        vxw::GetDigestOptions(challenge, "mail.example");
        vx::Str answer = vxw::HandleAuthDigest("user@example.com", "secret", challenge,
                                               "/folders/inbox", "PROPFIND", &body, "mail.example");
        FUZZ_CHECK(answer.compare(0, 7, "Digest ") == 0);
        // It goes out as a request header line: a line break would start another.
        FUZZ_CHECK(answer.find_first_of("\r\n") == vx::Str::npos);
        FUZZ_CHECK(EndsInResponse(answer));
    } catch (const vxw::HttpError&) {
        // Refused: no scheme word, or an algorithm or qop we do not know.
    }
    return 0;
}
