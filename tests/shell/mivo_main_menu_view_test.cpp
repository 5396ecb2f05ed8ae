#include "shell/mivo_main_menu.hpp"

#include <gmock/gmock.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QWidget>
#include <cstdlib>

#include "fake_update_preferences.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "platform/sim/recorded_alerts.hpp"
#include "platform/sim/virtual_clock.hpp"
#include "settings/mivo_settings_store.hpp"
#include "settings/settings_screen.hpp"
#include "settings/settings_theme.hpp"
#include "settings/settings_window_controller.hpp"
#include "shell/about_dialog.hpp"
#include "ui/appearance.hpp"
#include "ui_artifacts.hpp"

namespace mivo {
namespace {

using ::testing::ElementsAre;

// Each entry of a Qt menu as the user sees it: the title (mnemonic marks
// kept) and the shortcut column, or "---".
std::vector<std::string> shown(const QMenu& menu) {
    std::vector<std::string> out;
    for (const QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            out.emplace_back("---");
            continue;
        }
        const QString keys = action->shortcut().toString(QKeySequence::NativeText);
        out.push_back(
            (keys.isEmpty() ? action->text() : action->text() + " | " + keys).toStdString());
    }
    return out;
}

// Two colours that differ by no more than rounding to 8 bits per channel.
bool near(const QColor& a, const QColor& b, int tolerance = 1) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// `top` painted over the opaque `bottom`.
QColor over(const QColor& top, const QColor& bottom) {
    const double a = top.alphaF();
    return QColor::fromRgbF(static_cast<float>(a * top.redF() + (1 - a) * bottom.redF()),
                            static_cast<float>(a * top.greenF() + (1 - a) * bottom.greenF()),
                            static_cast<float>(a * top.blueF() + (1 - a) * bottom.blueF()));
}

class MainMenuViewTest : public ::testing::Test {
  protected:
    void TearDown() override { ui::Appearance::shared().setOverride(ui::ColorScheme::light); }

    sim::MemoryUserDefaults defaults;
    sim::VirtualClock clock;
    MivoSettingsStore store{defaults, clock};
    testing::FakeUpdatePreferences updates;
    sim::RecordedAlerts alerts;
};

TEST_F(MainMenuViewTest, ShortcutsActOnTheActiveMivoWindow) {
    MivoMainMenu menu;
    int settings = 0;
    int quits = 0;
    int hideOthers = 0;
    menu.model().onOpenSettings = [&] { ++settings; };
    menu.model().onQuit = [&] { ++quits; };
    menu.model().onHideOthers = [&] { ++hideOthers; };
    menu.install();
    menu.install();  // once only

    QWidget window;
    menu.attach(&window);
    menu.attach(&window);
    EXPECT_EQ(window.actions().size(), 10);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    menu.refreshEnabled();

    QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(settings, 1);
    EXPECT_EQ(quits, 1);
    QTest::keyClick(&window, Qt::Key_H, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(hideOthers, 1);
    EXPECT_TRUE(window.isVisible());  // not taken for Ctrl+H, which hides Mivo
    QTest::keyClick(&window, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(window.isVisible());
}

// The bar on the settings window: three menus with Alt mnemonics, every
// item with its key shown in Mivo's Linux words, and the window grown by
// the bar so that the content keeps its designed size.
TEST_F(MainMenuViewTest, TheSettingsWindowCarriesTheMenuBar) {
    SettingsWindowController settings(store, updates, defaults, AppVersion{"0.1.0", "1"}, alerts);
    MivoMainMenu menu;
    settings.setMenuBar(menu.createMenuBar(&settings.window()));
    QMenuBar* bar = settings.menuBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->window(), &settings.window());

    std::vector<std::string> titles;
    for (const QAction* action : bar->actions())
        titles.push_back(action->text().toStdString());
    EXPECT_THAT(titles, ElementsAre("&Mivo", "&File", "&Window"));
    ASSERT_EQ(bar->actions().size(), 3);
    EXPECT_THAT(
        shown(*bar->actions()[0]->menu()),
        ElementsAre("&About Mivo", "&Check for Updates\u2026", "---", "&Settings\u2026 | Ctrl+,",
                    "---", "&Hide Mivo | Ctrl+H", "Hide &Others | Ctrl+Alt+H", "Sho&w All", "---",
                    "&Quit Mivo | Ctrl+Q"));
    EXPECT_THAT(shown(*bar->actions()[1]->menu()), ElementsAre("&Close Window | Ctrl+W"));
    EXPECT_THAT(shown(*bar->actions()[2]->menu()), ElementsAre("&Minimize | Ctrl+M", "&Zoom"));

    settings.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings.window()));
    EXPECT_EQ(settings.screen().height(), MivoSettingsTheme::contentHeight);
    EXPECT_EQ(settings.screen().width(), MivoSettingsTheme::contentWidth);
    EXPECT_EQ(settings.window().minimumHeight(),
              MivoSettingsTheme::minimumContentHeight + bar->height());

