#include "request_log.hpp"

#include "bounded_json.hpp"
#include "token_digest.hpp"

namespace mivo::stub {

namespace {

using nlohmann::ordered_json;

std::size_t sizeOf(const LoggedRequest& r) {
    std::size_t size = r.method.size() + r.path.size() + r.target.size() + r.body.size();
    for (const auto& [name, value] : r.headers)
        size += name.size() + value.size();
    return size;
}

void hideBearer(LoggedRequest& r) {
    auto it = r.headers.find("authorization");
    constexpr std::string_view prefix = "Bearer ";
    if (it != r.headers.end() && it->second.starts_with(prefix) &&
        it->second.size() > prefix.size())
        it->second = std::string(prefix) + loggedToken(it->second.substr(prefix.size()));
}

// A JSON object's tokens become fingerprints, its keys staying in their
// order; any other body is kept as it came.
void hideBodyTokens(LoggedRequest& r) {
    ordered_json body = parseBoundedOrderedJson(r.body);
    if (!body.is_object())
        return;
    bool changed = false;
    for (const char* key : {"access_token", "refresh_token", "grant"}) {
        auto it = body.find(key);
        if (it != body.end() && it->is_string()) {
            *it = loggedToken(it->get<std::string>());
            changed = true;
        }
    }
    if (changed)
        r.body = body.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

}  // namespace

void RequestLog::record(LoggedRequest request) {
    hideBearer(request);
    hideBodyTokens(request);
    std::lock_guard lock(mutex_);
    bytes_ += sizeOf(request);
    requests_.push_back(std::move(request));
    while (requests_.size() > kMaxRequests || (bytes_ > kMaxBytes && requests_.size() > 1)) {
        bytes_ -= sizeOf(requests_.front());
        requests_.pop_front();
    }
}

nlohmann::json RequestLog::dump() const {
    std::lock_guard lock(mutex_);
    nlohmann::json out = nlohmann::json::array();
    for (const auto& r : requests_) {
        // Bodies may be anything, including not UTF-8: they go in as bytes
        // that the encoder replaces when the log is written out.
        out.push_back({{"method", r.method},
                       {"path", r.path},
                       {"target", r.target},
                       {"headers", r.headers},
                       {"body", r.body}});
    }
    return out;
}

void RequestLog::clear() {
    std::lock_guard lock(mutex_);
    requests_.clear();
    bytes_ = 0;
}

}  // namespace mivo::stub
