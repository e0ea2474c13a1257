#include "tests/http/http_fixture.h"

#include <cstdio>

namespace testing_support {

std::string Sized(const std::string& status, const std::string& body, const std::string& headers) {
    return "HTTP/1.1 " + status + "\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Chunked(const std::string& body, size_t piece, const std::string& headers) {
    std::string reply = "HTTP/1.1 200 OK\r\n" + headers + "Transfer-Encoding: chunked\r\n\r\n";
    for (size_t at = 0; at < body.size(); at += piece) {
        std::string chunk = body.substr(at, piece);
        char size[32];
        std::snprintf(size, sizeof size, "%zx", chunk.size());
        reply += size + std::string("\r\n") + chunk + "\r\n";
    }
    return reply + "0\r\n\r\n";
}

std::vector<std::string> Cut(const std::string& bytes, const std::vector<size_t>& offsets) {
    std::vector<std::string> pieces;
    size_t from = 0;
    for (size_t at : offsets) {
        if (at <= from || at >= bytes.size()) continue;
        pieces.push_back(bytes.substr(from, at - from));
        from = at;
    }
    pieces.push_back(bytes.substr(from));
    return pieces;
}

}  // namespace testing_support
