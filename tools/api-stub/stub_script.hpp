#pragma once

// Scripted misbehaviour of the stand-in server, per endpoint path: answer
// with any status and body, wait before answering, or drop the connection.
// Each entry serves a number of requests in turn, then the next one takes
// over; an endpoint without entries behaves normally.

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace mivo::stub {

struct ScriptedAnswer {
    // None: the endpoint answers as it normally would (after the delay).
    std::optional<int> status;
    std::string body;
    std::string contentType = "application/json";
    double delaySeconds = 0;
    // Close the connection without a byte of answer.
    bool drop = false;
    // Requests this entry serves; 0 or less: every request from now on.
    int times = 1;
};

class Script {
  public:
    // Replaces everything scripted. The document is an object from path to
    // one entry or an array of entries, each
    // {"status", "body" (text or JSON), "content_type", "delay", "drop", "times"}.
    // Returns a complaint instead when the document does not fit.
    std::optional<std::string> load(std::string_view document);
    void clear();

    // The entry that serves this request of `path`, if any.
    std::optional<ScriptedAnswer> take(const std::string& path);

  private:
    std::mutex mutex_;
    std::map<std::string, std::deque<ScriptedAnswer>> entries_;
};

}  // namespace mivo::stub
