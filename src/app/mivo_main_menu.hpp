#pragma once

// The ordinary commands of a desktop application while one of Mivo's own
// windows (settings, onboarding) is active. Linux desktops have no global
// application menu, so the commands are actions with Ctrl shortcuts that
// each of Mivo's windows carries.

#include <QObject>
#include <functional>
#include <vector>

class QAction;
class QWidget;

namespace mivo {

class MivoMainMenu : public QObject {
    Q_OBJECT

  public:
    MivoMainMenu();

    std::function<void()> onOpenSettings;
    std::function<void()> onCheckForUpdates;
    std::function<void()> onAbout;
    std::function<void()> onQuit;
    // Minimise the other applications' windows on this desktop, and bring
    // back those that are still minimised.
    std::function<void()> onHideOthers;
    std::function<void()> onShowAll;

    // Builds the actions; called once, after the callbacks are set.
    void install();
    // Gives `window` the commands, so their shortcuts act while it is active.
    void attach(QWidget* window);

    const std::vector<QAction*>& actions() const { return actions_; }

  private:
    QAction* add(const char* name, const QString& title, const QKeySequence& shortcut,
                 std::function<void()> run);

    std::vector<QAction*> actions_;
};

}  // namespace mivo
