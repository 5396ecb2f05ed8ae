#include <gtest/gtest.h>

#include "settings/hotkey_mapper.hpp"
#include "settings/shortcut_capture.hpp"

namespace mivo {
namespace {

constexpr KeyModifiers kCommand{.command = true};
constexpr KeyModifiers kCommandShift{.command = true, .shift = true};
constexpr KeyModifiers kOption{.option = true};
constexpr KeyModifiers kControlOption{.option = true, .control = true};
constexpr KeyModifiers kAll{.command = true, .shift = true, .option = true, .control = true};

struct RecordCase {
    const char* name;
    uint16_t keyCode;
    KeyModifiers modifiers;
    std::optional<std::string> characters;
    uint32_t mask;
    const char* display;
};

class RecordedShortcut : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RecordedShortcut, StoresKeyMaskAndDisplay) {
    const RecordCase& c = GetParam();
    const CaptureOutcome outcome =
        shortcut_capture::handle({c.keyCode, c.modifiers, c.characters, false});
    ASSERT_EQ(outcome.kind, CaptureOutcome::Kind::recorded);
    EXPECT_EQ(outcome.config.keyCode, c.keyCode);
    EXPECT_EQ(outcome.config.carbonModifiers, c.mask);
    EXPECT_EQ(outcome.config.display, c.display);
}

INSTANTIATE_TEST_SUITE_P(
    Recorder, RecordedShortcut,
    ::testing::Values(
        // The modifier order is Control, Option, Shift, Command: ⇧⌘J, not ⌘⇧J.
        RecordCase{"CommandShiftJ", 38, kCommandShift, "j", 0x300, "⇧⌘J"},
        RecordCase{"ControlOptionSpace", 49, kControlOption, " ", 0x1800, "⌃⌥Space"},
        RecordCase{"CommandReturn", 36, kCommand, "\r", 0x100, "⌘↩"},
        RecordCase{"OptionLeft", 123, kOption, std::nullopt, 0x800, "⌥←"},
        RecordCase{"CommandForwardDelete", 117, kCommand, std::nullopt, 0x100, "⌘⌦"},
        RecordCase{"AllFourModifiers", 40, kAll, "k", 0x1B00, "⌃⌥⇧⌘K"},
        // Shift still applies to the characters: Shift-Command-1 shows "!".
        RecordCase{"ShiftCommandOne", 18, kCommandShift, "!", 0x300, "⇧⌘!"},
        RecordCase{"NoCharacters", 96, kCommand, std::nullopt, 0x100, "⌘Key 96"},
        RecordCase{"EmptyCharacters", 96, kCommand, "", 0x100, "⌘Key 96"},
        RecordCase{"WhitespaceCharacter", 96, kCommand, "\t", 0x100, "⌘Key 96"},
        RecordCase{"LineSeparator", 96, kCommand, "\u2028", 0x100, "⌘Key 96"},
        // One Character of several code points stays whole.
        RecordCase{"ClusterCharacter", 0, kCommand, "e\u0301x", 0x100, "⌘E\u0301"},
        RecordCase{"Latin1Letter", 41, kOption, "é", 0x800, "⌥É"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShortcutCapture, RefusesKeysWithoutCommandControlOrOption) {
    for (const KeyModifiers modifiers : {KeyModifiers{}, KeyModifiers{.shift = true}}) {
        const CaptureOutcome outcome =
            shortcut_capture::handle({0, modifiers, std::string("a"), false});
        EXPECT_EQ(outcome.kind, CaptureOutcome::Kind::refused);
    }
}

TEST(ShortcutCapture, EscapeCancelsWhateverTheModifiers) {
    for (const KeyModifiers modifiers : {KeyModifiers{}, kCommand, kAll}) {
        EXPECT_EQ(shortcut_capture::handle({53, modifiers, std::nullopt, false}).kind,
                  CaptureOutcome::Kind::cancelled);
    }
}

TEST(ShortcutCapture, ModifierAloneKeepsRecording) {
    EXPECT_EQ(shortcut_capture::handle({std::nullopt, kCommandShift, std::nullopt, true}).kind,
              CaptureOutcome::Kind::ignored);
}

TEST(ShortcutCapture, KeyWithoutAnAnsiPlaceIsRefused) {
    EXPECT_EQ(shortcut_capture::handle({std::nullopt, kCommand, std::nullopt, false}).kind,
              CaptureOutcome::Kind::refused);
}

TEST(HotKeyMapper, RecordingTheDefaultKeysDiffersFromTheDefaultByItsDisplayOnly) {
    const HotKeyConfig recorded =
        shortcut_capture::handle({38, kCommandShift, std::string("j"), false}).config;
    const HotKeyConfig builtIn = HotKeyConfig::defaultConfig();
    EXPECT_EQ(recorded.keyCode, builtIn.keyCode);
    EXPECT_EQ(recorded.carbonModifiers, builtIn.carbonModifiers);
    EXPECT_NE(recorded, builtIn);
}

}  // namespace
}  // namespace mivo
