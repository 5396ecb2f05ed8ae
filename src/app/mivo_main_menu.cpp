#include "app/mivo_main_menu.hpp"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QWidget>

namespace mivo {

namespace {

void forActiveWindow(const std::function<void(QWidget&)>& run) {
    if (QWidget* window = QApplication::activeWindow()) {
        run(*window);
    }
}

}  // namespace

MivoMainMenu::MivoMainMenu() = default;

QAction* MivoMainMenu::add(const char* name, const QString& title, const QKeySequence& shortcut,
                           std::function<void()> run) {
    auto* action = new QAction(title, this);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    actions_.push_back(action);
    return action;
}

void MivoMainMenu::install() {
    if (!actions_.empty()) {
        return;
    }
    add("about", QStringLiteral("About Mivo"), {}, [this] {
        if (onAbout) {
            onAbout();
        }
    });
    add("checkForUpdates", QStringLiteral("Check for Updates…"), {}, [this] {
        if (onCheckForUpdates) {
            onCheckForUpdates();
        }
    });
    add("settings", QStringLiteral("Settings…"), QKeySequence(Qt::CTRL | Qt::Key_Comma), [this] {
        if (onOpenSettings) {
            onOpenSettings();
        }
    });
    // X11 has no "hide application": hiding Mivo hides its own windows.
    add("hide", QStringLiteral("Hide Mivo"), QKeySequence(Qt::CTRL | Qt::Key_H), [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->isWindow()) {
                window->hide();
            }
        }
    });
    // Hiding the others is minimising their windows, through the window
    // manager.
    add("hideOthers", QStringLiteral("Hide Others"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_H),
        [this] {
            if (onHideOthers) {
                onHideOthers();
            }
        });
    add("showAll", QStringLiteral("Show All"), {}, [this] {
        if (onShowAll) {
            onShowAll();
        }
    });
    add("quit", QStringLiteral("Quit Mivo"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] {
        if (onQuit) {
            onQuit();
        } else {
            QApplication::quit();
        }
    });
    add("closeWindow", QStringLiteral("Close Window"), QKeySequence(Qt::CTRL | Qt::Key_W),
        [] { forActiveWindow([](QWidget& window) { window.close(); }); });
    add("minimize", QStringLiteral("Minimize"), QKeySequence(Qt::CTRL | Qt::Key_M),
        [] { forActiveWindow([](QWidget& window) { window.showMinimized(); }); });
    add("zoom", QStringLiteral("Zoom"), {}, [] {
        forActiveWindow([](QWidget& window) {
            window.isMaximized() ? window.showNormal() : window.showMaximized();
        });
    });
}

void MivoMainMenu::attach(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    for (QAction* action : actions_) {
        if (!window->actions().contains(action)) {
            window->addAction(action);
        }
    }
}

}  // namespace mivo
