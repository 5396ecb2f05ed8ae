#pragma once

// What the sign-in may open in the browser, and how an account API failure
// reads for the user.

#include <string>
#include <string_view>

#include "account/mivo_api_client.hpp"

namespace mivo {

// An absolute https address, or http to a loopback address of this machine
// (127.0.0.0/8 in any spelling the network library reads as such, [::1];
// not the name "localhost", nor 127.0.0.08, which it reads as a name);
// nothing with spaces or control characters, no other scheme, and nothing
// the network library does not read at all (a port beyond 65535 or with
// other than digits, two "@" before the host, more after "[…]").
bool isAcceptableAuthURL(std::string_view url);

// The account API's errors carry no texts of their own; this is what the
// sign-in shows for them. A failure to reach `baseURL` names it, says why,
// and what to write instead where the address is the likely fault.
std::string describeAPIError(const MivoAPIClient::APIError& error, std::string_view baseURL = {});

// Whether nothing answered at the address (refused, no route, no name, no
// answer in time) or its certificate was not trusted.
bool isUnreachable(const MivoAPIClient::APIError& error);

// Whether the failure lies with the address itself rather than with the
// network or the service: a certificate not trusted, another user's program
// at a loopback address, or a loopback address other than the stand-in's
// where nothing answers. Waiting will not mend it.
bool isAddressFault(const MivoAPIClient::APIError& error, std::string_view baseURL);

// Whether the connection to a loopback `baseURL` was refused: nothing of
// this machine's listens there, whatever the network does.
bool nothingListensOnThisMachine(const MivoAPIClient::APIError& error, std::string_view baseURL);

}  // namespace mivo
