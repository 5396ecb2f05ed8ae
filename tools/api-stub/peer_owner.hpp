#pragma once

// Who is at the other end of an accepted loopback TCP connection: the user
// owning the socket that connected, as the kernel's socket diagnostics tell
// it.

#include <sys/types.h>

#include <optional>

namespace mivo::stub {

// The owner of the socket that `connection` (an accepted TCP socket) is
// connected to, while a process still holds that socket open; nothing when
// it cannot be told: the peer is not on this machine, has already closed
// its socket (a closed socket no longer has an owner the kernel reports), or
// the kernel does not answer.
std::optional<uid_t> peerOwner(int connection);

}  // namespace mivo::stub