    for (const auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
        ui::Appearance::shared().setOverride(scheme);
        const std::string look = scheme == ui::ColorScheme::dark ? "dark" : "light";
        const QImage image =
            mivo::testing::renderArtifact(settings.window(), "settings-window-menu-bar-" + look);
        // The bar wears the window's background, not the desktop's.
        EXPECT_TRUE(near(mivo::testing::pixelAt(image, settings.window().width() - 4, 4),
                         MivoSettingsTheme::windowBackground()))
            << look;
        QMenu* mivoMenu = bar->actions()[0]->menu();
        mivoMenu->adjustSize();
        mivo::testing::renderArtifact(*mivoMenu, "main-menu-mivo-" + look);
    }
}

// After Hide Mivo or Minimize, Settings… (from this menu or the tray)
// brings the window back out of the task bar, not only "shown" there.
TEST_F(MainMenuViewTest, SettingsBringsAMinimisedSettingsWindowBack) {
    SettingsWindowController settings(store, updates, defaults, AppVersion{}, alerts);
    MivoMainMenu menu;
    menu.model().onOpenSettings = [&] { settings.present(); };
    settings.setMenuBar(menu.createMenuBar(&settings.window()));
    settings.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings.window()));
    menu.action(MenuCommand::hideMivo)->trigger();
    EXPECT_TRUE(settings.window().isMinimized());
    menu.action(MenuCommand::openSettings)->trigger();
    EXPECT_FALSE(settings.window().isMinimized());
    EXPECT_TRUE(settings.window().isVisible());
}

TEST_F(MainMenuViewTest, F10OpensTheFirstMenu) {
    SettingsWindowController settings(store, updates, defaults, AppVersion{}, alerts);
    MivoMainMenu menu;
    settings.setMenuBar(menu.createMenuBar(&settings.window()));
    settings.present();
    QApplication::setActiveWindow(&settings.window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&settings.window()));
    QTest::keyClick(&settings.window(), Qt::Key_F10);
    QMenu* first = settings.menuBar()->actions().constFirst()->menu();
    EXPECT_TRUE(QTest::qWaitFor([&] { return first->isVisible(); }, 2000));
    first->close();
}

// Minimize, Zoom and Close Window act on the active window, through the
// same actions the menu shows; with no active window they do nothing.
TEST_F(MainMenuViewTest, WindowCommandsFollowTheActiveWindow) {
    MivoMainMenu menu;
    menu.install();
    QWidget window;
    window.resize(300, 200);
    menu.attach(&window);

    menu.refreshEnabled();
    for (const MenuCommand command :
         {MenuCommand::closeWindow, MenuCommand::minimize, MenuCommand::zoom}) {
        EXPECT_FALSE(menu.action(command)->isEnabled()) << mainMenuItem(command).title;
    }

    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    menu.refreshEnabled();
    menu.action(MenuCommand::zoom)->trigger();
    EXPECT_TRUE(window.isMaximized());
    menu.action(MenuCommand::zoom)->trigger();
    EXPECT_FALSE(window.isMaximized());
    menu.action(MenuCommand::minimize)->trigger();
    EXPECT_TRUE(window.isMinimized());

    // A fixed window that offers only its close button: no Minimize, no Zoom.
    QWidget fixed;
    fixed.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint);
    fixed.setFixedSize(300, 200);
    menu.attach(&fixed);
    fixed.show();
    QApplication::setActiveWindow(&fixed);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&fixed));
    menu.refreshEnabled();
    EXPECT_FALSE(menu.action(MenuCommand::minimize)->isEnabled());
    EXPECT_FALSE(menu.action(MenuCommand::zoom)->isEnabled());
    EXPECT_TRUE(menu.action(MenuCommand::closeWindow)->isEnabled());
}

