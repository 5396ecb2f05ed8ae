#pragma once

// Tokens as the stand-in keeps and shows them: never whole. The account book
// (and its file) holds a digest of each token, and the request log a short
// fingerprint, enough to tell which token a request carried.

#include <string>
#include <string_view>

namespace mivo::stub {

// SHA-256 of the token, 64 lowercase hexadecimal digits.
std::string tokenDigest(std::string_view token);

// What the request log shows for a token: "sha256:" and the digest's first
// 16 digits.
std::string loggedToken(std::string_view token);

}  // namespace mivo::stub
