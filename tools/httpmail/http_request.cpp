#include "tools/httpmail/http_request.h"

#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace {
bool IsToken(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') ||
                        std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
        if (!ok) return false;
    }
    return true;
}

// The next line of the head without its line end (LF alone is tolerated).
std::string_view NextLine(std::string_view& rest) {
    const size_t lf = rest.find('\n');
    std::string_view line = rest.substr(0, lf);
    rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

int ParseRequestLine(std::string_view line, HttpRequest& out) {
    const size_t sp1 = line.find(' ');
    const size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || line.find(' ', sp2 + 1) != std::string_view::npos)
        return 400;
    out.method = std::string(line.substr(0, sp1));
    out.target = std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
    const std::string_view version = line.substr(sp2 + 1);
    if (!IsToken(out.method) || out.target.empty()) return 400;
    if (version.size() != 8 || version.substr(0, 5) != "HTTP/" || version[6] != '.') return 400;
    if (version[5] != '1' || version[7] < '0' || version[7] > '9') return 505;
    out.minorVersion = version[7] - '0';
    return 0;
}
}  // namespace

const std::string* HttpRequest::Header(std::string_view name) const {
    for (const auto& [n, v] : headers)
        if (IEquals(n, name)) return &v;
    return nullptr;
}

std::vector<std::string> HttpRequest::HeaderValues(std::string_view name) const {
    std::vector<std::string> values;
    for (const auto& [n, v] : headers)
        if (IEquals(n, name)) values.push_back(v);
    return values;
}

bool HttpRequest::KeepAlive() const {
    bool close = minorVersion == 0, keep = false;
    for (const std::string& value : HeaderValues("Connection"))
        for (std::string_view option : SplitOutsideQuotes(value, ',')) {
            if (IEquals(Trim(option), "close")) close = true;
            if (IEquals(Trim(option), "keep-alive")) keep = true;
        }
    return minorVersion == 0 ? keep && !close : !close;
}

int ParseRequestHead(std::string_view head, HttpRequest& out) {
    out.head = std::string(head);
    out.headers.clear();
    std::string_view rest = head;
    if (const int status = ParseRequestLine(NextLine(rest), out)) return status;
    while (!rest.empty()) {
        const std::string_view line = NextLine(rest);
        if (line.empty()) break;
        // Folded header lines are obsolete and a known smuggling vector.
        if (line[0] == ' ' || line[0] == '\t') return 400;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) return 400;
        const std::string_view value = Trim(line.substr(colon + 1));
        for (char c : value)
            if (c == '\0' || c == '\r' || c == '\n') return 400;
        out.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
    return 0;
}

}  // namespace httpmail
