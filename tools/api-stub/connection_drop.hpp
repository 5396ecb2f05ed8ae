#pragma once

// Closing the connection a request came on, without answering it. The HTTP
// library does not hand its sockets to handlers, so the socket is found by
// the two addresses of the connection.

#include <string>

namespace mivo::stub {

// Shuts down this process's TCP socket connected to `remoteAddress`:`remotePort`
// on `localPort`. False when no such socket is open.
bool dropConnection(const std::string& remoteAddress, int remotePort, int localPort);

}  // namespace mivo::stub
