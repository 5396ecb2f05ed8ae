// Reading the grant out of the browser's callback request line.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "account/desktop_callback_server.hpp"
#include "shared/text.hpp"

namespace mivo::DesktopCallbackServer {
namespace {

// Percent-decoding as a URL parser does for query items: "+" is left alone.
// A "%" without two hex digits makes the whole target unparseable.
std::optional<std::string> percentDecode(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size())
            return std::nullopt;
        const int hi = text::hexDigitValue(s[i + 1]);
        const int lo = text::hexDigitValue(s[i + 2]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

}  // namespace

std::optional<std::string> parseGrant(std::string_view requestLine) {
    if (auto end = requestLine.find("\r\n"); end != std::string_view::npos)
        requestLine = requestLine.substr(0, end);
    if (!text::isValidUtf8(requestLine))
        return std::nullopt;
    // Split at every single space: "GET  /x" has an empty target.
    const auto firstSpace = requestLine.find(' ');
    if (firstSpace == std::string_view::npos)
        return std::nullopt;
    if (requestLine.substr(0, firstSpace) != "GET")
        return std::nullopt;
    std::string_view target = requestLine.substr(firstSpace + 1);
    target = target.substr(0, target.find(' '));
    if (auto hash = target.find('#'); hash != std::string_view::npos)
        target = target.substr(0, hash);
    if (!percentDecode(target))
        return std::nullopt;
    const auto question = target.find('?');
    if (question == std::string_view::npos)
        return std::nullopt;
    std::string_view query = target.substr(question + 1);
    while (true) {
        const auto amp = query.find('&');
        const std::string_view item = query.substr(0, amp);
        const auto equals = item.find('=');
        if (percentDecode(item.substr(0, equals)) == "grant") {
            if (equals == std::string_view::npos)
                return std::nullopt;  // the first grant item decides
            return percentDecode(item.substr(equals + 1));
        }
        if (amp == std::string_view::npos)
            return std::nullopt;
        query = query.substr(amp + 1);
    }
}

}  // namespace mivo::DesktopCallbackServer
