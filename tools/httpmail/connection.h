#pragma once
// One client connection: requests are read and answered in turn for as long as
// both sides keep the connection.
#include <string>

#include "tools/httpmail/httpmail_service.h"
#include "tools/httpmail/request_reader.h"
#include "tools/httpmail/stop_signal.h"

namespace httpmail {

class Connection {
public:
    Connection(int fd, std::string peer, HttpMailService& service, const ReadLimits& limits,
               const StopSignal& stop);
    void Serve();

private:
    int fd;
    std::string peer;
    HttpMailService& service;
    ReadLimits limits;
    const StopSignal& stop;
};

}  // namespace httpmail
