#include "platform/http_transport.hpp"

#include <algorithm>
#include <cctype>

namespace mivo {

namespace {

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(
        a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

std::optional<std::string> HttpResponse::header(std::string_view name) const {
    for (const auto& h : headers) {
        if (sameNameIgnoringCase(h.name, name))
            return h.value;
    }
    return std::nullopt;
}

}  // namespace mivo
