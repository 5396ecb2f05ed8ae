#include "shared/service_address.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace mivo {
namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Only an address, never the name "localhost": a browser or resolver tries
// [::1] first, where another user of the machine may listen on the same port
// and so receive the tokens or answer the sign-in page.
bool isLoopbackHost(std::string_view host) {
    const std::string h = lower(host);
    if (h == "[::1]")
        return true;
    // Dotted IPv4 in 127.0.0.0/8: four numbers 0-255, the first 127.
    int parts = 0;
    std::size_t i = 0;
    while (i <= h.size()) {
        const std::size_t dot = std::min(h.find('.', i), h.size());
        const std::string_view part = std::string_view(h).substr(i, dot - i);
        if (part.empty() || part.size() > 3 ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            std::stoi(std::string(part)) > 255)
            return false;
        if (parts == 0 && part != "127")
            return false;
        ++parts;
        i = dot + 1;
    }
    return parts == 4;
}

struct Address {
    std::string scheme;  // lower case
    std::string host;    // as written, "[…]" around IPv6
    std::string port;    // digits as written; empty when none
};

// Scheme, host and port of an absolute address, its user part dropped;
// nothing without "://" or with an unclosed "[".
std::optional<Address> split(std::string_view url) {
    const auto separator = url.find("://");
    if (separator == std::string_view::npos)
        return std::nullopt;
    Address out;
    out.scheme = lower(url.substr(0, separator));
    std::string_view authority = url.substr(separator + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (auto at = authority.rfind('@'); at != std::string_view::npos)
        authority = authority.substr(at + 1);
    std::string_view rest;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        out.host = authority.substr(0, close + 1);
        rest = authority.substr(close + 1);
    } else {
        const auto colon = authority.find(':');
        out.host = authority.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : authority.substr(colon);
    }
    if (rest.starts_with(':'))
        out.port = rest.substr(1);
    return out;
}

// The address the stand-in listens on, with the port `url` names.
std::string standInAddress(const std::optional<Address>& address) {
    const bool port = address && !address->port.empty() &&
                      std::all_of(address->port.begin(), address->port.end(),
                                  [](char c) { return c >= '0' && c <= '9'; });
    return "http://127.0.0.1:" + (port ? address->port : std::string("PORT"));
}

}  // namespace

std::string refusedAddressText(std::string_view url) {
    const auto address = split(url);
    const std::string said =
        "The address in MIVO_API_URL, \u201C" + std::string(url) + "\u201D, was refused: ";
    const std::string instead = standInAddress(address);
    if (address && address->scheme == "http" && lower(address->host) == "localhost")
        return said +
               "plain http is used only with a loopback address written as a number, because "
               "the name localhost may lead to [::1], where another user's program can answer. "
               "Write " +
               instead + " instead.";
    if (address && address->scheme == "http" && !address->host.empty())
        return said +
               "plain http is used only with this machine's loopback addresses, because tokens "
               "would travel unencrypted. Write an https address, or " +
               instead + " for a service on this machine.";
    return said +
           "it is not an http or https address (no spaces or control characters). Write an "
           "https address, or " +
           instead + " for a service on this machine.";
}

std::string noServiceText() {
    const char* value = std::getenv("MIVO_API_URL");
    if (value == nullptr || *value == '\0' || isHttpsOrLoopbackHttp(value))
        return kNoServiceConfigured;
    return refusedAddressText(value);
}

std::optional<std::string> loopbackAddressAdvice(std::string_view url) {
    const auto address = split(url);
    if (!address || address->scheme != "http" || address->host == "127.0.0.1" ||
        !isHttpsOrLoopbackHttp(url))
        return std::nullopt;
    return "The stand-in web service (scripts/run.sh) listens on 127.0.0.1 only: write " +
           standInAddress(address) + " in MIVO_API_URL.";
}

bool isHttpsOrLoopbackHttp(std::string_view url) {
    if (std::any_of(url.begin(), url.end(),
                    [](unsigned char c) { return c <= 0x20 || c == 0x7F || c == '\\'; }))
        return false;
    const auto address = split(url);
    if (!address || address->host.empty())
        return false;
    if (address->scheme == "https")
        return true;
    return address->scheme == "http" && isLoopbackHost(address->host);
}

std::expected<std::string, std::string> serviceAddressFromEnvironment() {
    const char* value = std::getenv("MIVO_API_URL");
    if (value == nullptr || *value == '\0')
        return std::unexpected("MIVO_API_URL is not set: no rewrite service");
    if (!isHttpsOrLoopbackHttp(value))
        return std::unexpected(refusedAddressText(value));
    return std::string(value);
}

}  // namespace mivo
