#include "http/response_head.h"

#include <charconv>
#include <limits>

#include "http/http_text.h"

namespace vxw {
namespace {

vx::Str StatusLine(const vx::Str& head) {
    return head.substr(0, head.find("\r\n"));
}

}  // namespace

int32_t ParseStatusCode(const vx::Str& head) {
    vx::Str line = StatusLine(head);
    size_t blank = line.find(' ');
    if (blank == vx::Str::npos) return -1;
    vx::Str code = line.substr(blank + 1, line.find(' ', blank + 1) - blank - 1);
    return static_cast<int32_t>(ReadDecimal(code, std::numeric_limits<int32_t>::min(),
                                            std::numeric_limits<int32_t>::max()));
}

vx::Str ParseReasonPhrase(const vx::Str& head) {
    vx::Str line = StatusLine(head);
    size_t first = line.find(' ');
    size_t second = first == vx::Str::npos ? first : line.find(' ', first + 1);
    return second == vx::Str::npos ? vx::Str() : line.substr(second + 1);
}

double ParseHttpVersion(const vx::Str& head) {
    vx::Str line = StatusLine(head);
    size_t slash = line.find('/');
    if (slash == vx::Str::npos) return -1;
    // from_chars rather than atof: the decimal point must not depend on the locale.
    double version = 0;
    std::from_chars(line.data() + slash + 1, line.data() + line.size(), version);
    return version;
}

void ParseHeaderLines(const vx::Str& head, NoCaseMultimap& headers) {
    size_t start = head.find("\r\n");
    while (start != vx::Str::npos && start + 2 < head.size()) {
        start += 2;
        size_t end = head.find("\r\n", start);
        vx::Str line = head.substr(start, end == vx::Str::npos ? vx::Str::npos : end - start);
        if (line.empty()) break;
        size_t colon = line.find(':');
        if (colon != vx::Str::npos)
            headers.emplace(line.substr(0, colon), TrimBlanks(line.substr(colon + 1)));
        start = end;
    }
}

}  // namespace vxw
