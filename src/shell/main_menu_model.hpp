#pragma once

// The application menu as data: its menus, items, separators and key
// equivalents, which items can be chosen, and what choosing one does. The
// Qt menu bar and the keyboard shortcuts are drawn from it; nothing here
// knows a toolkit.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "settings/app_version.hpp"
#include "shared/hotkey_config.hpp"

namespace mivo {

enum class MenuCommand {
    about,
    checkForUpdates,
    openSettings,
    hideMivo,
    hideOthers,
    showAll,
    quit,
    closeWindow,
    minimize,
    zoom,
};

struct MenuItem {
    MenuCommand command;
    std::string title;       // the text the user reads ("Settings…")
    char mnemonic = 0;       // the underlined letter of `title`, for Alt navigation
    std::string objectName;  // what tests and tools find the item by
    // The key equivalent with Linux modifiers (Ctrl for the Command key),
    // kept in the form the rest of Mivo writes shortcuts from.
    std::optional<HotKeyConfig> keyEquivalent;
};

struct MenuSeparator {};

using MenuEntry = std::variant<MenuItem, MenuSeparator>;

struct Menu {
    std::string title;
    char mnemonic = 0;
    std::vector<MenuEntry> entries;
};

// "Mivo", "File", "Window", in the order of the menu bar.
const std::vector<Menu>& mainMenuLayout();

// The item of `command` in the layout.
const MenuItem& mainMenuItem(MenuCommand command);

// The key equivalent as the user reads it ("Ctrl+Alt+H"); empty without one.
std::string keyEquivalentText(const MenuItem& item);

// `title` with "&" before its mnemonic (the first occurrence of that
// letter), the way toolkits mark it; `title` itself without one.
std::string mnemonicTitle(std::string_view title, char mnemonic);

// The texts of the about dialog.
struct AboutTexts {
    std::string windowTitle;  // "About Mivo"
    std::string name;         // "Mivo"
    std::string version;      // "Version 1.4.2 (57)", "—" for a missing part
    std::string summary;
};
AboutTexts aboutTexts(const AppVersion& version);

// One of Mivo's open windows, as the Window menu lists it under Minimize
// and Zoom.
struct OpenWindow {
    std::string title;
    bool active = false;  // has the keyboard: its item is checked
    // Which window it is, for bringing it forward; the view's own handle.
    std::uintptr_t handle = 0;
};

// Mivo's window that has the keyboard, as the menu needs to know it.
struct ActiveWindow {
    bool canMinimize = true;
    bool canZoom = true;  // resizable
};

class MainMenuModel {
  public:
    // The application's commands; set by the composition root and the view.
    std::function<void()> onAbout;
    std::function<void()> onCheckForUpdates;
    std::function<void()> onOpenSettings;
    std::function<void()> onHideMivo;
    std::function<void()> onHideOthers;
    std::function<void()> onShowAll;
    std::function<void()> onQuit;
    // Whether the updater can start a check now; always, when unset.
    std::function<bool()> canCheckForUpdates;

    // Mivo's active window and what is done to it; unset or answering
    // nothing means there is no active window.
    std::function<std::optional<ActiveWindow>()> activeWindow;
    std::function<void()> closeActiveWindow;
    std::function<void()> minimizeActiveWindow;
    std::function<void()> toggleZoomActiveWindow;

    // Mivo's open windows, in any order, and bringing one forward (out of
    // the task bar when minimised); unset means none.
    std::function<std::vector<OpenWindow>()> openWindows;
    std::function<void(std::uintptr_t handle)> bringWindowForward;

    // The Window menu's list: by title, so that it keeps one order however
    // the windows came and went; windows without a title are left out.
    std::vector<OpenWindow> windowList() const;

    bool isEnabled(MenuCommand command) const;
    // Runs the command when it is enabled; does nothing otherwise.
    void run(MenuCommand command) const;

  private:
    std::optional<ActiveWindow> currentWindow() const;
};

}  // namespace mivo
