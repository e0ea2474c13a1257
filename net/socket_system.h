#pragma once
// The thin platform layer under vxw::Socket: the handful of socket calls that
// differ between BSD sockets and Winsock. Each call maps onto one system call;
// failures are reported through LastError(), the platform's own error number.
#include <cstddef>
#include <cstdint>

#include "core/str.h"
#include "net/socket.h"

namespace vxw {
namespace sys {

int LastError();
void SetLastError(int error);
// The system's own words for an error number (LastError's, or a resolver's),
// empty when it has none.
vx::Str ErrorWords(int error);
// "<number> (<the system's words>)", or the number alone.
vx::Str DescribeError(int error);
// The error means "try again later": a non-blocking call that would block, or
// a connect still in progress.
bool WouldBlock(int error);
// The error a wait that ran out reports.
int TimeOutError();

SocketHandle OpenStream();  // an IPv4 TCP socket, or kInvalidSocket
int CloseHandle(SocketHandle handle);
// Ends both directions. On a listening socket this also wakes a thread that
// waits on it, which is what lets another thread stop a listener safely.
void ShutdownBoth(SocketHandle handle);
// Ends the receiving side of a connection: a thread that waits to read from
// it wakes (and reads the end), while sending still works.
void WakeReader(SocketHandle handle);
bool SetNonBlocking(SocketHandle handle);
// The address option every listening socket sets to 1 (its number goes into
// the error text): SO_REUSEADDR on POSIX, so that a restarted listener binds
// at once despite connections of the old one in TIME_WAIT; SO_EXCLUSIVEADDRUSE
// on Windows, where SO_REUSEADDR would let another program bind the same port
// and take the mail client's connections without either side noticing.
int ListenerAddressOption();
bool SetOption(SocketHandle handle, int option, int value);
// Sends small writes at once instead of holding them back until earlier data
// is acknowledged (switches Nagle's algorithm off).
bool SetNoDelay(SocketHandle handle);

// An IPv4 address in network byte order from dotted numbers or a name look-up.
bool LookupHost(const vx::Str& host, uint32_t& address);
bool IsDottedAddress(const vx::Str& host);
uint32_t AnyAddress();

bool Connect(SocketHandle handle, uint32_t address, int32_t port);
bool Bind(SocketHandle handle, uint32_t address, int32_t port);
bool Listen(SocketHandle handle, int32_t backlog);
SocketHandle Accept(SocketHandle handle);  // kInvalidSocket on failure
int32_t LocalPort(SocketHandle handle);    // 0 when unknown

// Bytes moved, or -1 with LastError() set. Send never raises SIGPIPE.
long Send(SocketHandle handle, const char* data, size_t length);
long Receive(SocketHandle handle, char* buffer, size_t size);

// Waits up to ms for the socket to become readable (or writeable). False on a
// time-out (LastError() is then the platform's time-out error), on an error
// condition (LastError() is the socket's pending error) or a failed wait.
bool Wait(SocketHandle handle, bool forWrite, int32_t ms);

// Bytes sent on a connection that the peer has not acknowledged yet (queued
// or in flight), or -1 where the platform cannot tell. A writeable wait may
// sleep until much of the send buffer is free, however steadily a slow peer
// takes bytes; this count shows that it does.
long UnacknowledgedBytes(SocketHandle handle);

}  // namespace sys
}  // namespace vxw
