#include "settings/settings_category.hpp"

#include <array>

namespace mivo {

namespace {

struct CategoryInfo {
    SettingsCategory category;
    std::string_view raw;
    std::string_view title;
    std::string_view subtitle;
    std::string_view symbol;
};

constexpr std::array<CategoryInfo, 6> kCategories{{
    {SettingsCategory::general, "general", "General", "Availability and everyday behavior.",
     "power"},
    {SettingsCategory::account, "account", "Account", "Your profile.", "person.crop.circle"},
    {SettingsCategory::localCorrection, "localCorrection", "Local Correction",
     "On-device suggestion controls.", "text.badge.checkmark"},
    {SettingsCategory::feedback, "feedback", "Feedback", "Share your thoughts with the Mivo team.",
     "bubble.left.and.bubble.right"},
    {SettingsCategory::privacy, "privacy", "Privacy", "How Mivo handles text.", "lock.shield"},
    {SettingsCategory::about, "about", "About", "Version and updates.",
     "arrow.triangle.2.circlepath"},
}};

constexpr std::array<SettingsCategory, 6> kOrder{
    SettingsCategory::general,  SettingsCategory::account, SettingsCategory::localCorrection,
    SettingsCategory::feedback, SettingsCategory::privacy, SettingsCategory::about,
};

const CategoryInfo& info(SettingsCategory category) {
    return kCategories[static_cast<std::size_t>(category)];
}

}  // namespace

std::span<const SettingsCategory> allSettingsCategories() {
    return kOrder;
}

std::string_view rawValue(SettingsCategory category) {
    return info(category).raw;
}

std::optional<SettingsCategory> settingsCategoryFromRaw(std::string_view raw) {
    for (const CategoryInfo& entry : kCategories) {
        if (entry.raw == raw) {
            return entry.category;
        }
    }
    return std::nullopt;
}

std::string_view title(SettingsCategory category) {
    return info(category).title;
}
std::string_view subtitle(SettingsCategory category) {
    return info(category).subtitle;
}
std::string_view symbolName(SettingsCategory category) {
    return info(category).symbol;
}

}  // namespace mivo
