#pragma once
// One HTTP request as the service received it.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace httpmail {

struct HttpRequest {
    std::string method;
    std::string target;                                        // as sent on the request line
    int minorVersion = 1;                                      // HTTP/1.x
    std::vector<std::pair<std::string, std::string>> headers;  // in arrival order
    std::string head;  // request line and header lines as received
    std::string body;

    // The first header of that name (case-insensitive), or null.
    const std::string* Header(std::string_view name) const;
    std::vector<std::string> HeaderValues(std::string_view name) const;
    // Whether the client wants the connection kept after the answer.
    bool KeepAlive() const;
};

// Fills method, target, version and headers from a head ending in an empty line.
// Returns 0, or the status to answer: 400 for a malformed head, 505 for another
// HTTP version.
int ParseRequestHead(std::string_view head, HttpRequest& out);

}  // namespace httpmail
