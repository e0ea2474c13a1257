#include "tools/httpmail/dav_body.h"

#include "tools/httpmail/text_util.h"

namespace httpmail {

const char kMailHeaderNamespace[] = "urn:schemas:mailheader:";
const char kHttpMailNamespace[] = "urn:schemas:httpmail:";

namespace {

// Every prefix bound to uri in the body ("" for a default namespace).
std::vector<std::string> PrefixesOf(const std::string& body, const std::string& uri) {
    std::vector<std::string> prefixes;
    for (size_t at = body.find("xmlns"); at != std::string::npos; at = body.find("xmlns", at + 5)) {
        size_t equals = body.find('=', at);
        if (equals == std::string::npos) break;
        std::string name(Trim(std::string_view(body).substr(at + 5, equals - at - 5)));
        size_t open = body.find_first_of("\"'", equals);
        if (open == std::string::npos) break;
        size_t close = body.find(body[open], open + 1);
        if (close == std::string::npos) break;
        if (body.compare(open + 1, close - open - 1, uri) != 0) continue;
        if (name.empty())
            prefixes.push_back("");
        else if (name[0] == ':')
            prefixes.push_back(name.substr(1) + ":");
    }
    return prefixes;
}

// Where the element PREFIX:name (any prefix of uri) next opens at or after from.
size_t FindElement(const std::string& body, const std::string& uri, const std::string& name,
                   size_t from, size_t& nameEnd) {
    size_t best = std::string::npos;
    for (const std::string& prefix : PrefixesOf(body, uri)) {
        const std::string open = "<" + prefix + name;
        for (size_t at = body.find(open, from); at != std::string::npos;
             at = body.find(open, at + 1)) {
            char next = at + open.size() < body.size() ? body[at + open.size()] : '\0';
            if (next != '>' && next != '/' && next != ' ' && next != '\t' && next != '\r' &&
                next != '\n')
                continue;
            if (at < best) {
                best = at;
                nameEnd = at + open.size();
            }
            break;
        }
    }
    return best;
}

}  // namespace

bool AsksForAllProperties(const std::string& body) {
    if (Trim(body).empty()) return true;
    size_t end;
    return FindElement(body, "DAV:", "allprop", 0, end) != std::string::npos;
}

std::vector<std::string> NamedProperties(const std::string& body, const std::string& uri) {
    std::vector<std::string> names;
    for (const std::string& prefix : PrefixesOf(body, uri)) {
        const std::string open = "<" + prefix;
        for (size_t at = body.find(open); at != std::string::npos; at = body.find(open, at + 1)) {
            size_t start = at + open.size();
            size_t end = body.find_first_of(" \t\r\n/>", start);
            if (end == std::string::npos || end == start) continue;
            std::string name = body.substr(start, end - start);
            if (name.find(':') == std::string::npos) names.push_back(name);
        }
    }
    return names;
}

bool ReadUpdate(const std::string& body, bool& read) {
    size_t nameEnd = 0;
    size_t element = FindElement(body, kHttpMailNamespace, "read", 0, nameEnd);
    if (element == std::string::npos) return false;
    size_t removeEnd;
    size_t remove = FindElement(body, "DAV:", "remove", 0, removeEnd);
    size_t set = FindElement(body, "DAV:", "set", 0, removeEnd);
    // Inside D:remove unless a D:set opens between it and the element.
    if (remove < element && (set == std::string::npos || set < remove || set > element)) {
        read = false;
        return true;
    }
    size_t close = body.find('>', nameEnd);
    if (close == std::string::npos) return false;
    if (body[close - 1] == '/') {
        read = false;
        return true;
    }
    size_t textEnd = body.find('<', close);
    std::string_view value = Trim(std::string_view(body).substr(close + 1, textEnd - close - 1));
    if (value != "0" && value != "1") return false;
    read = value == "1";
    return true;
}

}  // namespace httpmail
