#include "tests/support/line_client.h"

#include "core/exception.h"
#include "tests/support/test_socket.h"

namespace testing_support {

LineClient::LineClient(int port, int timeoutMs) {
    socket.Open(port, "127.0.0.1", timeoutMs, false);
}

std::string LineClient::Command(const std::string& line) {
    Send(line + "\r\n");
    return ReadLine();
}

std::string LineClient::MultiLine(const std::string& line) {
    Send(line + "\r\n");
    std::string answer = ReadLine();
    if (answer.compare(0, 3, "+OK") != 0) return answer;
    for (std::string line; line != ".\r\n";) {
        line = ReadLine();
        answer += line;
    }
    return answer;
}

std::string LineClient::ReadUntil(const std::string& terminator) {
    size_t searched = 0;
    for (;;) {
        size_t found = buffer.find(terminator, searched);
        if (found != std::string::npos) {
            std::string bytes = buffer.substr(0, found + terminator.size());
            buffer.erase(0, found + terminator.size());
            return bytes;
        }
        searched = buffer.size() >= terminator.size() ? buffer.size() - terminator.size() + 1 : 0;
        char chunk[65536];
        size_t count = socket.Receive(chunk, sizeof chunk);
        if (count == 0)
            throw vxw::SocketClosed("LineClient - closed before \"" + terminator + "\" - " +
                                    buffer);
        buffer.append(chunk, count);
    }
}

std::string LineClient::ReadToClose() {
    char chunk[65536];
    for (;;) {
        size_t count = 0;
        try {
            count = socket.Receive(chunk, sizeof chunk);
        } catch (const vxw::SocketError& e) {
            // A server that closes with unread input resets the connection.
            if (e.Code() != kConnectionResetError) throw;
        }
        if (count == 0) break;
        buffer.append(chunk, count);
    }
    std::string bytes;
    bytes.swap(buffer);
    return bytes;
}

bool LineClient::ClosedByServer() {
    if (!buffer.empty()) return false;
    char chunk[256];
    try {
        return socket.Receive(chunk, sizeof chunk) == 0;
    } catch (const vxw::SocketError& e) {
        // A server that closes with unread input resets the connection.
        return e.Code() == kConnectionResetError;
    }
}

}  // namespace testing_support
