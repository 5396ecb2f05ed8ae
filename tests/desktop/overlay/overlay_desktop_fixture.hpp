#pragma once

// The overlay's desktop tests: the real X server under a window manager,
// the GTK test editor, and what they ask of both.

#include <QAccessible>
#include <QApplication>
#include <QWidget>

#include <cmath>
#include <string>
#include <vector>

#include "desktop_test_support.hpp"
#include "field/ax_geometry.hpp"
#include "platform/linux/qt/qt_screens.hpp"
#include "x_windows.hpp"

// Last: Xlib's macros (None, Bool, Status) clash with GoogleTest and Qt.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace mivo::desktop_test {

class OverlayDesktopTest : public DesktopTest {
  protected:
    Display* display() { return session_->desktop().x11().display(); }

    void movePointer(int x, int y) { desktop_test::movePointer(display(), x, y); }

    // Qt's global position of a point, in X pixels: on a scaled screen
    // they differ.
    static QPoint onX11(QPoint qt) {
        const Point p = linux_desktop::logicalToNative(
            Point{static_cast<double>(qt.x()), static_cast<double>(qt.y())},
            linux_desktop::scaledScreens());
        return QPoint(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)));
    }

    void click(int x, int y) { clickAt(display(), x, y, 0.1); }

    std::vector<QWidget*> shownHighlights() {
        std::vector<QWidget*> out;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "highlight" && w->isVisible())
                out.push_back(w);
        }
        // Left to right, as the test's rectangles lie on one line.
        std::sort(out.begin(), out.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
        return out;
    }

    Rect textRect(const AXElement& view, Utf16Range range) {
        const auto rect =
            AXTextExtractor::directBoundsForRange(ax(), session_->desktop().screens(), range, view);
        EXPECT_TRUE(rect.has_value());
        return rect.value_or(Rect{});
    }

    static CorrectionIssue issue(std::string id, std::string original, std::string suggestion,
                                 CorrectionIssue::Severity severity) {
        CorrectionIssue i;
        i.id = std::move(id);
        i.original = std::move(original);
        i.suggestion = std::move(suggestion);
        i.severity = severity;
        i.category = CorrectionIssue::Category::grammar;
        i.explanationEn = "Checked on the desktop.";
        return i;
    }

    double primaryHeight() {
        return AXTextExtractor::primaryScreenHeight(session_->desktop().screens());
    }

    // The showing push buttons named `name` under `node`, as Qt's
    // accessibility bridge serves them to the bus: an interface left
    // without its widget has no children.
    static int showingButtons(QAccessibleInterface* node, const QString& name) {
        if (node == nullptr || !node->isValid())
            return 0;
        int found = node->role() == QAccessible::Button && node->text(QAccessible::Name) == name &&
                            !node->state().invisible
                        ? 1
                        : 0;
        for (int i = 0; i < node->childCount(); ++i)
            found += showingButtons(node->child(i), name);
        return found;
    }
};

// The top-level window (a child of the root: the window manager's frame of
// a managed one) that `window` lies in.
inline Window topLevelOf(Display* display, Window window) {
    const Window root = DefaultRootWindow(display);
    for (;;) {
        Window rootReturn = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, window, &rootReturn, &parent, &children, &count) == 0)
            return window;
        if (children != nullptr)
            XFree(children);
        if (parent == root || parent == 0)
            return window;
        window = parent;
    }
}

}  // namespace mivo::desktop_test
