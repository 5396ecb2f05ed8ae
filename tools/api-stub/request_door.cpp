#include "request_door.hpp"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

namespace mivo::stub {

namespace {

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool isJson(std::string_view contentType) {
    const std::string_view media = trimmed(contentType.substr(0, contentType.find(';')));
    constexpr std::string_view json = "application/json";
    return media.size() == json.size() &&
           ::strncasecmp(media.data(), json.data(), json.size()) == 0;
}

// The one value of a header that may appear once; nothing when it is
// absent, and an empty text when it is repeated.
std::optional<std::string> single(const httplib::Request& req, const char* name) {
    const auto count = req.get_header_value_count(name);
    if (count == 0)
        return std::nullopt;
    return count == 1 ? req.get_header_value(name) : std::string();
}

}  // namespace

std::optional<DoorRefusal> doorRefusal(const httplib::Request& req, int port,
                                       std::size_t maxBodyBytes) {
    const std::string own = "127.0.0.1:" + std::to_string(port);
    const auto host = single(req, "Host");
    if (!host || (*host != own && !(port == 80 && *host == "127.0.0.1")))
        return DoorRefusal{421, "this stand-in answers only at http://" + own};
    if (const auto origin = single(req, "Origin"); origin && *origin != "http://" + own)
        return DoorRefusal{403, "requests that web pages send are not served"};

    const auto encoding = single(req, "Transfer-Encoding");
    const auto length = single(req, "Content-Length");
    if (encoding && (length || ::strcasecmp(encoding->c_str(), "chunked") != 0))
        return DoorRefusal{400, "only a chunked body without a length is understood"};
    std::size_t declared = 0;
    if (length) {
        const char* end = length->data() + length->size();
        const auto [at, problem] = std::from_chars(length->data(), end, declared);
        if (length->empty() || problem == std::errc::invalid_argument || at != end)
            return DoorRefusal{400, "Content-Length must be a number"};
        if (problem == std::errc::result_out_of_range || declared > maxBodyBytes)
            return DoorRefusal{413, "the request body is too large"};
    }
    const bool carriesBody = encoding.has_value() || declared > 0;
    if ((carriesBody || req.has_header("Content-Type")) &&
        !isJson(req.get_header_value("Content-Type")))
        return DoorRefusal{415, "a request body must be application/json"};
    return std::nullopt;
}

}  // namespace mivo::stub
