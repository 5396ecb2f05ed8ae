#include "token_digest.hpp"

#include <openssl/sha.h>

#include <array>

namespace mivo::stub {

std::string tokenDigest(std::string_view token) {
    std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
    SHA256(reinterpret_cast<const unsigned char*>(token.data()), token.size(), digest.data());
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(digest.size() * 2);
    for (unsigned char byte : digest) {
        out += hex[byte >> 4];
        out += hex[byte & 0xF];
    }
    return out;
}

std::string loggedToken(std::string_view token) {
    return "sha256:" + tokenDigest(token).substr(0, 16);
}

}  // namespace mivo::stub
