#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/exception.h"
#include "net/receive_buffer.h"
#include "net/socket.h"
#include "tests/net/loopback_pair.h"
#include "tests/support/random.h"

namespace {

using testing_support::LoopbackPair;

constexpr size_t kMaxLine = 10000;
constexpr size_t kReceiveSize = 50000;

// The message of the vx::Exception that action throws.
template <class Action>
std::string ExceptionOf(Action action) {
    try {
        action();
    } catch (const vx::Exception& e) {
        return e.Message();
    }
    ADD_FAILURE() << "no exception";
    return "";
}

// Lines of every shape that matters: empty, with a lone CR or LF inside,
// binary bytes, a dot line, the longest allowed.
std::vector<std::string> SampleLines() {
    return {"USER someone",
            "",
            "a\rb",
            "c\nd",
            std::string("\0\x01\xff", 3),
            ".",
            std::string(kMaxLine, 'L'),
            "last"};
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

// Sends stream in random pieces with random pauses, and reads it back as lines
// with the given buffer form.
template <class Buffer>
void ExpectLinesBack(const std::vector<std::string>& lines, size_t receiveSize, unsigned seed) {
    const std::string stream = Joined(lines);
    LoopbackPair pair;
    std::thread sender([&] {
        std::mt19937 random(seed);
        size_t at = 0;
        while (at < stream.size()) {
            size_t piece =
                std::min<size_t>(stream.size() - at, 1 + testing_support::RandomBelow(3000));
            pair.client.Send(stream.data() + at, piece);
            at += piece;
            if (testing_support::RandomBelow(4) == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    Buffer buffer;
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(vxw::ReadLine(buffer, *pair.server, kMaxLine, receiveSize), lines[i])
            << "line " << i << ", receive size " << receiveSize;
    }
    sender.join();
}

// The reader must give the same lines however the stream is cut: a small
// receive size cuts it at every position, random pieces cut it on the wire.
TEST(ReadLine, SameLinesWhateverTheChunking) {
    const std::vector<std::string> lines = SampleLines();
    unsigned seed = 1;
    for (size_t receiveSize :
         {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{4096}, kReceiveSize}) {
        ExpectLinesBack<vx::Str>(lines, receiveSize, ++seed);
        ExpectLinesBack<vxw::ReceiveBuffer>(lines, receiveSize, ++seed);
    }
}

TEST(ReadLine, TwoLinesInOneReceiveNeedNoSecondReceive) {
    LoopbackPair pair(200);
    pair.client.SendText("first\r\nsecond\r\n");
    vxw::ReceiveBuffer buffer;
    EXPECT_EQ(vxw::ReadLine(buffer, *pair.server, kMaxLine, kReceiveSize), "first");
    // A further receive would time out: the peer sends nothing more.
    EXPECT_EQ(vxw::ReadLine(buffer, *pair.server, kMaxLine, kReceiveSize), "second");
    EXPECT_EQ(buffer.PendingSize(), 0u);
}

TEST(ReadLine, LongestLineIsAcceptedEvenWhenItsLineFeedComesLater) {
    LoopbackPair pair;
    std::string longest(kMaxLine, 'x');
    pair.client.SendText(longest + "\r");
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pair.client.SendText("\n");
    });
    vx::Str buffer;
    EXPECT_EQ(vxw::ReadLine(buffer, *pair.server, kMaxLine, kReceiveSize), longest);
    late.join();
}

TEST(ReadLine, OverlongLinesFailWithTheirTexts) {
    {
        LoopbackPair pair;
        pair.client.SendText(std::string(kMaxLine + 1, 'x') + "\r\n");
        vx::Str buffer;
        EXPECT_EQ(ExceptionOf([&] { vxw::ReadLine(buffer, *pair.server, kMaxLine, kReceiveSize); }),
                  "SOCKETUTIL_READLINE_LINEEND: The line the maximum line length allowed - 10003");
    }
    {
        LoopbackPair pair;
        pair.client.SendText(std::string(kMaxLine + 1, 'x'));
        vx::Str buffer;
        std::string message =
            ExceptionOf([&] { vxw::ReadLine(buffer, *pair.server, kMaxLine, kReceiveSize); });
        EXPECT_EQ(
            message.rfind("SOCKETUTIL_READLINE_BUFFERLEN: The buffer exceeds the maximum line "
                          "length allowed - ",
                          0),
            0u)
            << message;
    }
}

TEST(ReadLine, PeerClosingMidLineThrowsSocketClosedAndKeepsThePartialLine) {
    LoopbackPair pair;
    pair.client.SendText("done\r\npart");
    pair.client.Close();
    vx::Str buffer;
    EXPECT_EQ(vxw::ReadLine(buffer, *pair.server, kMaxLine, kReceiveSize), "done");
    try {
        vxw::ReadLine(buffer, *pair.server, kMaxLine, kReceiveSize);
        FAIL() << "expected SocketClosed";
    } catch (const vxw::SocketClosed& e) {
        EXPECT_EQ(e.Message(), "SOCKETUTIL_READLINE_RECEIVE: Socket was closed");
    }
    EXPECT_EQ(buffer, "part");
}

}  // namespace
