#pragma once

// HTTP requests to the web services. A request runs in the background and
// its one answer arrives on the main loop, so the services stay single-
// threaded. Only requests and answers cross this line: which HTTP library
// sends them is the backend's business.

#include <cstddef>
#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cancel.hpp"

namespace mivo {

struct HttpHeader {
    std::string name;
    std::string value;
    bool operator==(const HttpHeader&) const = default;
};

struct HttpRequest {
    std::string method = "GET";
    // Taken as written: no slash is added, removed or merged.
    std::string url;
    std::vector<HttpHeader> headers;
    // None: no body and no length are sent.
    std::optional<std::string> body;
    // Longest silence between two pieces of the transfer; 0 or less: none.
    double idleTimeoutSeconds = 0;
    // Longest whole transfer, from send to the last byte; 0 or less: none.
    double totalTimeoutSeconds = 0;
    // Longest answer body the caller will take (see kMaxAnswerBytes); a
    // longer one stops the transfer and ends the request without an answer.
    // 0: the transport's own bound.
    std::size_t maxAnswerBytes = 0;
};

struct HttpResponse {
    int status = 0;
    std::vector<HttpHeader> headers;
    std::string body;

    // The first header of that name, compared without regard to case.
    std::optional<std::string> header(std::string_view name) const;
};

// Why a request ended without an answer. Only the caller's own cancel gives
// `cancelled`; a time limit running out gives `timeout`.
enum class HttpFailureKind {
    offline,  // refused, host not found, connection closed before the answer
    timeout,
    cancelled,
    // https to a server whose certificate this machine does not trust;
    // `detail` names the certificate, its issuer and why.
    untrustedCertificate,
    // Plain http to a loopback address where another user's program listens,
    // or whose owner the kernel would not tell; nothing was sent. `detail`
    // says so in words, naming the address and port connected to.
    foreignListener,
    other,  // anything else, with the library's own error number in `code`
};

struct HttpFailure {
    HttpFailureKind kind = HttpFailureKind::other;
    int code = 0;
    std::string detail;
    // offline: the connection was refused, so nothing listens at the
    // address (not a name that was not found, nor a connection dropped).
    bool refused = false;
    // foreignListener: the kernel would not tell whose program listens,
    // rather than naming another user.
    bool ownerUnknown = false;
};

using HttpResult = std::expected<HttpResponse, HttpFailure>;

class HttpTransport {
  public:
    using Completion = std::function<void(HttpResult)>;

    virtual ~HttpTransport() = default;

    // Starts the request. `completion` runs exactly once, on the main loop and
    // never inside send() or cancel(): with the answer (any status; redirects
    // are answers, not followed), or with the failure. Cancelling the handle
    // before then makes the completion report `cancelled`. A transport
    // destroyed with requests in flight abandons them without completions.
    virtual Cancel send(HttpRequest request, Completion completion) = 0;
};

}  // namespace mivo
