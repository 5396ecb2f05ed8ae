#pragma once

// Where the account stands, as the tray, settings and onboarding show it.
// Two states are equal when they have the same case and equal texts.

#include <string>

namespace mivo {

struct AuthSessionState {
    // keyringLocked: signed out for now; the sign-in is kept in the locked
    // keyring and comes back once it is unlocked.
    enum class Kind { signedIn, error, signedOut, signingIn, keyringLocked };

    Kind kind = Kind::signedOut;
    std::string userId;  // signedIn only
    std::string email;   // signedIn only
    // error: what failed; signedOut: why the service ended the session,
    // when it did (empty when the user signed out or never signed in).
    std::string message;
    // error: nothing answered at the service's address, or its certificate
    // is not trusted, or another user's program answers there; nothing of
    // the session was sent.
    bool unreachable = false;
    // error: the address itself is the fault (see isAddressFault): another
    // attempt in this run can only fail the same way, because Mivo reads
    // the address only at start.
    bool addressFault = false;

    static AuthSessionState signedIn(std::string userId, std::string email) {
        return {Kind::signedIn, std::move(userId), std::move(email), {}};
    }
    static AuthSessionState error(std::string message, bool unreachable = false,
                                  bool addressFault = false) {
        return {Kind::error, {}, {}, std::move(message), unreachable, addressFault};
    }
    static AuthSessionState signedOut() { return {}; }
    static AuthSessionState sessionEnded(std::string why) {
        return {Kind::signedOut, {}, {}, std::move(why)};
    }
    bool sessionHasEnded() const { return kind == Kind::signedOut && !message.empty(); }
    static AuthSessionState signingIn() { return {Kind::signingIn, {}, {}, {}}; }
    static AuthSessionState keyringLocked() { return {Kind::keyringLocked, {}, {}, {}}; }

    bool isSignedIn() const { return kind == Kind::signedIn; }
    bool operator==(const AuthSessionState&) const = default;
};

}  // namespace mivo
