// Splitting: Tokenize and SplitUrl.
#include <climits>
#include <cstdlib>

#include "text/ascii.h"
#include "text/str_util.h"

namespace vx {
namespace StrUtil {
namespace {

struct DefaultPort {
    const char* scheme;
    int port;
};
const DefaultPort kDefaultPorts[] = {{"http", 80}, {"https", 443}, {"ftp", 21}};

// The decimal number at the start of text as atoi reads it, held within int.
int LeadingInt(const char* text) {
    long value = std::strtol(text, nullptr, 10);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

}  // namespace

void Tokenize(std::vector<Str>& list, std::string_view text, std::string_view delimiters,
              std::string_view quotes, bool collapse) {
    if (text.empty()) return;
    size_t start = 0;
    for (size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (quotes.find(c) != std::string_view::npos) {
            size_t close = text.find(c, at + 1);
            if (close == std::string_view::npos) break;
            at = close + 1;
        } else if (delimiters.find(c) != std::string_view::npos) {
            list.emplace_back(text.substr(start, at - start));
            ++at;
            while (collapse && at < text.size() &&
                   delimiters.find(text[at]) != std::string_view::npos)
                ++at;
            start = at;
        } else {
            ++at;
        }
    }
    list.emplace_back(text.substr(start));
}

UrlParts SplitUrl(const Str& url) {
    UrlParts parts;
    const size_t separator = url.find("://");
    if (separator == Str::npos) {
        parts.path = url;
        return parts;
    }
    parts.scheme = url.substr(0, separator);
    const size_t host = separator + 3;
    const size_t colon = url.find(':', host), slash = url.find('/', host);
    if (colon < slash) {  // also when there is no "/"
        parts.host = url.substr(host, colon - host);
        parts.port = LeadingInt(url.c_str() + colon + 1);
    } else {
        parts.host = url.substr(host, slash == Str::npos ? Str::npos : slash - host);
    }
    if (slash != Str::npos) parts.path = url.substr(slash);
    for (const DefaultPort& known : kDefaultPorts) {
        if (parts.port == -1 && Ascii::EqualNoCase(parts.scheme, known.scheme))
            parts.port = known.port;
    }
    return parts;
}

}  // namespace StrUtil
}  // namespace vx
