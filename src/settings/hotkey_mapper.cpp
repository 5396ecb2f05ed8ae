#include "settings/hotkey_mapper.hpp"

#include <array>
#include <utility>

#include "shared/hotkey_config.hpp"
#include "shared/text.hpp"

namespace mivo::HotKeyMapper {

namespace {

constexpr std::array<std::pair<uint16_t, std::string_view>, 9> kSpecialKeys{{
    {49, "Space"},
    {36, "\u21A9"},   // ↩ Return
    {48, "\u21E5"},   // ⇥ Tab
    {51, "\u232B"},   // ⌫ Delete (backspace)
    {117, "\u2326"},  // ⌦ Forward Delete
    {123, "\u2190"},  // ← Left
    {124, "\u2192"},  // → Right
    {126, "\u2191"},  // ↑ Up
    {125, "\u2193"},  // ↓ Down
}};

// Line breaks that are not white space in every classification: LF, VT,
// FF, CR, NEL, LS, PS.
bool isLineBreak(char32_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

std::string upperCased(std::string_view character) {
    const std::string upper = text::transliterate(character, "Any-Upper");
    return upper.empty() ? std::string(character) : upper;
}

}  // namespace

uint32_t modifierMask(KeyModifiers modifiers) {
    uint32_t mask = 0;
    if (modifiers.command) {
        mask |= HotKeyConfig::commandMask;
    }
    if (modifiers.shift) {
        mask |= HotKeyConfig::shiftMask;
    }
    if (modifiers.option) {
        mask |= HotKeyConfig::optionMask;
    }
    if (modifiers.control) {
        mask |= HotKeyConfig::controlMask;
    }
    return mask;
}

std::optional<std::string_view> specialKeyName(uint16_t keyCode) {
    for (const auto& [code, name] : kSpecialKeys) {
        if (code == keyCode) {
            return name;
        }
    }
    return std::nullopt;
}

std::string keyGlyph(uint16_t keyCode, const std::optional<std::string>& characters) {
    if (auto name = specialKeyName(keyCode)) {
        return std::string(*name);
    }
    if (characters && !characters->empty()) {
        const std::string first = text::characterPrefix(*characters, 1);
        std::size_t i = 0;
        const char32_t lead = text::decodeNext(first, i);
        if (!first.empty() && !text::isWhitespaceOrNewline(lead) && !isLineBreak(lead)) {
            return upperCased(first);
        }
    }
    return "Key " + std::to_string(keyCode);
}

std::string display(uint16_t keyCode, uint32_t carbonModifiers,
                    const std::optional<std::string>& characters) {
    std::string out;
    if (carbonModifiers & HotKeyConfig::controlMask) {
        out += "\u2303";  // ⌃
    }
    if (carbonModifiers & HotKeyConfig::optionMask) {
        out += "\u2325";  // ⌥
    }
    if (carbonModifiers & HotKeyConfig::shiftMask) {
        out += "\u21E7";  // ⇧
    }
    if (carbonModifiers & HotKeyConfig::commandMask) {
        out += "\u2318";  // ⌘
    }
    return out + keyGlyph(keyCode, characters);
}

}  // namespace mivo::HotKeyMapper
