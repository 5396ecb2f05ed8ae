#pragma once

// Fetching the update feed: one GET whose answer is read only up to a bound
// and within a time limit. A server that sends more (or announces more) has
// its transfer stopped at the bound, and one that trickles is stopped at the
// time limit, so it can neither fill Mivo's memory nor keep the check busy.
// Only https, or plain http to this machine's loopback address, is fetched,
// redirects included.

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

class QNetworkAccessManager;

namespace mivo {

struct FeedLimits {
    std::size_t maxBytes = 0;
    // Longest silence, and longest whole transfer.
    std::chrono::milliseconds idle{0};
    std::chrono::milliseconds total{0};
};

// `done` runs once, on the event loop: the body of a 200 answer of at most
// `limits.maxBytes`, or nothing for any failure, another status, a longer
// body, an address that is neither https nor loopback http, or no whole
// answer within the time limits.
void fetchFeed(QNetworkAccessManager& network, const std::string& url, FeedLimits limits,
               std::function<void(std::optional<std::string>)> done);

}  // namespace mivo
