#include "shell/main_menu_model.hpp"

#include <algorithm>
#include <cstdlib>

#include "shared/shortcut_text.hpp"

namespace mivo {

namespace {

constexpr uint32_t kCtrl = HotKeyConfig::controlMask;
constexpr uint32_t kAlt = HotKeyConfig::optionMask;

// Key codes are the virtual key numbers of the ANSI layout, as in every
// stored shortcut; the display carries the modifier glyphs ⌃ ⌥ and the key.
HotKeyConfig key(uint32_t keyCode, uint32_t modifiers, std::string display) {
    return {keyCode, modifiers, std::move(display)};
}

MenuItem item(MenuCommand command, std::string title, char mnemonic, std::string objectName,
              std::optional<HotKeyConfig> keyEquivalent = std::nullopt) {
    return {command, std::move(title), mnemonic, std::move(objectName), std::move(keyEquivalent)};
}

std::vector<Menu> buildLayout() {
    using enum MenuCommand;
    // Mnemonics are unique within each menu, so one Alt+letter opens or
    // runs exactly one thing.
    return {
        {"Mivo",
         'M',
         {
             item(about, "About Mivo", 'A', "about"),
             item(checkForUpdates, "Check for Updates\u2026", 'C', "checkForUpdates"),
             MenuSeparator{},
             item(openSettings, "Settings\u2026", 'S', "settings", key(43, kCtrl, "\u2303,")),
             MenuSeparator{},
             item(hideMivo, "Hide Mivo", 'H', "hide", key(4, kCtrl, "\u2303H")),
             item(hideOthers, "Hide Others", 'O', "hideOthers",
                  key(4, kCtrl | kAlt, "\u2303\u2325H")),
             item(showAll, "Show All", 'w', "showAll"),
             MenuSeparator{},
             item(quit, "Quit Mivo", 'Q', "quit", key(12, kCtrl, "\u2303Q")),
         }},
        {"File",
         'F',
         {item(closeWindow, "Close Window", 'C', "closeWindow", key(13, kCtrl, "\u2303W"))}},
        {"Window",
         'W',
         {
             item(minimize, "Minimize", 'M', "minimize", key(46, kCtrl, "\u2303M")),
             item(zoom, "Zoom", 'Z', "zoom"),
         }},
    };
}

}  // namespace

const std::vector<Menu>& mainMenuLayout() {
    static const std::vector<Menu> layout = buildLayout();
    return layout;
}

const MenuItem& mainMenuItem(MenuCommand command) {
    for (const Menu& menu : mainMenuLayout()) {
        for (const MenuEntry& entry : menu.entries) {
            if (const auto* found = std::get_if<MenuItem>(&entry);
                found != nullptr && found->command == command)
                return *found;
        }
    }
    // Every command has its item; reaching here is a broken layout.
    std::abort();
}

std::string keyEquivalentText(const MenuItem& item) {
    return item.keyEquivalent ? shortcutText(*item.keyEquivalent) : std::string();
}

std::string mnemonicTitle(std::string_view title, char mnemonic) {
    std::string out(title);
    const auto at = out.find(mnemonic);
    if (mnemonic != 0 && at != std::string::npos)
        out.insert(at, "&");
    return out;
}

AboutTexts aboutTexts(const AppVersion& version) {
    return {
        .windowTitle = "About Mivo",
        .name = "Mivo",
        .version = "Version " + version.text(),
        .summary = "A writing assistant for Japanese.",
    };
}

std::vector<OpenWindow> MainMenuModel::windowList() const {
    std::vector<OpenWindow> list = openWindows ? openWindows() : std::vector<OpenWindow>{};
    std::erase_if(list, [](const OpenWindow& window) { return window.title.empty(); });
    std::ranges::stable_sort(list, {}, &OpenWindow::title);
    return list;
}

std::optional<ActiveWindow> MainMenuModel::currentWindow() const {
    return activeWindow ? activeWindow() : std::nullopt;
}

bool MainMenuModel::isEnabled(MenuCommand command) const {
    switch (command) {
        case MenuCommand::checkForUpdates:
            return !canCheckForUpdates || canCheckForUpdates();
        case MenuCommand::closeWindow:
            return currentWindow().has_value();
        case MenuCommand::minimize: {
            const auto window = currentWindow();
            return window && window->canMinimize;
        }
        case MenuCommand::zoom: {
            const auto window = currentWindow();
            return window && window->canZoom;
        }
        case MenuCommand::about:
        case MenuCommand::openSettings:
        case MenuCommand::hideMivo:
        case MenuCommand::hideOthers:
        case MenuCommand::showAll:
        case MenuCommand::quit:
            return true;
    }
    return false;
}

void MainMenuModel::run(MenuCommand command) const {
    if (!isEnabled(command))
        return;
    const auto call = [](const std::function<void()>& f) {
        if (f)
            f();
    };
    switch (command) {
        case MenuCommand::about:
            return call(onAbout);
        case MenuCommand::checkForUpdates:
            return call(onCheckForUpdates);
        case MenuCommand::openSettings:
            return call(onOpenSettings);
        case MenuCommand::hideMivo:
            return call(onHideMivo);
        case MenuCommand::hideOthers:
            return call(onHideOthers);
        case MenuCommand::showAll:
            return call(onShowAll);
        case MenuCommand::quit:
            return call(onQuit);
        case MenuCommand::closeWindow:
            return call(closeActiveWindow);
        case MenuCommand::minimize:
            return call(minimizeActiveWindow);
        case MenuCommand::zoom:
            return call(toggleZoomActiveWindow);
    }
}

}  // namespace mivo
