#include "webmail/answer_check.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "text/ascii.h"

bool FindHeader(std::string_view head, std::string_view name, std::string_view& value) {
    for (size_t start = head.find("\r\n"); start != std::string_view::npos;) {
        start += 2;
        size_t end = head.find("\r\n", start);
        std::string_view line = head.substr(start, end - start);
        size_t colon = line.find(':');
        if (colon != std::string_view::npos &&
            vx::Ascii::EqualNoCase(line.substr(0, colon), name)) {
            value = line.substr(colon + 1);
            value.remove_prefix(std::min(value.size(), value.find_first_not_of(" \t")));
            value = value.substr(0, value.find_last_not_of(" \t") + 1);
            return true;
        }
        start = end;
    }
    return false;
}

namespace {

// A Content-Length made of digits only, or -1 when there is none to trust.
int64_t DeclaredLength(std::string_view head) {
    std::string_view value;
    if (!FindHeader(head, "content-length", value) || value.empty() || value.size() > 18) return -1;
    int64_t length = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return -1;
        length = length * 10 + (c - '0');
    }
    return length;
}

}  // namespace

vx::Str DescribeIncompleteAnswer(const vx::Str& head, int32_t status, size_t bodySize) {
    if (head.empty()) return "No answer from the service";
    // These never carry a body, whatever their Content-Length says.
    if (status == 204 || status == 304) return "";
    std::string_view encoding;
    // A chunked body that breaks off is already an error of the HTTP client.
    if (FindHeader(head, "transfer-encoding", encoding)) return "";
    int64_t declared = DeclaredLength(head);
    if (declared < 0 || static_cast<uint64_t>(declared) <= bodySize) return "";
    return "The answer ended early - " + std::to_string(bodySize) + " of " +
           std::to_string(declared) + " bytes";
}
