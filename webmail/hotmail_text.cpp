// The text functions of Hotmail: URL pieces, the bare address of an SMTP
// argument, and the meta refresh target of a page.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "core/exception.h"
#include "text/ascii.h"
#include "webmail/hotmail.h"

namespace {

// What follows "//", or npos.
size_t AfterScheme(const vx::Str& url) {
    size_t slashes = url.find("//");
    return slashes == vx::Str::npos ? vx::Str::npos : slashes + 2;
}

size_t FindNoCase(std::string_view text, std::string_view needle, size_t from) {
    auto same = [](char a, char b) { return vx::Ascii::ToLower(a) == vx::Ascii::ToLower(b); };
    if (from > text.size()) return vx::Str::npos;
    auto found = std::search(text.begin() + from, text.end(), needle.begin(), needle.end(), same);
    return found == text.end() ? vx::Str::npos : size_t(found - text.begin());
}

// The service's wait pages are HTML; a message source begins with its header
// lines. Only a page is searched, so a refresh inside an HTML mail is never
// followed (it would fetch whatever its sender chose, with the account's
// credentials, in place of the message).
bool IsMarkup(const vx::Str& page) {
    size_t first = page.find_first_not_of(" \t\r\n");
    return first != vx::Str::npos && page[first] == '<';
}

}  // namespace

vx::Str Hotmail::GetUrlServerAddress(const vx::Str& url) {
    size_t start = AfterScheme(url);
    if (start == vx::Str::npos)
        throw vx::Exception(
            "Hotmail::GetUrlServerAddress::prefix - Error getting Hotmail server address: " + url);
    vx::Str host = url.substr(start);
    host = host.substr(0, host.find('/'));
    return host.substr(0, host.find(':'));
}

vx::Str Hotmail::GetUrlPath(const vx::Str& url) {
    size_t start = AfterScheme(url);
    if (start == vx::Str::npos)
        throw vx::Exception("Hotmail::GetUrlPath::prefix - Error getting Hotmail server path: " +
                            url);
    size_t slash = url.find('/', start);
    return slash == vx::Str::npos ? vx::Str() : url.substr(slash);
}

int32_t Hotmail::GetUrlPort(const vx::Str& url) {
    size_t start = AfterScheme(url);
    if (start == vx::Str::npos) return -1;
    size_t colon = url.find(':', start);
    if (colon == vx::Str::npos || colon > url.find('/', start)) return -1;
    // Read as the C library reads a number, but a huge one is clamped rather
    // than left undefined.
    long port = std::strtol(url.c_str() + colon + 1, nullptr, 10);
    return static_cast<int32_t>(std::clamp<long>(port, INT32_MIN, INT32_MAX));
}

bool Hotmail::UsesTls(const vx::Str& url) {
    size_t slashes = url.find("//");
    return slashes != vx::Str::npos && vx::Ascii::EqualNoCase(url.substr(0, slashes), "https:");
}

vx::Str Hotmail::GetLastPathSegment(const vx::Str& url) {
    size_t slash = url.rfind('/');
    return slash == vx::Str::npos ? vx::Str() : url.substr(slash + 1);
}

vx::Str Hotmail::ExtractAddress(const vx::Str& s) {
    size_t space = s.find(' ');
    if (space == vx::Str::npos) return s;
    size_t open = s.find('<');
    size_t close = s.find('>');
    if (open != vx::Str::npos && close != vx::Str::npos && open < close)
        return s.substr(open + 1, close - open - 1);
    size_t at = s.find('@');
    if (at == vx::Str::npos) return s;
    if (at < space) return s.substr(0, space);
    // The blank-delimited word that holds the "@".
    size_t wordStart = s.rfind(' ', at) + 1;
    size_t wordEnd = s.find(' ', wordStart);
    return s.substr(wordStart, wordEnd == vx::Str::npos ? vx::Str::npos : wordEnd - wordStart);
}

bool Hotmail::GetRefreshUrl(const vx::Str& page, vx::Str& target) {
    target.clear();
    if (!IsMarkup(page)) return false;
    size_t meta = FindNoCase(page, "HTTP-EQUIV=\"REFRESH\"", 0);
    if (meta == vx::Str::npos) return false;
    size_t url = FindNoCase(page, "URL=\"", meta);
    if (url == vx::Str::npos) return false;
    size_t start = url + 5;
    size_t end = page.find('"', start);
    if (end == vx::Str::npos) return false;
    target = page.substr(start, end - start);
    return true;
}
