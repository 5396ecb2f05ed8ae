#pragma once

// What the sign-in may open in the browser, and how an account API failure
// reads for the user.

#include <string>
#include <string_view>

#include "account/mivo_api_client.hpp"

namespace mivo {

// An absolute https address, or http to a loopback address of this machine
// (127.0.0.0/8, [::1]; not the name "localhost"); nothing with spaces or
// control characters, no other scheme.
bool isAcceptableAuthURL(std::string_view url);

// The account API's errors carry no texts of their own; this is what the
// sign-in shows for them.
std::string describeAPIError(const MivoAPIClient::APIError& error);

}  // namespace mivo
