#include "tools/httpmail/request_target.h"

#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool DecodeSegment(std::string_view s, std::string& out) {
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return false;
        const int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
        if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) return false;
        out += char(hi * 16 + lo);
        i += 2;
    }
    return true;
}

bool SplitPath(std::string_view path, RequestTarget& out) {
    out.path = std::string(path);
    out.segments.clear();
    out.trailingSlash = path.size() > 1 && path.back() == '/';
    std::string_view rest = path.substr(1);
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        std::string decoded;
        if (!DecodeSegment(rest.substr(0, slash), decoded)) return false;
        if (!decoded.empty()) out.segments.push_back(decoded);
        if (slash == std::string_view::npos) break;
        rest = rest.substr(slash + 1);
    }
    return true;
}

bool IsUnreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}
}  // namespace

bool ParseRequestTarget(std::string_view raw, RequestTarget& out) {
    out = RequestTarget{};
    for (char c : raw)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return false;
    if (IStartsWith(raw, "http://")) {
        out.absolute = true;
        raw.remove_prefix(7);
        const size_t slash = raw.find_first_of("/?");
        out.authority = std::string(raw.substr(0, slash));
        if (out.authority.empty() || out.authority.find('@') != std::string::npos) return false;
        raw = slash == std::string_view::npos ? std::string_view("/") : raw.substr(slash);
        if (raw[0] == '?') return SplitPath("/", out);
    }
    if (raw.empty() || raw[0] != '/') return false;
    return SplitPath(raw.substr(0, raw.find('?')), out);
}

std::string EncodePathSegment(std::string_view s) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (char c : s) {
        if (IsUnreserved(c)) {
            out += c;
        } else {
            const auto b = static_cast<unsigned char>(c);
            out += '%';
            out += digits[b >> 4];
            out += digits[b & 15];
        }
    }
    return out;
}

std::string WithoutDefaultPort(std::string_view authority) {
    if (authority.size() > 3 && authority.substr(authority.size() - 3) == ":80")
        authority.remove_suffix(3);
    return std::string(authority);
}

}  // namespace httpmail
