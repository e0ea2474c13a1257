#include "tools/httpmail/connection.h"

#include "tools/httpmail/response_writer.h"

namespace httpmail {

Connection::Connection(int socket, std::string name, HttpMailService& s, const ReadLimits& l,
                       const StopSignal& signal)
    : fd(socket), peer(std::move(name)), service(s), limits(l), stop(signal) {}

void Connection::Serve() {
    RequestReader reader(fd, limits);
    ResponseWriter writer(fd, stop);
    while (!stop.Stopped()) {
        HttpRequest request;
        int status = 0;
        std::string why;
        switch (reader.Read(request, status, why)) {
            case RequestReader::Outcome::Closed:
                return;
            case RequestReader::Outcome::Refused:
                writer.Write(request.method, 1, service.Refusal(peer, request, status, why), false);
                return;
            case RequestReader::Outcome::Request:
                break;
        }
        const Answer answer = service.Handle(request);
        if (!writer.Write(request.method, request.minorVersion, answer, request.KeepAlive()))
            return;
    }
}

}  // namespace httpmail
