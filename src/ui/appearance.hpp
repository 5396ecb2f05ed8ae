#pragma once

// The one source of light or dark for every view of Mivo. Order of
// precedence: MIVO_APPEARANCE ("light" or "dark", for tests and screenshots),
// then the desktop portal's colour-scheme preference, then the lightness of
// the application palette. Views repaint on `changed`.

#include <QDBusVariant>
#include <QObject>
#include <optional>
#include <string_view>

namespace mivo::ui {

enum class ColorScheme { light, dark };

class Appearance : public QObject {
    Q_OBJECT

  public:
    // Made on first use, after the QApplication exists.
    static Appearance& shared();

    ColorScheme scheme() const { return scheme_; }
    bool isDark() const { return scheme_ == ColorScheme::dark; }

    // Forces one scheme (nullopt: follow the desktop again); a change emits.
    void setOverride(std::optional<ColorScheme> scheme);

  signals:
    void changed(mivo::ui::ColorScheme scheme);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private slots:
    void portalSettingChanged(const QString& ns, const QString& key, const QDBusVariant& value);

  private:
    Appearance();
    void refresh();
    ColorScheme resolve() const;

    std::optional<ColorScheme> override_;
    std::optional<ColorScheme> portal_;
    ColorScheme scheme_ = ColorScheme::light;
};

// Parses an override text ("light", "dark"); anything else is nothing.
std::optional<ColorScheme> parseColorScheme(std::string_view text);
// The portal's org.freedesktop.appearance color-scheme: 1 prefers dark,
// 2 prefers light, 0 (no preference) and unknown values give nothing.
std::optional<ColorScheme> colorSchemeFromPortal(unsigned value);

}  // namespace mivo::ui