// Under Minimize and Zoom the Window menu lists Mivo's open windows, the
// active one checked; choosing one brings it forward, out of the task bar.
TEST_F(MainMenuViewTest, TheWindowMenuListsMivosWindowsAndBringsOneForward) {
    SettingsWindowController settings(store, updates, defaults, AppVersion{}, alerts);
    MivoMainMenu menu;
    settings.setMenuBar(menu.createMenuBar(&settings.window()));
    QMenu* windowMenu = settings.menuBar()->actions()[2]->menu();
    const auto checkedItems = [&] {
        std::vector<std::string> out;
        for (const QAction* action : windowMenu->actions()) {
            if (action->isCheckable() && action->isChecked())
                out.push_back(action->text().toStdString());
        }
        return out;
    };
    QWidget welcome;
    welcome.setWindowTitle("Welcome to Mivo");
    welcome.resize(300, 200);
    QWidget panel(nullptr, Qt::Tool | Qt::FramelessWindowHint);  // a panel, never listed
    panel.setWindowTitle("Rewrite");
    panel.show();

    welcome.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&welcome));
    settings.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings.window()));
    QApplication::setActiveWindow(&settings.window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&settings.window()));
    emit windowMenu->aboutToShow();
    EXPECT_THAT(shown(*windowMenu),
                ElementsAre("&Minimize | Ctrl+M", "&Zoom", "---", "Settings", "Welcome to Mivo"));
    EXPECT_THAT(checkedItems(), ElementsAre("Settings"));
    mivo::testing::renderArtifact(*windowMenu, "main-menu-window-light");

    welcome.showMinimized();
    windowMenu->actions().last()->trigger();
    EXPECT_FALSE(welcome.isMinimized());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&welcome));
    emit windowMenu->aboutToShow();
    EXPECT_THAT(checkedItems(), ElementsAre("Welcome to Mivo"));

    // A closed window leaves the list, and with no window left so does the
    // separator.
    welcome.close();
    settings.window().close();
    emit windowMenu->aboutToShow();
    EXPECT_THAT(shown(*windowMenu), ElementsAre("&Minimize | Ctrl+M", "&Zoom"));
}

TEST_F(MainMenuViewTest, AboutShowsTheVersionTextsAndTheLogo) {
    MivoMainMenu menu(AppVersion{"2.3.0", AppVersion::unknown});
    menu.install();
    menu.action(MenuCommand::about)->trigger();
    QDialog* dialog = menu.aboutDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), "About Mivo");
    const auto text = [&](const char* name) {
        const auto* label = dialog->findChild<QLabel*>(name);
        return label == nullptr ? std::string("(missing)") : label->text().toStdString();
    };
    EXPECT_EQ(text("aboutName"), "Mivo");
    EXPECT_EQ(text("aboutVersion"), "Version 2.3.0 (\u2014)");
    const auto* logo = dialog->findChild<QLabel*>("aboutLogo");
    ASSERT_NE(logo, nullptr);
    EXPECT_FALSE(logo->pixmap().isNull());

    // Asked again, the same dialog comes forward.
    menu.action(MenuCommand::about)->trigger();
    EXPECT_EQ(menu.aboutDialog(), dialog);

    for (const auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
        ui::Appearance::shared().setOverride(scheme);
        const std::string look = scheme == ui::ColorScheme::dark ? "dark" : "light";
        const QImage image = mivo::testing::renderArtifact(*dialog, "about-dialog-" + look);
        // The logo is drawn in the text's colour (which is slightly
        // translucent) somewhere in its square.
        const QColor ink =
            over(MivoSettingsTheme::textPrimary(), MivoSettingsTheme::windowBackground());
        const QRect square = logo->geometry();
        bool inked = false;
        for (int y = square.top(); y <= square.bottom() && !inked; y += 2) {
            for (int x = square.left(); x <= square.right() && !inked; x += 2) {
                inked = near(mivo::testing::pixelAt(image, x, y), ink, 2);
            }
        }
        EXPECT_TRUE(inked) << look;
        EXPECT_TRUE(
            near(mivo::testing::pixelAt(image, 2, 2), MivoSettingsTheme::windowBackground()))
            << look;
    }
}

// Return and Enter press OK, Space presses the focused OK, Escape closes.
TEST_F(MainMenuViewTest, AboutClosesOnEveryKeyThatEndsADialog) {
    MivoMainMenu menu(AppVersion{"2.3.0", AppVersion::unknown});
    menu.install();
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Escape}) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        menu.action(MenuCommand::about)->trigger();
        QDialog* dialog = menu.aboutDialog();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(dialog->isVisible());
        // OK has the focus when the dialog opens.
        auto* ok = dialog->findChild<QWidget*>("aboutOK");
        ASSERT_NE(ok, nullptr);
        QTest::keyClick(ok, key);
        EXPECT_FALSE(dialog->isVisible());
    }
}

}  // namespace
}  // namespace mivo
