#pragma once

// The loopback end of the browser sign-in: a tiny HTTP server on 127.0.0.1
// that waits for the browser to come back with the one-time grant
// ("GET /?grant=…"), answers with a small confirmation page and closes.
//
// It keeps accepting until one request carries a usable grant or the overall
// time-out passes: a browser's idle pre-connection, a favicon request or
// another local program touching the port is answered 400 and closed without
// ending the wait. Each connection gets a few seconds to send its request
// line, which may arrive in pieces; connections are read side by side, and
// when too many are open the idle ones make room for a new one, so a flood
// of silent connections never keeps the browser out.

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/cancel.hpp"
#include "platform/main_loop.hpp"

namespace mivo::DesktopCallbackServer {

struct ServerError {
    enum class Kind {
        bindFailed,
        socketFailed,
        listenFailed,
        acceptFailed,
        readFailed,
        grantNotFound,
        timedOut
    };
    Kind kind = Kind::acceptFailed;
    // bindFailed: the system's error number.
    int errnoValue = 0;

    // The user-facing text ("Failed to bind port (errno 98)").
    std::string description() const;
    bool operator==(const ServerError&) const = default;
};

using Result = std::expected<std::string, ServerError>;

inline constexpr uint16_t kDefaultPort = 9999;
// What one connection may take to send its request line.
inline constexpr double kConnectionDeadlineSeconds = 5;
// The longest request line read; the rest is cut off.
inline constexpr std::size_t kMaxRequestBytes = 4095;
// Connections read side by side; one more makes the idlest of them go.
inline constexpr std::size_t kMaxConnections = 16;

// A bound, listening socket on 127.0.0.1, closed when the object goes.
class Listener {
  public:
    Listener() = default;
    explicit Listener(int fd) : fd_(fd) {}
    ~Listener();
    Listener(Listener&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Listener& operator=(Listener&& other) noexcept;

    int fd() const { return fd_; }
    // The port actually bound (useful after binding port 0).
    uint16_t port() const;
    void close();

  private:
    int fd_ = -1;
};

// Binds and listens on 127.0.0.1:`port`. A port that another program holds
// fails with `bindFailed` and its errno.
std::expected<Listener, ServerError> listenOnLoopback(uint16_t port);

// The connection of a callback that carried a grant, held open until the
// grant has been checked, so that the browser learns the outcome. Dropped
// unanswered, it is closed without a reply.
class HeldReply {
  public:
    explicit HeldReply(int fd) : fd_(fd) {}
    ~HeldReply();
    HeldReply(const HeldReply&) = delete;
    HeldReply& operator=(const HeldReply&) = delete;
    // The confirmation page.
    void accept();
    // A 400 saying the sign-in did not go through.
    void refuse();

  private:
    int fd_ = -1;
};

struct Callback {
    std::string grant;
    std::shared_ptr<HeldReply> reply;
};
using CallbackResult = std::expected<Callback, ServerError>;

// Serves `listener` on the calling thread until a request with a non-empty
// grant arrives or `timeoutSeconds` pass (`timedOut`). With `held` the grant's
// connection is handed over there unanswered; without, it is answered 200
// at once. A byte readable on `cancelFd` (when not -1) ends the wait early
// with `timedOut`. Closes every other connection it accepted; the listener
// stays with the caller.
Result serve(Listener& listener, double timeoutSeconds, int cancelFd = -1,
             std::shared_ptr<HeldReply>* held = nullptr);

// Binds at once, then serves on a worker thread; `completion` runs once on
// the main loop through `post`, with the grant or the error (a failed bind
// too). Cancelling the handle frees the port and drops the completion.
Cancel waitForGrant(uint16_t port, double timeoutSeconds, MainLoopPost post,
                    std::function<void(Result)> completion);
// The same on a listener the caller has bound already.
Cancel waitForGrant(Listener listener, double timeoutSeconds, MainLoopPost post,
                    std::function<void(Result)> completion);
// One round on a listener that stays bound after it, for a caller that checks
// each grant and waits again when it is refused: the callback comes with its
// connection held (see HeldReply). Cancelling stops the round and frees the
// port for good.
Cancel waitForCallback(std::shared_ptr<Listener> listener, double timeoutSeconds, MainLoopPost post,
                       std::function<void(CallbackResult)> completion);

// The value of the first "grant" query item of a request line
// ("GET /path?grant=abc HTTP/1.1"), percent-decoded ("%2B" is "+", "+"
// stays "+"). Nothing when the method is not exactly "GET", the line is not
// UTF-8, the target does not parse, or the first grant item has no "=".
// An empty value is returned as such; the server refuses it.
std::optional<std::string> parseGrant(std::string_view requestLine);

// The complete reply to the browser: status line, two headers, the page.
const std::string& successResponse();

}  // namespace mivo::DesktopCallbackServer
