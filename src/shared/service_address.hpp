#pragma once

// Where the web service lives. There is no production service: an address is
// used only when MIVO_API_URL names one, and tokens never travel in the clear
// beyond this machine, so plain http is taken only for a loopback address.

#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace mivo {

// An absolute https address, or http to a loopback address of this machine
// (127.0.0.0/8 in any spelling the network library reads as such, [::1];
// not the name "localhost", nor 127.0.0.08, which it reads as a name);
// nothing with spaces or control characters, no other scheme, and nothing
// the network library does not read at all (a port beyond 65535 or with
// other than digits, two "@" before the host, more after "[…]").
bool isHttpsOrLoopbackHttp(std::string_view url);

// Whether `url` is plain http to a loopback address that the rule takes.
bool isLoopbackHttp(std::string_view url);

// MIVO_API_URL exactly as set when it is such an address; otherwise the
// reason, for the log ("MIVO_API_URL is not set", …).
std::expected<std::string, std::string> serviceAddressFromEnvironment();

// What sign-in and rewriting tell the user when no service is configured.
inline constexpr const char* kNoServiceConfigured =
    "No rewrite service is set up for this copy of Mivo, so signing in and rewriting are not "
    "available.";

// Why an address set in MIVO_API_URL is not used, and what to write instead,
// for the user ("The address … was refused: …").
std::string refusedAddressText(std::string_view url);

// Why a loopback address was refused when a request was about to go there:
// `why` is the transport's words ("another program, not yours, answers at
// …"); then what to do instead, where `anotherUsers` (the program there is
// known to be another user's). As refusedAddressText() words it.
std::string refusedListenerText(std::string_view url, std::string_view why, bool anotherUsers);

// What sign-in and rewriting tell the user when MIVO_API_URL gives them no
// service: kNoServiceConfigured when it is not set, the refusal when it is.
std::string noServiceText();

// What to write instead of a loopback `url` that nothing answered at, when
// it is not the address the stand-in listens on (127.0.0.1); nothing
// otherwise.
std::optional<std::string> loopbackAddressAdvice(std::string_view url);

}  // namespace mivo
