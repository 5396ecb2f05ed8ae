#include "settings/shortcut_capture.hpp"

namespace mivo::ShortcutCapture {

namespace {

// Command, Option or Control; Shift alone does not make a shortcut.
constexpr uint32_t kQualifyingModifiers =
    HotKeyConfig::controlMask | HotKeyConfig::optionMask | HotKeyConfig::commandMask;

}  // namespace

CaptureOutcome handle(const CapturedKeyPress& press) {
    if (press.modifierOnly) {
        return {CaptureOutcome::Kind::ignored, {}};
    }
    // The key decides, not the modifiers: Command-Esc cancels too.
    if (press.keyCode == escapeKeyCode) {
        return {CaptureOutcome::Kind::cancelled, {}};
    }
    const uint32_t carbon = HotKeyMapper::carbonModifiers(press.modifiers);
    if ((carbon & kQualifyingModifiers) == 0 || !press.keyCode) {
        return {CaptureOutcome::Kind::refused, {}};
    }
    HotKeyConfig config;
    config.keyCode = *press.keyCode;
    config.carbonModifiers = carbon;
    config.display = HotKeyMapper::display(*press.keyCode, carbon, press.characters);
    return {CaptureOutcome::Kind::recorded, std::move(config)};
}

}  // namespace mivo::ShortcutCapture
