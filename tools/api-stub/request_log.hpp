#pragma once

// The stand-in's request log, for the tests that steer it: the newest
// requests only (at most kMaxRequests, and at most kMaxBytes of bodies), each
// {"method", "path", "target", "headers" (names in lower case), "body"}.
// Tokens never go in whole: a bearer token, and the "access_token",
// "refresh_token" and "grant" of a JSON body, are replaced by their
// fingerprint (loggedToken).

#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

namespace mivo::stub {

struct LoggedRequest {
    std::string method;
    std::string path;
    std::string target;
    // Names in lower case.
    std::map<std::string, std::string> headers;
    std::string body;
};

class RequestLog {
  public:
    static constexpr std::size_t kMaxRequests = 256;
    static constexpr std::size_t kMaxBytes = 16 * 1024 * 1024;

    void record(LoggedRequest request);
    // Oldest first.
    nlohmann::json dump() const;
    void clear();

  private:
    mutable std::mutex mutex_;
    std::deque<LoggedRequest> requests_;
    std::size_t bytes_ = 0;
};

}  // namespace mivo::stub
