#include "net/socket_system.h"
#include "net/socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "core/exception.h"
#include "tests/net/loopback_pair.h"
#include "tests/support/test_socket.h"

namespace {

using Clock = std::chrono::steady_clock;
using testing_support::LoopbackPair;

// Runs action, which must throw a SocketError; returns its message.
template <class Action>
std::string SocketErrorOf(Action action) {
    try {
        action();
    } catch (const vxw::SocketError& e) {
        return e.Message();
    }
    ADD_FAILURE() << "no SocketError";
    return "";
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(Socket, SendAndReceiveRoundTripAndPeerCloseGivesZero) {
    LoopbackPair pair;
    pair.client.SendText("hello");
    char buffer[16];
    ASSERT_EQ(pair.server->Receive(buffer, sizeof buffer), 5u);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    pair.client.Close();
    EXPECT_EQ(pair.server->Receive(buffer, sizeof buffer), 0u);
}

// A request's head and body are two sends, and so are the two lines of an
// EHLO reply: with Nagle's algorithm on, the second waited for the peer's
// delayed acknowledgement of the first (some 40 ms on every submission).
TEST(Socket, OpenedAndAcceptedConnectionsSendSmallPiecesAtOnce) {
    LoopbackPair pair;
    EXPECT_TRUE(testing_support::HasNoDelay(pair.client.Handle()));
    EXPECT_TRUE(testing_support::HasNoDelay(pair.server->Handle()));
}

TEST(Socket, CloseIsIdempotent) {
    vxw::Socket never;
    EXPECT_EQ(never.Close(), -1);
    LoopbackPair pair;
    EXPECT_EQ(pair.client.Close(), 0);
    EXPECT_EQ(pair.client.Close(), -1);
    EXPECT_FALSE(pair.client.IsOpen());
}

TEST(Socket, OpenFailuresCloseTheSocketAndNameThePlace) {
    int closedPort = 0;
    {
        vxw::Socket probe;
        probe.Listen("127.0.0.1", 0, 1);
        closedPort = probe.LocalPort();
    }
    vxw::Socket socket;
    auto start = Clock::now();
    EXPECT_EQ(
        SocketErrorOf([&] { socket.Open(closedPort, "127.0.0.1", 5000, false); }),
        "vxw::Socket::Open::WaitUntilWriteable - Error connecting socket to 127.0.0.1 on port " +
            std::to_string(closedPort) + " - " + vxw::sys::DescribeError(testing_support::kConnectionRefusedError));
    EXPECT_LT(SecondsSince(start), 2.0);
    EXPECT_FALSE(socket.IsOpen());

    std::string lookup =
        SocketErrorOf([&] { socket.Open(80, "no-such-host.invalid", 5000, false); });
    EXPECT_EQ(
        lookup.rfind("vxw::Socket::GetAddress - Error in host lookup - no-such-host.invalid", 0),
        0u)
        << lookup;
    EXPECT_FALSE(socket.IsOpen());
}

TEST(Socket, ListenOnAPortInUseOrOutOfRangeNamesHostPortAndError) {
    vxw::Socket first;
    first.Listen("127.0.0.1", 0, 4);
    vxw::Socket second;
    EXPECT_EQ(SocketErrorOf([&] { second.Listen("127.0.0.1", first.LocalPort(), 4); }),
              "vxw::Socket::Listen::bind - Error binding socket - 127.0.0.1 - " +
                  std::to_string(first.LocalPort()) + " - " +
                  vxw::sys::DescribeError(testing_support::kAddressInUseError));
    // A port from a damaged settings file must not wrap to 4464.
    EXPECT_EQ(SocketErrorOf([&] { second.Listen("127.0.0.1", 70000, 4); }),
              "vxw::Socket::Listen::bind - Error binding socket - 127.0.0.1 - 70000 - " +
                  vxw::sys::DescribeError(testing_support::kInvalidArgumentError));
}

// The number alone tells a user little: each platform gives its own words.
TEST(Socket, ErrorNumbersComeWithTheSystemsWords) {
    for (int code : {testing_support::kConnectionRefusedError, testing_support::kAddressInUseError,
                     testing_support::kTimedOutError}) {
        std::string words = vxw::sys::ErrorWords(code);
        EXPECT_GT(words.size(), 5u) << code;
        EXPECT_EQ(vxw::sys::DescribeError(code), std::to_string(code) + " (" + words + ")");
    }
}

TEST(Socket, ReceiveFromASilentPeerFailsAfterOneTimeOut) {
    LoopbackPair pair(300);
    char buffer[16];
    auto start = Clock::now();
    EXPECT_EQ(SocketErrorOf([&] { pair.client.Receive(buffer, sizeof buffer); }),
              "vxw::Socket::Receive::WaitUntilReadable - There was an error receiving data "
              "through the socket - " +
                  vxw::sys::DescribeError(testing_support::kTimedOutError));
    EXPECT_GE(SecondsSince(start), 0.29);
}

TEST(Socket, SendToAPeerThatStopsReadingFailsWithinTheBudget) {
    LoopbackPair pair(1000);
    std::string block(1 << 20, 'x');
    auto start = Clock::now();
    std::string message = SocketErrorOf([&] {
        for (int i = 0; i < 256; ++i) pair.client.Send(block.data(), block.size());
    });
    EXPECT_EQ(message.rfind("vxw::Socket::Send::", 0), 0u) << message;
    EXPECT_NE(message.find("There was an error sending the data through the socket"),
              std::string::npos);
    EXPECT_LT(SecondsSince(start), 1.0 + 2 * 1.0 + 0.5);  // one wait plus the retry budget
}

TEST(Socket, SendToAVanishedPeerFailsWithoutKillingTheProcess) {
    LoopbackPair pair;
    pair.server.reset();
    std::string block(1 << 16, 'x');
    std::string message;
    {
        testing_support::DefaultBrokenPipeSignal fatal;  // would end this test program
        message = SocketErrorOf([&] {
            for (int i = 0; i < 64; ++i) pair.client.Send(block.data(), block.size());
        });
    }
    EXPECT_EQ(message.rfind("vxw::Socket::Send::", 0), 0u) << message;
}

TEST(Socket, CloseFromAnotherThreadEndsAcceptWithTheInvalidHandle) {
    vxw::Socket listener;
    listener.Listen("127.0.0.1", 0, 4);
    listener.SetTimeout(30000);
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        listener.Close();
    });
    auto start = Clock::now();
    EXPECT_EQ(listener.Accept(), vxw::kInvalidSocket);
    EXPECT_LT(SecondsSince(start), 5.0);
    closer.join();
}

TEST(Socket, AcceptWaitsForAConnectionAcrossTimeOuts) {
    vxw::Socket listener;
    listener.Listen("", 0, 4);  // all interfaces
    listener.SetTimeout(100);
    int port = listener.LocalPort();
    std::thread connector([port] {
        std::this_thread::sleep_for(std::chrono::milliseconds(350));
        vxw::Socket client;
        client.Open(port, "127.0.0.1", 2000, false);
        client.SendText("x");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    });
    vxw::Socket accepted(listener.Accept());
    char byte = 0;
    EXPECT_EQ(accepted.Receive(&byte, 1), 1u);
    EXPECT_EQ(byte, 'x');
    connector.join();
}

}  // namespace
