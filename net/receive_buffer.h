#pragma once
// The bytes a line-protocol session received but has not yet taken as lines.
// Lines are taken from the front without shifting the rest down each time; the
// consumed front is dropped once per receive, so a long run of short lines (a
// large message body) costs one move per receive, not one per line.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/str.h"
#include "net/socket.h"

namespace vxw {

class ReceiveBuffer {
public:
    // The received bytes not yet returned as lines.
    vx::Str Pending() const { return bytes.substr(start); }
    size_t PendingSize() const { return bytes.size() - start; }

private:
    friend std::string_view ReadLineView(ReceiveBuffer& buffer, Socket& socket,
                                         size_t maxLineLength, size_t receiveSize,
                                         int32_t lineTimeoutMs);
    vx::Str bytes;
    size_t start = 0;  // bytes before this offset are consumed
};

// ReadLine of socket.h over a ReceiveBuffer; the same limits and texts.
vx::Str ReadLine(ReceiveBuffer& buffer, Socket& socket, size_t maxLineLength, size_t receiveSize);
// The same without copying the line: the view points into the buffer and
// lasts until the next read from it. With lineTimeoutMs of 0 or more, the
// whole line must arrive within that time (each receive waits only for what
// is left of it); otherwise each receive waits the socket's own time-out.
std::string_view ReadLineView(ReceiveBuffer& buffer, Socket& socket, size_t maxLineLength,
                              size_t receiveSize, int32_t lineTimeoutMs = -1);

}  // namespace vxw
