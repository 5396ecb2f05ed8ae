#pragma once

// How the network library reads a host written as an IPv4 number. It takes
// what the C library's inet_aton takes: one to four numbers separated by
// dots, each decimal, octal after a leading 0 or hexadecimal after 0x, the
// last filling the bytes left (127.1 is 127.0.0.1, 2130706433 too). Anything
// else, 127.0.0.08 among them (8 is no octal digit), is a host name to it,
// which it looks up in the hosts file and DNS.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mivo {

// The address `host` names as the network library reads it, or nothing when
// it reads a name. Only hosts of ASCII letters, digits and dots are read;
// the library, which also maps other characters (full-width digits, an
// ideographic full stop, escapes) onto these, may read more as a number.
std::optional<uint32_t> readIPv4Host(std::string_view host);

// The address in the usual dotted form: 127.0.0.1.
std::string dottedIPv4(uint32_t address);

}  // namespace mivo
