// Mivo's alerts under a real window manager: opened while another program's
// window is active (the browser after a sign-in, an editor), an alert must
// come up in front of it with the focus, not mapped underneath, as Mivo's
// own window: not transient for the other program's window (openbox would
// show that program's icon and group it with that program), with Mivo's
// icon, and wide enough that its whole title shows in the title bar. Over a
// window of Mivo's it stays with that window.

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QMessageBox>

#include "desktop_test_support.hpp"
#include "platform/linux/x11/x11_properties.hpp"
#include "shell/qt_alerts.hpp"
#include "x_windows.hpp"

// Last: Xlib's macros clash with GoogleTest and Qt.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace mivo::desktop_test {
namespace {

class AlertDesktopTest : public DesktopTest {
  protected:
    void TearDown() override {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == "mivoAlert")
                window->close();
        }
        QApplication::processEvents();
    }

    // The alert once it shows (within 5 s); nothing when none does.
    static QMessageBox* shownAlert() {
        QMessageBox* box = nullptr;
        waitUntil(
            [&] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (w->objectName() == "mivoAlert" && w->isVisible())
                        box = qobject_cast<QMessageBox*>(w);
                }
                return box != nullptr;
            },
            5);
        return box;
    }

    Display* display() { return session_->desktop().x11().display(); }

    std::vector<Window> windowList(const char* property) {
        const auto items =
            linux_desktop::cardinalProperty(display(), DefaultRootWindow(display()),
                                            XInternAtom(display(), property, False), XA_WINDOW);
        return items ? std::vector<Window>(items->begin(), items->end()) : std::vector<Window>{};
    }

    Window transientFor(Window window) {
        Window parent = 0;
        XGetTransientForHint(display(), window, &parent);
        return parent;
    }

    // Whether the window names an icon of its own (_NET_WM_ICON).
    bool hasIcon(Window window) {
        const auto icon = linux_desktop::cardinalProperty(
            display(), window, XInternAtom(display(), "_NET_WM_ICON", False), XA_CARDINAL);
        return icon && icon->size() > 2;
    }

    // The managed window's width with the window manager's frame.
    int framedWidth(Window window) {
        const auto extents = linux_desktop::cardinalProperty(
            display(), window, XInternAtom(display(), "_NET_FRAME_EXTENTS", False), XA_CARDINAL);
        const long left = extents && extents->size() == 4 ? static_cast<long>((*extents)[0]) : 0;
        const long right = extents && extents->size() == 4 ? static_cast<long>((*extents)[1]) : 0;
        XWindowAttributes a{};
        XGetWindowAttributes(display(), window, &a);
        return a.width + static_cast<int>(left + right);
    }
};

TEST_F(AlertDesktopTest, AnAlertOpensInFrontOfAnotherProgramsActiveWindowWithItsWholeTitle) {
    auto editor = startEditor({.title = "Someone else's window"});
    ASSERT_NE(editor, nullptr);
    const auto editorWindow = session_->desktop().workspace().activeWindow();
    ASSERT_TRUE(editorWindow.has_value());

    QtAlerts alerts;
    const std::string title = "Updates Come with Your Package";
    alerts.show({.title = title, .message = "Short.", .buttons = {"OK"}}, {});

    QMessageBox* const box = shownAlert();
    ASSERT_NE(box, nullptr);
    const Window alertWindow = box->winId();
    // Not the other program's dialog: not transient for its window, and
    // with an icon of its own.
    EXPECT_NE(transientFor(alertWindow), *editorWindow);
    EXPECT_TRUE(hasIcon(alertWindow)) << "the alert carries no icon of its own";
    // The window manager keeps it above the other program's window and
    // gives it the focus.
    EXPECT_TRUE(
        waitUntil([&] { return session_->desktop().workspace().activeWindow() == alertWindow; }, 5))
        << "the alert did not take the focus";
    const auto stacking = windowList("_NET_CLIENT_LIST_STACKING");
    const auto above = std::ranges::find(stacking, alertWindow);
    const auto below = std::ranges::find(stacking, *editorWindow);
    ASSERT_NE(above, stacking.end());
    ASSERT_NE(below, stacking.end());
    EXPECT_GT(above, below) << "the alert is under the active window";

    // The title as Qt hands it to the window manager, without a suffix, and
    // room for it beside the title bar's buttons.
    EXPECT_EQ(shownTitle(display(), alertWindow), title);
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    EXPECT_GE(framedWidth(alertWindow),
              QFontMetrics(font).horizontalAdvance(QString::fromStdString(title)) + 120);
}

TEST_F(AlertDesktopTest, AnAlertOverAWindowOfMivosStaysWithIt) {
    QWidget ours;
    ours.setWindowTitle("Mivo Settings");
    ours.resize(400, 300);
    ours.show();
    ours.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return ours.isActiveWindow(); }, 10));

    QtAlerts alerts;
    alerts.show({.title = "Shortcut Unavailable", .message = "Short.", .buttons = {"OK"}}, {});
    QMessageBox* const box = shownAlert();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(transientFor(box->winId()), ours.winId());
    EXPECT_TRUE(waitUntil(
        [&] { return session_->desktop().workspace().activeWindow() == box->winId(); }, 5))
        << "the alert did not take the focus";
}

}  // namespace
}  // namespace mivo::desktop_test
