// A mail client that reads a large message slowly, as a phone on a poor link
// does. A writeable wait on Linux wakes only once a third of the send buffer
// is free, however steadily the reader takes bytes; the send time-out must
// count from the last byte the reader took, not from the last wake-up.
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "core/thread.h"
#include "net/socket.h"

namespace {

void SetBuffer(vxw::SocketHandle handle, int option, int bytes) {
    ASSERT_EQ(setsockopt(static_cast<int>(handle), SOL_SOCKET, option, &bytes, sizeof bytes), 0);
}

struct SlowReader {
    // Reads piece bytes every pauseMs until total have come or the sender
    // closes.
    void Run(vxw::Socket& socket, size_t total, size_t piece, uint32_t pauseMs) {
        std::string buffer(piece, '\0');
        while (received < total) {
            vxw::Sleep(pauseMs);
            size_t got = socket.Receive(&buffer[0], piece);
            if (got == 0) return;
            received += got;
        }
    }
    size_t received = 0;
};

// The sender's time-out is half a second; freeing a third of its send buffer
// at 32 KiB/s takes about twice that. Every byte arrives, and the send takes
// no longer than the reading.
TEST(SlowReader, ASendToAReaderThatKeepsTakingBytesDoesNotTimeOut) {
    vxw::Socket listener;
    listener.Listen("127.0.0.1", 0, 4);
    SetBuffer(listener.Handle(), SO_RCVBUF, 4096);  // the accepted socket inherits it
    vxw::Socket sender;
    sender.Open(listener.LocalPort(), "127.0.0.1", 500, false);
    SetBuffer(sender.Handle(), SO_SNDBUF, 64 * 1024);
    vxw::Socket reader(listener.Accept());
    reader.SetTimeout(30000);

    const std::string message(160 * 1024, 'm');
    SlowReader slow;
    std::thread reading([&] { slow.Run(reader, message.size(), 2048, 62); });
    auto start = std::chrono::steady_clock::now();
    std::string failure;
    try {
        sender.Send(message.data(), message.size());
    } catch (const vxw::SocketError& e) {
        failure = e.Message();
    }
    auto sending = std::chrono::steady_clock::now() - start;
    sender.Close();
    reading.join();
    EXPECT_EQ(failure, "");
    EXPECT_EQ(slow.received, message.size());
    EXPECT_LT(sending, std::chrono::seconds(30));
}

// A reader that takes nothing at all still ends the send after the time-out.
TEST(SlowReader, ASendToAReaderThatStopsFailsAfterTheTimeOut) {
    vxw::Socket listener;
    listener.Listen("127.0.0.1", 0, 4);
    vxw::Socket sender;
    sender.Open(listener.LocalPort(), "127.0.0.1", 1000, false);
    vxw::Socket reader(listener.Accept());
    const std::string block(1 << 20, 'x');
    auto start = std::chrono::steady_clock::now();
    std::string failure;
    try {
        for (int i = 0; i < 64; ++i) sender.Send(block.data(), block.size());
    } catch (const vxw::SocketError& e) {
        failure = e.Message();
        EXPECT_TRUE(vxw::IsTimeOut(e));
    }
    EXPECT_EQ(failure.rfind("vxw::Socket::Send::WaitUntilWriteable - ", 0), 0u) << failure;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
