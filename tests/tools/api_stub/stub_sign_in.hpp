#pragma once

// A whole sign-in at the stand-in, as Mivo and the browser make one, for
// the stand-in's own tests.

#include <optional>
#include <string>

#include "stub_process.hpp"

namespace mivo::testing {

// A device nonce as Mivo makes one: 32 hexadecimal digits.
extern const std::string kNonce;

// The reply's status; -1 without a reply.
int statusOf(const std::optional<StubReply>& reply);

struct SignedIn {
    std::string grant;
    std::string access;
    std::string refresh;
};

// The tokens of a whole sign-in through `stub` with kNonce, and the grant it
// used. A listener of the test's own holds the callback port meanwhile.
SignedIn signIn(const StubProcess& stub);

}  // namespace mivo::testing
