#include "shared/shortcut_text.hpp"

#include <array>
#include <utility>

namespace mivo {

namespace {

// The stored display's modifier glyphs: ⌃ ⌥ ⇧ ⌘.
constexpr std::array<std::string_view, 4> kModifierGlyphs{"\u2303", "\u2325", "\u21E7", "\u2318"};

// Keys without a printable character, as the stored display writes them
// and as Linux desktops name them.
constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kKeyNames{{
    {"\u21A9", "Return"},     // ↩
    {"\u21E5", "Tab"},        // ⇥
    {"\u232B", "Backspace"},  // ⌫
    {"\u2326", "Delete"},     // ⌦ (forward delete)
    {"\u2190", "Left"},       // ←
    {"\u2192", "Right"},      // →
    {"\u2191", "Up"},         // ↑
    {"\u2193", "Down"},       // ↓
}};

bool stripModifierGlyph(std::string_view& text) {
    for (std::string_view glyph : kModifierGlyphs) {
        if (text.starts_with(glyph)) {
            text.remove_prefix(glyph.size());
            return true;
        }
    }
    return false;
}

}  // namespace

std::string shortcutKeyName(std::string_view display) {
    while (stripModifierGlyph(display)) {
    }
    for (const auto& [glyph, name] : kKeyNames) {
        if (display == glyph) {
            return std::string(name);
        }
    }
    return std::string(display);
}

std::string shortcutText(const HotKeyConfig& config) {
    std::string out;
    const auto add = [&out](uint32_t mask, uint32_t bit, std::string_view name) {
        if (mask & bit) {
            out += name;
            out += '+';
        }
    };
    add(config.carbonModifiers, HotKeyConfig::controlMask, "Ctrl");
    add(config.carbonModifiers, HotKeyConfig::optionMask, "Alt");
    add(config.carbonModifiers, HotKeyConfig::shiftMask, "Shift");
    add(config.carbonModifiers, HotKeyConfig::commandMask, "Super");
    std::string key = shortcutKeyName(config.display);
    if (key.empty()) {
        key = "Key " + std::to_string(config.keyCode);
    }
    return out + key;
}

}  // namespace mivo
