#include "shell/update_feed.hpp"

#include <charconv>
#include <nlohmann/json.hpp>
#include <vector>

namespace mivo {

namespace {

std::optional<std::vector<unsigned long>> parseVersion(std::string_view text) {
    std::vector<unsigned long> parts;
    while (true) {
        unsigned long part = 0;
        const auto* end = text.data() + text.size();
        const auto [next, error] = std::from_chars(text.data(), end, part);
        if (error != std::errc() || next == text.data() || parts.size() >= 8) {
            return std::nullopt;
        }
        parts.push_back(part);
        if (next == end) {
            return parts;
        }
        if (*next != '.') {
            return std::nullopt;
        }
        text.remove_prefix(static_cast<std::size_t>(next - text.data()) + 1);
    }
}

}  // namespace

std::optional<int> compareVersions(std::string_view a, std::string_view b) {
    auto left = parseVersion(a);
    auto right = parseVersion(b);
    if (!left || !right) {
        return std::nullopt;
    }
    const std::size_t count = std::max(left->size(), right->size());
    left->resize(count, 0);
    right->resize(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        if ((*left)[i] != (*right)[i]) {
            return (*left)[i] < (*right)[i] ? -1 : 1;
        }
    }
    return 0;
}

std::optional<UpdateFeed> decodeUpdateFeed(std::string_view json) {
    const auto document = nlohmann::json::parse(json, nullptr, false);
    if (!document.is_object()) {
        return std::nullopt;
    }
    const auto version = document.find("version");
    if (version == document.end() || !version->is_string() ||
        !parseVersion(version->get<std::string>())) {
        return std::nullopt;
    }
    UpdateFeed feed{version->get<std::string>(), std::nullopt};
    const auto notes = document.find("notes_url");
    if (notes != document.end() && notes->is_string() &&
        notes->get<std::string>().starts_with("https://")) {
        feed.notesURL = notes->get<std::string>();
    }
    return feed;
}

}  // namespace mivo
