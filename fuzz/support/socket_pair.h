#pragma once
// A connected pair of local stream sockets for fuzzers: one end for the code
// under test (as a vxw::Socket takes it), the other for the fuzzer's side.
#include "core/str.h"
#include "net/socket.h"

namespace fuzz_support {

class SocketPair {
public:
    SocketPair();  // aborts when the system refuses
    ~SocketPair();
    SocketPair(const SocketPair&) = delete;
    SocketPair& operator=(const SocketPair&) = delete;

    // The end for the code under test; the caller owns it from here on.
    vxw::SocketHandle TakeInner();
    // Writes what the inner end takes without waiting; returns how much.
    size_t WriteWithoutWaiting(const char* data, size_t size);
    // Writes every byte to the inner end (blocking), then ends the stream
    // with a half close. False when the inner end went away first.
    bool WriteAndClose(const char* data, size_t size);
    // Reads what the inner end sends until it closes; keeps the first keep bytes.
    vx::Str Drain(size_t keep);

private:
    int inner = -1;
    int outer = -1;
};

}  // namespace fuzz_support
