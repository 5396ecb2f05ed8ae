#include "morphology/dictionary.hpp"

#include <array>
#include <system_error>

namespace mivo {

std::string_view Dictionary::description(PartOfSpeech v) {
    static constexpr std::array<std::string_view, 8> kNames{
        "verb", "particle", "noun", "adjective", "adverb", "prefix", "symbol", "unknown"};
    return kNames[static_cast<std::size_t>(v)];
}

namespace {

// Unreserved, sub-delims, ":", "@" and "/" stay; everything else, every
// byte of a non-ASCII letter included, is escaped.
bool allowedInUrlPath(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("-._~!$&'()*+,;=:@/").find(static_cast<char>(c)) !=
           std::string_view::npos;
}

}  // namespace

std::string fileUrlString(const std::filesystem::path& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "file://";
    for (unsigned char c : path.native()) {
        if (allowedInUrlPath(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    std::error_code ec;
    if (!out.ends_with('/') && std::filesystem::is_directory(path, ec))
        out += '/';
    return out;
}

}  // namespace mivo
