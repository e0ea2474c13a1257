#pragma once
// A raw client for line-protocol tests: sends exact bytes and hands back
// exactly the bytes the server sent, CR LF included.
#include <string>

#include "net/socket.h"

namespace testing_support {

class LineClient {
public:
    LineClient(int port, int timeoutMs = 5000);

    void Send(const std::string& bytes) { socket.SendText(bytes); }
    // Sends line and CR LF, then returns the one-line answer with its CR LF.
    std::string Command(const std::string& line);
    // Sends line and CR LF, then returns everything up to and including the
    // terminating ".\r\n" of a multi-line answer.
    std::string MultiLine(const std::string& line);

    // The bytes up to and including the first occurrence of terminator.
    // Throws what the socket throws (a time-out, SocketError), or SocketClosed
    // when the server closed first.
    std::string ReadUntil(const std::string& terminator);
    std::string ReadLine() { return ReadUntil("\r\n"); }
    // Every byte until the server closes the connection.
    std::string ReadToClose();
    // True when the server closes the connection with nothing more to say
    // within the socket's time-out.
    bool ClosedByServer();
    void Close() { socket.Close(); }
    vxw::Socket& Socket() { return socket; }

private:
    vxw::Socket socket;
    std::string buffer;
};

}  // namespace testing_support
