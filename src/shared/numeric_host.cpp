#include "shared/numeric_host.hpp"

#include <algorithm>

#include "shared/text_classes.hpp"

namespace mivo {
namespace {

// A digit's value when `c` is one in `base`, else nothing.
std::optional<int> digitIn(char c, int base) {
    const int value = text::hexDigitValue(c);
    if (value < 0 || value >= base)
        return std::nullopt;
    return value;
}

// One number as strtoull reads it with base 0, from the start of `text`: how
// many characters it took (0 when none) and its value, nothing past 32 bits.
struct Number {
    std::size_t length = 0;
    std::optional<uint64_t> value;
};

Number readNumber(std::string_view text) {
    int base = 10;
    std::size_t at = 0;
    if (text.starts_with('0')) {
        base = 8;
        at = 1;
        // "0x" without a hexadecimal digit after it is the number 0, ending
        // at the x.
        if (text.size() > 2 && (text[1] == 'x' || text[1] == 'X') && digitIn(text[2], 16)) {
            base = 16;
            at = 2;
        }
    }
    uint64_t value = 0;
    bool fits = true;
    while (at < text.size()) {
        const std::optional<int> digit = digitIn(text[at], base);
        if (!digit)
            break;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(*digit);
        fits = fits && value <= 0xFFFF'FFFFu;
        ++at;
    }
    if (at == 0)
        return {};
    return {at, fits ? std::optional<uint64_t>(value) : std::nullopt};
}

}  // namespace

std::optional<uint32_t> readIPv4Host(std::string_view host) {
    if (host.empty() || !std::ranges::all_of(host, [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                   c == '.';
        }))
        return std::nullopt;
    uint32_t address = 0;
    for (int dots = 0;; ++dots) {
        const Number number = readNumber(host);
        if (number.length == 0 || !number.value)
            return std::nullopt;
        const uint64_t x = *number.value;
        host.remove_prefix(number.length);
        const bool last = host.empty();
        if (!last && (host.front() != '.' || dots == 3))
            return std::nullopt;
        // Every number but the last is one byte; the last fills the rest.
        const int bits = last ? 8 * (4 - dots) : 8;
        if (bits < 32 && x >> bits != 0)
            return std::nullopt;
        address = bits < 32 ? static_cast<uint32_t>(address << bits) | static_cast<uint32_t>(x)
                            : static_cast<uint32_t>(x);
        if (last)
            return address;
        host.remove_prefix(1);
    }
}

std::string dottedIPv4(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

}  // namespace mivo
