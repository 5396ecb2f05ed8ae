#include "shell/mivo_main_menu.hpp"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdint>

#include "shell/about_dialog.hpp"

namespace mivo {

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// The windows a user manages: not menus, tooltips, panels or highlights.
bool isOrdinaryWindow(const QWidget& widget) {
    const Qt::WindowType type = widget.windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

ActiveWindow traitsOf(const QWidget& window) {
    const Qt::WindowFlags flags = window.windowFlags();
    // A window that customises its title bar offers only the buttons it
    // names (the onboarding: close only).
    const bool custom = flags.testFlag(Qt::CustomizeWindowHint);
    return {
        .canMinimize = !custom || flags.testFlag(Qt::WindowMinimizeButtonHint),
        .canZoom = window.minimumSize() != window.maximumSize() &&
                   (!custom || flags.testFlag(Qt::WindowMaximizeButtonHint)),
    };
}

// A command chosen through the accessibility bus runs while its menu is
// still open; the menu goes first, as it does for a click.
void closeOpenMenus() {
    for (int i = 0; i < 8 && QApplication::activePopupWidget() != nullptr; ++i)
        QApplication::activePopupWidget()->close();
}

}  // namespace

MivoMainMenu::MivoMainMenu(AppVersion version) : version_(std::move(version)) {
    setUpViewCommands();
}

MivoMainMenu::~MivoMainMenu() = default;

void MivoMainMenu::setUpViewCommands() {
    model_.onAbout = [this] { showAbout(); };
    // X11 has no hidden applications: hiding is minimising, for Mivo's
    // windows as for the others', so everything hidden stays in the task
    // bar. A window that cannot be minimised (the onboarding) stays.
    model_.onHideMivo = [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && isOrdinaryWindow(*window) && traitsOf(*window).canMinimize)
                window->showMinimized();
        }
    };
    model_.onQuit = [] { QApplication::quit(); };
    model_.activeWindow = []() -> std::optional<ActiveWindow> {
        const QWidget* window = QApplication::activeWindow();
        if (window == nullptr)
            return std::nullopt;
        return traitsOf(*window);
    };
    model_.closeActiveWindow = [] {
        if (QWidget* window = QApplication::activeWindow())
            window->close();
    };
    model_.minimizeActiveWindow = [] {
        if (QWidget* window = QApplication::activeWindow())
            window->showMinimized();
    };
    model_.toggleZoomActiveWindow = [] {
        if (QWidget* window = QApplication::activeWindow())
            window->isMaximized() ? window->showNormal() : window->showMaximized();
    };
    // Minimised windows stay visible to Qt: they are listed too.
    model_.openWindows = [] {
        std::vector<OpenWindow> list;
        const QWidget* active = QApplication::activeWindow();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && isOrdinaryWindow(*window))
                list.push_back({window->windowTitle().toStdString(), window == active,
                                reinterpret_cast<std::uintptr_t>(window)});
        }
        return list;
    };
    // The handle is looked up among the live windows: one closed since the
    // menu was built is not touched.
    model_.bringWindowForward = [](std::uintptr_t handle) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (reinterpret_cast<std::uintptr_t>(window) != handle || !window->isVisible())
                continue;
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
            window->show();
            window->raise();
            window->activateWindow();
        }
    };
}

void MivoMainMenu::install() {
    if (!actions_.empty())
        return;
    for (const Menu& menu : mainMenuLayout()) {
        for (const MenuEntry& entry : menu.entries) {
            const auto* item = std::get_if<MenuItem>(&entry);
            if (item == nullptr)
                continue;
            auto* action = new QAction(q(mnemonicTitle(item->title, item->mnemonic)), this);
            action->setObjectName(q(item->objectName));
            if (item->keyEquivalent) {
                action->setShortcut(QKeySequence::fromString(q(keyEquivalentText(*item)),
                                                             QKeySequence::PortableText));
                action->setShortcutContext(Qt::WindowShortcut);
            }
            const MenuCommand command = item->command;
            connect(action, &QAction::triggered, this, [this, command] {
                closeOpenMenus();
                model_.run(command);
            });
            actions_[command] = action;
        }
    }
    // The window commands follow the active window, for their shortcuts as
    // for the menu; once the change has settled.
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                refreshEnabled();
                refreshWindowList();
            },
            Qt::QueuedConnection);
    });
    refreshEnabled();
}

