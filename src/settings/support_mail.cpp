#include "settings/support_mail.hpp"

#include <cctype>

namespace mivo {

std::string percentEncode(std::string_view text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (std::isalnum(byte) != 0 || ch == '-' || ch == '.' || ch == '_' || ch == '~') {
            encoded.push_back(ch);
        } else {
            encoded.push_back('%');
            encoded.push_back(hex[byte >> 4]);
            encoded.push_back(hex[byte & 0x0F]);
        }
    }
    return encoded;
}

std::optional<std::string> supportMailURL(std::string_view subject,
                                          const std::optional<std::string>& body) {
    if (subject.empty()) {
        return std::nullopt;
    }
    std::string url =
        "mailto:" + std::string(supportMailAddress) + "?subject=" + percentEncode(subject);
    if (body) {
        url += "&body=" + percentEncode(*body);
    }
    return url;
}

}  // namespace mivo
