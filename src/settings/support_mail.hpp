#pragma once

// The mail link that hands feedback and account-deletion requests to the
// user's mail application.

#include <optional>
#include <string>
#include <string_view>

namespace mivo {

inline constexpr std::string_view supportMailAddress = "support@mivo.app";

// "mailto:<address>?subject=…[&body=…]", every query value percent-encoded;
// an empty body is still a body. Nothing when the subject is empty.
std::optional<std::string> supportMailURL(std::string_view subject,
                                          const std::optional<std::string>& body);

// RFC 3986 percent-encoding of everything but the unreserved characters.
std::string percentEncode(std::string_view text);

}  // namespace mivo
