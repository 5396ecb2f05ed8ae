#pragma once

// The sidebar of the settings window: six categories in a fixed order, each
// with the title, subtitle and symbol the sidebar and the header show.

#include <optional>
#include <span>
#include <string_view>

namespace mivo {

enum class SettingsCategory { general, account, localCorrection, feedback, privacy, about };

// The sidebar's order.
std::span<const SettingsCategory> allSettingsCategories();

std::string_view rawValue(SettingsCategory category);
// Exactly the six raw values, case-sensitive; nothing for any other text.
std::optional<SettingsCategory> settingsCategoryFromRaw(std::string_view raw);

std::string_view title(SettingsCategory category);
std::string_view subtitle(SettingsCategory category);
// The name of the symbol image drawn beside the title; our own SVG of the
// same name lives in the settings resource bundle.
std::string_view symbolName(SettingsCategory category);

}  // namespace mivo