QAction* MivoMainMenu::action(MenuCommand command) const {
    const auto found = actions_.find(command);
    return found == actions_.end() ? nullptr : found->second;
}

void MivoMainMenu::refreshEnabled() {
    for (const auto& [command, action] : actions_)
        action->setEnabled(model_.isEnabled(command));
}

void MivoMainMenu::refreshWindowList() {
    for (const QPointer<QAction>& item : windowItems_) {
        if (item != nullptr && item->actionGroup() != nullptr)
            item->actionGroup()->deleteLater();
        delete item.data();
    }
    windowItems_.clear();
    const std::vector<OpenWindow> windows = model_.windowList();
    for (const QPointer<QMenu>& menu : windowMenus_) {
        if (menu == nullptr || windows.empty())
            continue;
        windowItems_.emplace_back(menu->addSeparator());
        // One window has the keyboard: the items are marked as choices of one.
        auto* group = new QActionGroup(menu);
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        for (const OpenWindow& window : windows) {
            // A title is not a mnemonic: its "&" stays a character.
            auto* item = menu->addAction(q(window.title).replace('&', "&&"));
            item->setObjectName("window");
            item->setCheckable(true);
            item->setChecked(window.active);
            group->addAction(item);
            connect(item, &QAction::triggered, this, [this, handle = window.handle] {
                closeOpenMenus();
                if (model_.bringWindowForward)
                    model_.bringWindowForward(handle);
            });
            windowItems_.emplace_back(item);
        }
    }
}

QMenuBar* MivoMainMenu::createMenuBar(QWidget* window) {
    install();
    auto* bar = new QMenuBar(window);
    bar->setObjectName("mainMenuBar");
    for (const Menu& menu : mainMenuLayout()) {
        QMenu* submenu = bar->addMenu(q(mnemonicTitle(menu.title, menu.mnemonic)));
        submenu->setObjectName(q("menu" + menu.title));
        for (const MenuEntry& entry : menu.entries) {
            if (const auto* item = std::get_if<MenuItem>(&entry))
                submenu->addAction(actions_.at(item->command));
            else
                submenu->addSeparator();
        }
        connect(submenu, &QMenu::aboutToShow, this, [this] { refreshEnabled(); });
        const bool windowsMenu = std::ranges::any_of(menu.entries, [](const MenuEntry& entry) {
            const auto* item = std::get_if<MenuItem>(&entry);
            return item != nullptr && item->command == MenuCommand::minimize;
        });
        if (windowsMenu) {
            windowMenus_.emplace_back(submenu);
            connect(submenu, &QMenu::aboutToShow, this, [this] { refreshWindowList(); });
        }
    }
    refreshWindowList();
    // F10 opens the first menu, as in GTK and most desktops; Alt and the
    // mnemonics are Qt's own.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), window);
    f10->setContext(Qt::WindowShortcut);
    connect(f10, &QShortcut::activated, bar, [bar] {
        if (!bar->actions().isEmpty())
            bar->setActiveAction(bar->actions().constFirst());
    });
    attach(window);
    return bar;
}

void MivoMainMenu::attach(QWidget* window) {
    if (window == nullptr)
        return;
    install();
    for (const auto& [command, action] : actions_) {
        if (!window->actions().contains(action))
            window->addAction(action);
    }
}

void MivoMainMenu::showAbout() {
    if (about_ == nullptr)
        about_ = std::make_unique<AboutDialog>(aboutTexts(version_));
    about_->setWindowState(about_->windowState() & ~Qt::WindowMinimized);
    about_->show();
    about_->raise();
    about_->activateWindow();
}

}  // namespace mivo
