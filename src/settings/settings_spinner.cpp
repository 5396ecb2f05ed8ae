#include "settings/settings_spinner.hpp"

#include "settings/settings_theme.hpp"

namespace mivo {

namespace {

// One turn in 0.9 s, moved on at about 60 frames a second.
ui::SpinnerStyle arcStyle() {
    using Theme = MivoSettingsTheme;
    return {.shape = ui::SpinnerStyle::Shape::arc,
            .ink = Theme::textSecondary(),
            .track = Theme::withOpacity(Theme::textMuted(), 0.25),
            .side = 16,
            .inset = 2,
            .steps = 60,
            .stepMs = 15};
}

}  // namespace

SettingsSpinner::SettingsSpinner(QWidget* parent) : ui::Spinner(arcStyle, parent) {}

}  // namespace mivo
