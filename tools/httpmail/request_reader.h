#pragma once
// Reads HTTP/1.1 requests from one connection (RFC 7230): the head up to its
// empty line, then a body framed by Content-Length or chunked coding. Every part
// has a limit; a request beyond one is refused with the fitting status.
#include <string>

#include "tools/httpmail/http_request.h"

namespace httpmail {

struct ReadLimits {
    size_t maxHead = 64 * 1024;
    size_t maxHeaders = 200;
    size_t maxBody = 64u << 20;
    int idleMs = 60000;  // a peer silent that long is dropped
};

class RequestReader {
public:
    enum class Outcome { Request, Closed, Refused };

    RequestReader(int fd, const ReadLimits& limits);
    // Refused: `status` and `why` say what to answer before closing.
    Outcome Read(HttpRequest& out, int& status, std::string& why);

private:
    Outcome ReadHead(std::string& head, int& status, std::string& why);
    bool ReadBody(HttpRequest& request, int& status, std::string& why);
    bool ReadChunked(std::string& body, int& status, std::string& why);
    // A line of at most `max` bytes without its line end; false at the end of input.
    bool ReadLine(std::string& line, size_t max, bool& tooLong);
    bool ReadExactly(size_t count, std::string& out);
    // Waits for more input and appends it; false at the end of input or after the idle time.
    bool Fill();
    void Send(const std::string& text);
    size_t Available() const { return buffer.size() - offset; }

    int fd;
    ReadLimits limits;
    std::string buffer;
    size_t offset = 0;  // start of the unread input in `buffer`
};

}  // namespace httpmail
