#include "app/mivo_main_menu.hpp"

#include <gmock/gmock.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

namespace mivo {
namespace {

TEST(MivoMainMenu, ShortcutsActOnTheActiveMivoWindow) {
    MivoMainMenu menu;
    int settings = 0;
    int quits = 0;
    int hideOthers = 0;
    menu.onOpenSettings = [&] { ++settings; };
    menu.onQuit = [&] { ++quits; };
    menu.onHideOthers = [&] { ++hideOthers; };
    menu.install();
    menu.install();  // once only
    EXPECT_EQ(menu.actions().size(), 10u);

    QWidget window;
    menu.attach(&window);
    menu.attach(&window);
    EXPECT_EQ(window.actions().size(), 10);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

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

}  // namespace
}  // namespace mivo
