#pragma once

// The settings window: one ordinary, resizable window made once and hidden
// rather than closed. Its frame is saved under "NSWindow Frame
// MivoSettingsWindow" whenever the user moves or resizes it and when it
// hides, and restored when it is made; the first presentation without a
// saved frame centres it.

#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "platform/alerts.hpp"
#include "platform/user_defaults.hpp"
#include "settings/app_version.hpp"
#include "settings/settings_view_model.hpp"

class QMenuBar;

namespace mivo {

class MivoSettingsStore;
class SettingsScreen;

// The top-level window; it reports its frame to the controller.
class SettingsWindow : public QWidget {
    Q_OBJECT

  public:
    explicit SettingsWindow(QWidget* parent = nullptr);
    std::function<void()> onFrameChanged;

  protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void applyBackground();
};

class SettingsWindowController {
  public:
    static constexpr std::string_view frameKey = "NSWindow Frame MivoSettingsWindow";

    // Builds the model, the screen and the window, not shown. Every
    // reference must outlive the controller; `defaults` keeps the frame.
    SettingsWindowController(MivoSettingsStore& settingsStore, UpdatePreferences& updates,
                             UserDefaults& defaults, AppVersion version, Alerts& alerts);
    ~SettingsWindowController();

    SettingsViewModel& model() { return *model_; }
    SettingsWindow& window() { return *window_; }
    SettingsScreen& screen() { return *screen_; }

    // Shows the window, makes it active and raises it, out of the task bar
    // when it was minimised; a hidden window with no saved frame is centred
    // first. A visible window never moves.
    void present();

    // Puts the application's menu bar at the top of the window, in the
    // window's colours; the window grows by the bar so that the content
    // keeps its size. The window takes the bar.
    void setMenuBar(QMenuBar* bar);
    QMenuBar* menuBar() const { return menuBar_; }

    // The saved frame ("x y width height", window-system pixels, top-left
    // origin), when there is a usable one.
    static std::optional<QRect> parseFrame(const std::string& text);
    static std::string formatFrame(const QRect& frame);

  private:
    void saveFrame();
    std::optional<QRect> savedFrame() const;
    void styleMenuBar();

    UserDefaults& defaults_;
    std::unique_ptr<SettingsViewModel> model_;
    std::unique_ptr<SettingsWindow> window_;
    SettingsScreen* screen_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    std::string lastSaved_;
};

}  // namespace mivo
