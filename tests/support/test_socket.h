#pragma once
// The few socket calls that the test servers make themselves (plain blocking
// sockets, unlike the program's), and the platform's error numbers that the
// texts under test carry.
#include <cstddef>
#include <cstdint>

namespace testing_support {

using RawSocket = std::intptr_t;
constexpr RawSocket kNoSocket = -1;

// The platform's numbers for these socket errors.
extern const int kTimedOutError;
extern const int kConnectionRefusedError;
extern const int kConnectionResetError;
extern const int kAddressInUseError;
extern const int kInvalidArgumentError;

// For its lifetime a broken connection raises the system's default signal
// (SIGPIPE, which would end the process) where the system has one, so a test
// can show that the program never lets it be raised.
class DefaultBrokenPipeSignal {
public:
    DefaultBrokenPipeSignal();
    ~DefaultBrokenPipeSignal();
    DefaultBrokenPipeSignal(const DefaultBrokenPipeSignal&) = delete;
    DefaultBrokenPipeSignal& operator=(const DefaultBrokenPipeSignal&) = delete;

private:
    void (*previous)(int) = nullptr;
};

// A blocking socket listening on 127.0.0.1 at an ephemeral port; throws
// std::runtime_error on failure.
RawSocket ListenOnLoopback(int backlog, int& port);
// The next connection, or kNoSocket once the listener was woken by StopListening.
RawSocket AcceptConnection(RawSocket listener);
// Makes a thread blocked in AcceptConnection (or in a receive on a
// connection) return; the socket stays open until CloseSocket.
void WakeSocket(RawSocket socket);
void CloseSocket(RawSocket socket);

void SetReceiveTimeout(RawSocket socket, int milliseconds);
void SetNoDelay(RawSocket socket);
bool HasNoDelay(RawSocket socket);
// Bytes moved, or -1; never raises a signal.
long SendSome(RawSocket socket, const char* data, size_t length);
long ReceiveSome(RawSocket socket, char* buffer, size_t size);
// Sends every byte; false when the connection failed.
bool SendAll(RawSocket socket, const char* data, size_t length);

}  // namespace testing_support
