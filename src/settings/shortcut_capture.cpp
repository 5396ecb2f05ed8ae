#include "settings/shortcut_capture.hpp"

namespace mivo::shortcut_capture {

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
    const uint32_t mask = HotKeyMapper::modifierMask(press.modifiers);
    if ((mask & kQualifyingModifiers) == 0 || !press.keyCode) {
        return {CaptureOutcome::Kind::refused, {}};
    }
    HotKeyConfig config;
    config.keyCode = *press.keyCode;
    config.carbonModifiers = mask;
    config.display = HotKeyMapper::display(*press.keyCode, mask, press.characters);
    return {CaptureOutcome::Kind::recorded, std::move(config)};
}

}  // namespace mivo::shortcut_capture
