// ReadLine on any byte stream, received in pieces of any size: the lines
// with their CR LF give the stream back, no line is longer than allowed, and
// "too long" comes only when no CR LF follows within the limit.
//
// Input: byte 0 picks the buffer form (bit 0), byte 1 the line limit, byte 2
// the receive size; the rest is the stream, ended by the peer closing.
#include "core/exception.h"
#include "fuzz/support/fuzz_check.h"
#include "fuzz/support/socket_pair.h"
#include "net/receive_buffer.h"
#include "net/socket.h"

namespace {

struct StrBuffer {
    vx::Str bytes;
    vx::Str Read(vxw::Socket& socket, size_t maxLine, size_t receiveSize) {
        return vxw::ReadLine(bytes, socket, maxLine, receiveSize);
    }
    vx::Str Pending() const { return bytes; }
};

struct LineBuffer {
    vxw::ReceiveBuffer buffer;
    vx::Str Read(vxw::Socket& socket, size_t maxLine, size_t receiveSize) {
        return vxw::ReadLine(buffer, socket, maxLine, receiveSize);
    }
    vx::Str Pending() const { return buffer.Pending(); }
};

template <class Buffer>
void ReadAll(const vx::Str& stream, size_t maxLine, size_t receiveSize) {
    fuzz_support::SocketPair pair;
    vxw::Socket socket(pair.TakeInner());
    socket.SetTimeout(1000);
    FUZZ_CHECK(pair.WriteAndClose(stream.data(), stream.size()));

    Buffer buffer;
    size_t consumed = 0;
    try {
        for (;;) {
            vx::Str line = buffer.Read(socket, maxLine, receiveSize);
            FUZZ_CHECK(line.size() <= maxLine);
            FUZZ_CHECK(stream.compare(consumed, line.size() + 2, line + "\r\n") == 0);
            FUZZ_CHECK(line.find("\r\n") == vx::Str::npos);
            consumed += line.size() + 2;
        }
    } catch (const vxw::SocketClosed&) {
        // Everything arrived; what is not a line stays pending.
        FUZZ_CHECK(stream.find("\r\n", consumed) == vx::Str::npos);
        FUZZ_CHECK(buffer.Pending() == stream.substr(consumed));
    } catch (const vx::Exception&) {
        // Too long: no line end within the limit.
        size_t end = stream.find("\r\n", consumed);
        FUZZ_CHECK(end == vx::Str::npos || end - consumed > maxLine);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    size_t maxLine = data[1] % 40;
    size_t receiveSize = 1 + data[2] % 48;
    vx::Str stream(fuzz_support::AsText(data + 3, size - 3));
    if (data[0] & 1)
        ReadAll<LineBuffer>(stream, maxLine, receiveSize);
    else
        ReadAll<StrBuffer>(stream, maxLine, receiveSize);
    return 0;
}
