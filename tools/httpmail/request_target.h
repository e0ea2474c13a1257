#pragma once
// The request target of an HTTP request: the origin form "/path" that a client
// sends to a server, or the absolute form "http://host:port/path" that a client
// sends to a plain proxy (RFC 7230, section 5.3).
#include <string>
#include <string_view>
#include <vector>

namespace httpmail {

struct RequestTarget {
    bool absolute = false;              // sent in absolute form, as to a proxy
    std::string authority;              // host[:port] of the absolute form
    std::string path;                   // as sent, without the query
    std::vector<std::string> segments;  // the path split at "/" and percent-decoded
    bool trailingSlash = false;
};

// False for a target that is neither form, or that holds a bad or NUL escape.
bool ParseRequestTarget(std::string_view raw, RequestTarget& out);
// Percent-encodes everything but unreserved characters (RFC 3986).
std::string EncodePathSegment(std::string_view s);
// "host:80" names the default port and is written "host".
std::string WithoutDefaultPort(std::string_view authority);

}  // namespace httpmail
