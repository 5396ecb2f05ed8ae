#pragma once

// Who is at the other end of an accepted loopback TCP connection, and who
// would answer a connection to a loopback address: the user owning that
// socket, as the kernel's socket diagnostics tell it, asked for the one
// socket exactly (never a dump of every socket on the machine). Any user of
// the machine may listen on any loopback address, so the stand-in asks
// before it serves, and the transport before it sends plain http there.

#include <sys/socket.h>
#include <sys/types.h>

#include <expected>
#include <string>

namespace mivo {

// Why an owner could not be told. Every one of them means: serve no one.
enum class OwnerUnknown {
    notConnected,   // the connection has no loopback addresses (any more)
    noDiagnostics,  // the kernel's socket diagnostics cannot be asked
    noAnswer,       // they did not answer within kLookupBound
    notThePeer,     // they answered with some other socket (a listener, say)
    closed,         // the peer's socket is gone or no process holds it
    overflowUser,   // the socket's user is not mapped into this namespace
};

// Words for the user: what went wrong, without the verdict.
const char* describe(OwnerUnknown why);

// The most one lookup may take; the kernel answers at once when it answers.
inline constexpr int kLookupBoundMilliseconds = 1000;

// The owner of the socket that `connection` (an accepted TCP socket) is
// connected to, while a process still holds that socket open. Only that very
// socket counts: its addresses and ports are the connection's, and it is not
// a listener that the kernel would hand a new connection to.
std::expected<uid_t, OwnerUnknown> peerOwner(int connection);

// No user's: (uid_t)-1 is no one's user id.
inline constexpr uid_t kNoOne = static_cast<uid_t>(-1);

// The owner of the listener that a connection to 127.0.0.1:`port` reaches,
// whichever device it is bound to; kNoOne when no one listens there.
std::expected<uid_t, OwnerUnknown> loopbackListenerOwner(int port);

// The same for any loopback address and port (127.0.0.0/8, ::1, or an
// IPv4 one written as ::ffff:127.x.y.z), such as the peer of a connection
// just made: a listener on the wildcard address counts as well.
std::expected<uid_t, OwnerUnknown> listenerOwner(const sockaddr_storage& address);

// Whether `address` is one of this machine's loopback addresses.
bool isLoopback(const sockaddr_storage& address);

// "127.0.0.2:8080", "[::1]:8080": an address and port for the user.
std::string endpointText(const sockaddr_storage& address);

// The user the kernel reports for a socket whose user this namespace does
// not map (/proc/sys/kernel/overflowuid): everyone unmapped looks like it.
uid_t overflowUser();

}  // namespace mivo
