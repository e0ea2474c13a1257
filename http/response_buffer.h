#pragma once
// Bytes received on one connection and not consumed yet. Consuming from the
// front only moves an offset, so a body read in many small pieces costs no
// shifting of what is left. The room is taken when bytes are to be received
// (and not filled in beforehand: pages never received into cost nothing) and
// can be given back between requests, so an idle connection holds none.
#include <cstddef>
#include <memory>

namespace vxw {

class Socket;

class ResponseBuffer {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    const char* Data() const { return storage.get() + begin; }
    size_t Size() const { return end - begin; }
    bool Empty() const { return end == begin; }
    // Offset of pattern (from Data()) at or after from, or npos.
    size_t Find(const char* pattern, size_t from = 0) const;
    void Consume(size_t count);
    void Clear() { begin = end = 0; }
    // Gives the room back when no byte is left in it.
    void ReleaseIfEmpty();
    // Receives at most max bytes behind the buffered ones; the count, 0 when
    // the peer closed. Throws what Socket::Receive throws.
    size_t ReceiveFrom(Socket& socket, size_t max);

private:
    std::unique_ptr<char[]> storage;
    size_t room = 0;
    size_t begin = 0, end = 0;
};

}  // namespace vxw
