#include "shared/uuid.hpp"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <system_error>

namespace mivo::text {

namespace {

// From the kernel: some ids are secrets (the installation id, the stand-in's
// tokens and sign-in ids), and a generator kept in the process can be
// worked back from enough of its outputs by whoever sees them.
void fillFromKernel(std::array<unsigned char, 16>& bytes) {
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got > 0)
            filled += static_cast<std::size_t>(got);
        else if (errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "getrandom");
    }
}

}  // namespace

std::string makeUuid() {
    std::array<unsigned char, 16> b{};
    fillFromKernel(b);
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char out[37];
    std::snprintf(out, sizeof out,
                  "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return out;
}

}  // namespace mivo::text
