#pragma once

// Fetching the update feed: one GET whose answer is read only up to a bound.
// A server that sends more (or announces more) has its transfer stopped at
// the bound, so it can neither fill Mivo's memory nor keep the connection.

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

class QNetworkAccessManager;

namespace mivo {

inline constexpr std::size_t kMaxFeedBytes = 64 * 1024;

// `done` runs once, on the event loop: the body of a 200 answer of at most
// `maxBytes`, or nothing for any failure, another status, a longer body, or
// no answer within `timeout` of silence.
void fetchFeed(QNetworkAccessManager& network, const std::string& url, std::size_t maxBytes,
               std::chrono::milliseconds timeout,
               std::function<void(std::optional<std::string>)> done);

}  // namespace mivo
