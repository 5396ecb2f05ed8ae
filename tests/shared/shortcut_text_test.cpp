// Shortcuts as the user reads them: modifier names in the order Ctrl, Alt,
// Shift, Super taken from the registered mask, then the key of the stored
// display.

#include <gtest/gtest.h>

#include "shared/shortcut_text.hpp"

namespace mivo {
namespace {

struct TextCase {
    const char* name;
    HotKeyConfig config;
    const char* text;
};

class ShortcutTextTable : public ::testing::TestWithParam<TextCase> {};

TEST_P(ShortcutTextTable, NamesModifiersThenKey) {
    EXPECT_EQ(shortcutText(GetParam().config), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Shortcuts, ShortcutTextTable,
    ::testing::Values(TextCase{"Default", HotKeyConfig::defaultConfig(), "Shift+Super+J"},
                      // The recorder's glyph order differs from the default's; the text
                      // does not.
                      TextCase{"RecordedDefaultKeys", {38, 0x300, "⇧⌘J"}, "Shift+Super+J"},
                      TextCase{"AllFour", {40, 0x1B00, "⌃⌥⇧⌘K"}, "Ctrl+Alt+Shift+Super+K"},
                      TextCase{"CtrlAltSpace", {49, 0x1800, "⌃⌥Space"}, "Ctrl+Alt+Space"},
                      TextCase{"Return", {36, 0x100, "⌘↩"}, "Super+Return"},
                      TextCase{"Tab", {48, 0x1000, "⌃⇥"}, "Ctrl+Tab"},
                      TextCase{"Backspace", {51, 0x1000, "⌃⌫"}, "Ctrl+Backspace"},
                      TextCase{"ForwardDelete", {117, 0x100, "⌘⌦"}, "Super+Delete"},
                      TextCase{"Arrows", {123, 0x800, "⌥←"}, "Alt+Left"},
                      TextCase{"Down", {125, 0x900, "⌥⌘↓"}, "Alt+Super+Down"},
                      TextCase{"ShiftedCharacter", {18, 0x300, "⇧⌘!"}, "Shift+Super+!"},
                      TextCase{"UnnamedKey", {96, 0x100, "⌘Key 96"}, "Super+Key 96"},
                      TextCase{"Cluster", {0, 0x100, "⌘E\u0301"}, "Super+E\u0301"},
                      // The mask is what the system holds: a display that names other
                      // modifiers does not change the text.
                      TextCase{"MaskWins", {38, 0x1000, "⌘⇧J"}, "Ctrl+J"},
                      TextCase{"EmptyDisplay", {38, 0x300, ""}, "Shift+Super+Key 38"},
                      TextCase{"OnlyGlyphs", {38, 0x100, "⌘"}, "Super+Key 38"},
                      // An arrow that is part of a longer key name is not renamed.
                      TextCase{"ArrowInsideText", {0, 0x100, "⌘←x"}, "Super+←x"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mivo
