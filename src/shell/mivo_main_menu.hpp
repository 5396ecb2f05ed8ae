#pragma once

// The application menu on the Linux desktop: X11 has no global menu, so,
// as in Qt and KDE programs, it is a menu bar on Mivo's main window (the
// settings window), reached with the mouse, F10 and Alt mnemonics, and
// exposed over AT-SPI as a menu bar. Other windows of Mivo carry the same
// commands as keyboard shortcuts. Where a desktop exports menus globally,
// Qt's own export takes the bar. The items, their keys, enablement and
// actions come from MainMenuModel.

#include <QObject>
#include <QPointer>
#include <map>
#include <memory>
#include <vector>

#include "settings/app_version.hpp"
#include "shell/main_menu_model.hpp"

class QAction;
class QDialog;
class QMenu;
class QMenuBar;
class QWidget;

namespace mivo {

class MivoMainMenu : public QObject {
    Q_OBJECT

  public:
    explicit MivoMainMenu(AppVersion version = {});
    ~MivoMainMenu() override;

    // The application's commands (settings, updates, Hide Others, Show All)
    // are set here by the composition root before `install()`; About, Hide
    // Mivo, Quit and the window commands come with the view.
    MainMenuModel& model() { return model_; }

    // Builds the actions; called once, after the callbacks are set.
    void install();
    // A menu bar with the three menus for `window` (which takes it), with
    // F10 opening its first menu.
    QMenuBar* createMenuBar(QWidget* window);
    // Gives `window` the commands' shortcuts without a menu bar.
    void attach(QWidget* window);

    QAction* action(MenuCommand command) const;
    // The about dialog, once it has been opened.
    QDialog* aboutDialog() const { return about_.get(); }

    // Re-reads which items can be chosen (active window, updater).
    void refreshEnabled();
    // Lists Mivo's open windows again under Minimize and Zoom.
    void refreshWindowList();

  private:
    void setUpViewCommands();
    void showAbout();

    AppVersion version_;
    MainMenuModel model_;
    std::map<MenuCommand, QAction*> actions_;
    // The Window menus of the bars, and the window items each holds now.
    std::vector<QPointer<QMenu>> windowMenus_;
    std::vector<QPointer<QAction>> windowItems_;
    std::unique_ptr<QDialog> about_;
};

}  // namespace mivo
