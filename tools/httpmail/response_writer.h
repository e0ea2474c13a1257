#pragma once
// Writes the service's answers on one connection, with the changes that fault
// rules ask for: a delay, chunked coding, a body cut off, a dropped connection.
#include <string>
#include <string_view>

#include "tools/httpmail/httpmail_service.h"
#include "tools/httpmail/stop_signal.h"

namespace httpmail {

class ResponseWriter {
public:
    ResponseWriter(int fd, const StopSignal& stop);
    // False when the connection is to be closed afterwards.
    bool Write(const std::string& method, int minorVersion, const Answer& answer, bool keepAlive);

private:
    std::string Head(const HttpResponse& response, bool chunked, bool close, size_t length,
                     int minorVersion) const;
    bool SendChunked(std::string_view head, std::string_view body, size_t chunkSize, bool last);
    // Sends the parts with as few system calls as it can; false on an error.
    bool Send(std::string_view a, std::string_view b = {}, std::string_view c = {});

    int fd;
    const StopSignal& stop;
};

}  // namespace httpmail
