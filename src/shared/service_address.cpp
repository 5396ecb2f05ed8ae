#include "shared/service_address.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "shared/numeric_host.hpp"

namespace mivo {
namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

constexpr uint32_t kStandIn = 0x7F00'0001;  // 127.0.0.1

// Only an address, never the name "localhost": a browser or resolver tries
// [::1] first, where another user of the machine may listen on the same port
// and so receive the tokens or answer the sign-in page. And only as the
// network library reads it: 127.0.0.08 is a name to it, which the hosts file
// or DNS may send anywhere.
bool isLoopbackHost(std::string_view host) {
    if (host == "[::1]")
        return true;
    const auto address = readIPv4Host(host);
    return address && *address >> 24 == 127;
}

// A host the user meant as an IPv4 number: digits and dots.
bool looksNumeric(std::string_view host) {
    return !host.empty() &&
           std::ranges::all_of(host, [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

// Whether a number of the dotted host is written with a leading 0, which
// makes it octal to the network library, though few people know.
bool hasOctalPart(std::string_view host) {
    for (std::size_t at = 0;; ++at) {
        if (at + 1 < host.size() && host[at] == '0' && host[at + 1] >= '0' && host[at + 1] <= '9')
            return true;
        at = host.find('.', at);
        if (at == std::string_view::npos)
            return false;
    }
}

struct Address {
    std::string scheme;  // lower case
    std::string host;    // as written, "[…]" around IPv6
    std::string port;    // as written after the host's ":"; empty when none
    // What follows "[…]" other than ":" and a port ("[::1]x").
    std::string afterBracket;
    // More than one "@" before the host: the network library reads the
    // first as the end of the user part, and the rest as a host it refuses.
    bool severalAts = false;
};

// Scheme, host and port of an address, its user part dropped; no scheme
// when "://" is missing (127.0.0.1:8080); nothing with an unclosed "[".
std::optional<Address> split(std::string_view url) {
    const auto separator = url.find("://");
    Address out;
    std::string_view authority = url;
    if (separator != std::string_view::npos) {
        out.scheme = lower(url.substr(0, separator));
        authority = url.substr(separator + 3);
    }
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (auto at = authority.rfind('@'); at != std::string_view::npos) {
        out.severalAts = authority.find('@') != at;
        authority = authority.substr(at + 1);
    }
    std::string_view rest;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        out.host = authority.substr(0, close + 1);
        rest = authority.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':'))
            out.afterBracket = rest;
    } else {
        const auto colon = authority.find(':');
        out.host = authority.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : authority.substr(colon);
    }
    if (rest.starts_with(':'))
        out.port = rest.substr(1);
    return out;
}

// Whether a port as written is one the network library reads: none, or
// decimal digits for at most 65535 (leading zeros allowed).
bool isReadablePort(std::string_view port) {
    if (!std::ranges::all_of(port, [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const auto digits = port.find_first_not_of('0');
    return digits == std::string_view::npos || port.size() - digits < 5 ||
           (port.size() - digits == 5 && port.substr(digits) <= "65535");
}

// Whether the network library would take the address's parts at all.
bool isReadable(const Address& address) {
    return !address.severalAts && address.afterBracket.empty() && isReadablePort(address.port);
}

// The port the address names, or PORT for the user to fill in.
std::string portOf(const std::optional<Address>& address) {
    const bool port = address && !address->port.empty() && isReadablePort(address->port);
    return port ? address->port : std::string("PORT");
}

// The address the stand-in listens on, with the port `url` names.
std::string standInAddress(const std::optional<Address>& address) {
    return "http://127.0.0.1:" + portOf(address);
}

std::string refusedBecause(std::string_view url) {
    return "The address in MIVO_API_URL, \u201C" + std::string(url) + "\u201D, was refused: ";
}

}  // namespace

std::string refusedListenerText(std::string_view url, std::string_view why, bool anotherUsers) {
    std::string text =
        refusedBecause(url) + std::string(why) + ", so nothing of your session was sent there.";
    if (auto advice = loopbackAddressAdvice(url))
        return text + " " + *advice;
    if (!anotherUsers)
        return text;
    return text +
           " If your own service listened there, it has ended and the port was taken: start it "
           "again (scripts/run.sh starts the stand-in on a free port and Mivo with its "
           "address).";
}

std::string refusedAddressText(std::string_view url) {
    const auto address = split(url);
    const std::string said = refusedBecause(url);
    const std::string instead = standInAddress(address);
    // Pasted addresses bring spaces along, mostly at the end, unseen.
    if (const auto space = url.find(' '); space != std::string_view::npos)
        return said + "it holds a space" +
               (url.find_first_not_of(' ', space) == std::string_view::npos ? " at its end" : "") +
               ". Write the address without spaces.";
    if (std::ranges::any_of(url, [](unsigned char c) { return c < 0x20 || c == 0x7F; }))
        return said +
               "it holds a control character, such as a tab or a line break. Write the "
               "address without them.";
    if (address && address->scheme.empty())
        return said + "it does not begin with http:// or https://. Write " + instead +
               " for a service on this machine, or an https address.";
    if (address && address->severalAts)
        return said +
               "it holds more than one @ before the host, and the network library does not "
               "read such an address. Write " +
               instead + " for a service on this machine, or an https address.";
    if (address && !address->afterBracket.empty())
        return said + "after the ] that closes " + address->host + " comes \u201C" +
               address->afterBracket +
               "\u201D, where only a colon and a port may follow. Write http://[::1]:PORT or " +
               instead + " instead.";
    if (address && !isReadablePort(address->port))
        return said + "its port, \u201C" + address->port +
               "\u201D, is not a number from 0 to 65535. Write " + instead +
               " with the port your service listens on, or an https address.";
    if (address && address->scheme == "http" && lower(address->host) == "localhost")
        return said +
               "plain http is used only with a loopback address written as a number, because "
               "the name localhost may lead to [::1], where another user's program can answer. "
               "Write " +
               instead + " instead.";
    if (address && address->scheme == "http" && looksNumeric(address->host)) {
        const auto read = readIPv4Host(address->host);
        const bool octal = hasOctalPart(address->host);
        if (!read)
            return said + "the network library does not read " + address->host +
                   " as an address but as a host name" +
                   (octal ? " (a number written with a leading 0 is octal, which has no 8 or 9)"
                          : "") +
                   ", and would look it up in the hosts file and DNS, so the tokens could leave "
                   "this machine unencrypted. Write " +
                   instead + " instead.";
        return said + "the network library reads " + address->host + " as " + dottedIPv4(*read) +
               (octal ? " (a number written with a leading 0 is octal)" : "") +
               ", which is not this machine, and plain http is used only with this machine's "
               "loopback addresses, because tokens would travel unencrypted. Write " +
               instead + " instead.";
    }
    if (address && address->scheme == "http" && address->host.starts_with('['))
        return said +
               "of the IPv6 addresses, plain http is used only with [::1], because tokens would "
               "travel unencrypted elsewhere. Write http://[::1]:" +
               portOf(address) + " or " + instead + " instead.";
    if (address && address->scheme == "http" && !address->host.empty())
        return said +
               "plain http is used only with this machine's loopback addresses, because tokens "
               "would travel unencrypted. Write an https address, or " +
               instead + " for a service on this machine.";
    return said + "it is not an http or https address. Write an https address, or " + instead +
           " for a service on this machine.";
}

std::string noServiceText() {
    const char* value = std::getenv("MIVO_API_URL");
    if (value == nullptr || *value == '\0' || isHttpsOrLoopbackHttp(value))
        return kNoServiceConfigured;
    return refusedAddressText(value);
}

std::optional<std::string> loopbackAddressAdvice(std::string_view url) {
    const auto address = split(url);
    if (!address || address->scheme != "http" || !isHttpsOrLoopbackHttp(url))
        return std::nullopt;
    const auto read = readIPv4Host(address->host);
    if (read == kStandIn)
        return std::nullopt;
    // 127.0.0.010 is 127.0.0.8: say so, or the advice reads as nonsense.
    const std::string readAs = read && dottedIPv4(*read) != address->host
                                   ? " (" + address->host + " is read as " + dottedIPv4(*read) + ")"
                                   : "";
    return "The stand-in web service (scripts/run.sh) listens on 127.0.0.1 only" + readAs +
           ": write " + standInAddress(address) + " in MIVO_API_URL.";
}

bool isHttpsOrLoopbackHttp(std::string_view url) {
    if (std::any_of(url.begin(), url.end(),
                    [](unsigned char c) { return c <= 0x20 || c == 0x7F || c == '\\'; }))
        return false;
    const auto address = split(url);
    if (!address || address->host.empty() || !isReadable(*address))
        return false;
    if (address->scheme == "https")
        return true;
    return address->scheme == "http" && isLoopbackHost(address->host);
}

bool isLoopbackHttp(std::string_view url) {
    const auto address = split(url);
    return address && address->scheme == "http" && isHttpsOrLoopbackHttp(url);
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
