// The rewrite panel and the trigger icon on a real X server under openbox,
// over the GTK test editor: the panel takes the keyboard and stays above the
// host; the icon takes clicks but never the focus. The suite runs at scale 1
// and with Qt scaled by 1.5 and 2, where both still land next to the X
// pixels of the text they belong to, and the panel grows inside the screen.

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "desktop_test_support.hpp"
#include "platform/linux/qt/qt_screens.hpp"
#include "platform/linux/x11/x11_properties.hpp"
#include "tone_panel/qt_tone_panel_presenter.hpp"
#include "tone_panel/tone_panel_window.hpp"
#include "tone_panel/tone_trigger_icon.hpp"
#include "tone_panel/tone_trigger_icon_window.hpp"
#include "ui/qt_edge.hpp"
#include "x_windows.hpp"

// Xlib after Qt: its macros clash with Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

namespace mivo::desktop_test {
namespace {

class X11 : public XConnection {
  public:
    std::vector<Window> windowList(const char* property) {
        const auto items =
            linux_desktop::cardinalProperty(display_, DefaultRootWindow(display_),
                                            XInternAtom(display_, property, False), XA_WINDOW);
        return items ? std::vector<Window>(items->begin(), items->end()) : std::vector<Window>{};
    }

    std::optional<long> pidOf(Window w) {
        const auto items = linux_desktop::cardinalProperty(
            display_, w, XInternAtom(display_, "_NET_WM_PID", False), XA_CARDINAL);
        if (!items || items->size() != 1)
            return std::nullopt;
        return static_cast<long>(items->front());
    }

    // Position in the window manager's stacking order, bottom first.
    std::optional<std::size_t> stackIndex(std::function<bool(Window)> matches) {
        const auto stack = windowList("_NET_CLIENT_LIST_STACKING");
        for (std::size_t i = 0; i < stack.size(); ++i) {
            if (matches(stack[i]))
                return i;
        }
        return std::nullopt;
    }

    void pressKey(KeySym keysym) {
        const KeyCode code = XKeysymToKeycode(display_, keysym);
        XTestFakeKeyEvent(display_, code, True, CurrentTime);
        XTestFakeKeyEvent(display_, code, False, CurrentTime);
        XFlush(display_);
    }

    void click(int x, int y) {
        XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
        XFlush(display_);
        spinFor(0.1);
        XTestFakeButtonEvent(display_, 1, True, CurrentTime);
        XTestFakeButtonEvent(display_, 1, False, CurrentTime);
        XFlush(display_);
    }

    // The window's bounding shape in its own coordinates; one rectangle, the
    // whole window, when it has no shape of its own.
    std::vector<QRect> shape(Window window) {
        int count = 0;
        int ordering = 0;
        XRectangle* rects = XShapeGetRectangles(display_, window, ShapeBounding, &count, &ordering);
        std::vector<QRect> out;
        for (int i = 0; i < count; ++i)
            out.emplace_back(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
        if (rects != nullptr)
            XFree(rects);
        return out;
    }

    // What the screen shows in `area` (root coordinates).
    QImage screenImage(const QRect& area) {
        XImage* image = XGetImage(display_, DefaultRootWindow(display_), area.x(), area.y(),
                                  static_cast<unsigned>(area.width()),
                                  static_cast<unsigned>(area.height()), AllPlanes, ZPixmap);
        QImage out(area.size(), QImage::Format_RGB32);
        if (image == nullptr)
            return out;
        for (int y = 0; y < area.height(); ++y) {
            for (int x = 0; x < area.width(); ++x)
                out.setPixel(x, y, static_cast<QRgb>(XGetPixel(image, x, y) & 0xffffff));
        }
        XDestroyImage(image);
        return out;
    }

    void movePointer(int x, int y) {
        XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
        XSync(display_, False);
    }
};

class TonePanelDesktopTest : public DesktopTest {
  protected:
    // Qt's scale on this run: 1, or what QT_SCALE_FACTOR asks for.
    static double scale() { return qApp->devicePixelRatio(); }

    static std::string scaleName() {
        const double s = scale();
        return s == 1 ? "1" : s == 1.5 ? "1.5" : std::to_string(static_cast<int>(std::lround(s)));
    }

    void SetUp() override {
        DesktopTest::SetUp();
        if (sessionReady()) {
            ASSERT_NE(x_.display(), nullptr);
        }
    }

    // The X window of the presenter's panel once it is viewable and
    // `settle` seconds more have passed; 0 when it never shows.
    Window shownPanel(QtTonePanelPresenter& presenter, double settle) {
        TonePanelWindow* window = presenter.window();
        if (window == nullptr ||
            !waitUntil([&] { return isViewable(x_.display(), window->winId()); }, 10))
            return 0;
        spinFor(settle);
        return window->winId();
    }

    // The test's own connection, apart from the backend's: its keys and
    // clicks come from another client, as the user's do.
    X11 x_;
};

TEST_F(TonePanelDesktopTest, ThePanelTakesKeysAndStaysAboveTheHost) {
    auto editor = startEditor();
    ASSERT_NE(editor, nullptr);
    const auto editorPid = static_cast<long>(editor->pid());

    linux_desktop::QtScreens screens;
    ToneStateBox box;
    QtTonePanelPresenter presenter(screens);
    std::vector<int> keys;
    presenter.open({"今日は会議です。",
                    &box,
                    {},
                    [&](const PanelKeyEvent& key) {
                        keys.push_back(key.keyCode);
                        return true;
                    },
                    Rect{100, 500, 200, 20}});
    TonePanelWindow* window = presenter.window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitUntil([&] { return window->isActiveWindow(); }, 10))
        << "the panel did not become the active window";

    x_.pressKey(XK_Escape);
    x_.pressKey(XK_Right);
    ASSERT_TRUE(waitUntil([&] { return keys.size() >= 2; }, 5));
    EXPECT_EQ(keys, (std::vector<int>{panel_keys::escape, panel_keys::rightArrow}));

    const Window panelId = window->winId();
    auto above = [&] {
        const auto panel = x_.stackIndex([&](Window w) { return w == panelId; });
        const auto host = x_.stackIndex([&](Window w) { return x_.pidOf(w) == editorPid; });
        return panel && host && *panel > *host;
    };
    EXPECT_TRUE(waitUntil(above, 5)) << "the panel is not above the editor";

    // The user goes back to the editor: the panel still floats above it.
    ASSERT_TRUE(workspace().activate(editor->pid()));
    ASSERT_TRUE(waitUntil([&] { return !window->isActiveWindow(); }, 5));
    spinFor(0.3);
    EXPECT_TRUE(above()) << "the panel went under the editor";
    presenter.close();
}

TEST_F(TonePanelDesktopTest, TheTriggerIconTakesClicksButNeverTheFocus) {
    auto editor = startEditor();
    ASSERT_NE(editor, nullptr);

    ToneTriggerIcon icon(scheduler(), ToneTriggerIconWindow::factory());
    int triggers = 0;
    icon.onTrigger = [&] { ++triggers; };
    ToneWarmBuffer::FocusState focus;
    focus.isEligible = true;
    focus.hasTargetCandidate = true;
    focus.surfaceTag = SurfaceTagResolver::SurfaceTag::notesPersonal;
    const Rect primary = linux_desktop::primaryScreenFrame();
    // The field in X pixels (y up), its bottom 400 X pixels from the top.
    focus.elementFrame = Rect{100, primary.height - 400, 400, 200};
    icon.apply(focus);
    auto* window = dynamic_cast<ToneTriggerIconWindow*>(icon.window());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitUntil([&] { return window->isVisible() && window->alpha() >= 1; }, 5));
    ASSERT_TRUE(waitUntil([&] { return isViewable(x_.display(), window->widget()->winId()); }, 5));
    // At the field's bottom-right corner: 30 points left of its right edge,
    // 8 up, the mark 24 points square, a point being `scale()` X pixels.
    const double s = scale();
    const QRect geometry = rootGeometry(x_.display(), window->widget()->winId());
    EXPECT_NEAR(geometry.x(), 100 + 400 - 30 * s, 1);
    EXPECT_NEAR(geometry.y() + geometry.height(), 400 - 8 * s, 1);
    EXPECT_NEAR(geometry.width(), 24 * s, 1);
    EXPECT_LE(geometry.x() + geometry.width(), 100 + 400) << "the mark hangs past the field";

    const QPoint centre = geometry.center();
    x_.click(centre.x(), centre.y());
    ASSERT_TRUE(waitUntil([&] { return triggers == 1; }, 5)) << "the click did not reach the icon";
    spinFor(0.3);
    EXPECT_FALSE(window->widget()->isActiveWindow());
    EXPECT_EQ(QApplication::activeWindow(), nullptr);
    const auto front = workspace().frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->pid, editor->pid()) << "the icon took the focus from the editor";
    icon.stop();
}

// The panel opens small (offline: a line and a button) and grows to a
// preview of the rewrite.
TonePanelState shortState() {
    return TonePanelState::offline();
}

TonePanelState tallerState() {
    return TonePanelState::preview(
        "本日は会議に参加できず、申し訳ございません。また改めてご連絡いたします。",
        RewriteAction::improve, std::nullopt, 420, false);
}

TEST_F(TonePanelDesktopTest, ThePanelOpensNextToItsTextInXPixels) {
    x_.movePointer(2, 2);
    linux_desktop::QtScreens screens;
    const Rect primary = linux_desktop::primaryScreenFrame();
    // A selection in the middle of the screen (X pixels, y up).
    const Rect anchor{primary.width / 2 - 80, primary.height / 2 + 100, 160, 20};
    ToneStateBox box;
    QtTonePanelPresenter presenter(screens);
    presenter.open({"今日は会議です。", &box, {}, nullptr, anchor});
    const Window id = shownPanel(presenter, 0.3);
    ASSERT_NE(id, 0u);
    TonePanelWindow* window = presenter.window();
    screenshot("tone-panel-middle-scale-" + scaleName() + ".png");

    // As many X pixels as Qt's pixels times the scale; 60 right of centred
    // under the text, its top edge 6 below the text's bottom edge.
    const QRect g = rootGeometry(x_.display(), id);
    EXPECT_NEAR(g.width(), window->width() * scale(), 2);
    EXPECT_NEAR(g.height(), window->height() * scale(), 2);
    const double anchorBottom = primary.height - anchor.minY();  // y down
    EXPECT_NEAR(g.x(), anchor.x + anchor.width / 2 + 60 - g.width() / 2.0, 2);
    EXPECT_NEAR(g.y(), anchorBottom + 6, 2);
    EXPECT_LE(g.x() + g.width(), primary.width);
    EXPECT_LE(g.y() + g.height(), primary.height);
    // The placement's frame is where the window is.
    const Rect frame = window->globalFrame();
    EXPECT_NEAR(frame.x, g.x(), 1);
    EXPECT_NEAR(primary.height - frame.maxY(), g.y(), 1);
    presenter.close();
}

TEST_F(TonePanelDesktopTest, NextToEachScreenEdgeThePanelGrowsInsideTheScreen) {
    x_.movePointer(640, 2);
    linux_desktop::QtScreens screens;
    const Rect primary = linux_desktop::primaryScreenFrame();
    const double w = primary.width;
    const double h = primary.height;
    enum class Side { below, above, clamped };
    struct Row {
        const char* name;
        Rect anchor;  // X pixels, y up
        Side side;    // where it opens; clamped: grows past the screen's edge
    };
    // Room below the text for the small panel (159 points) but not for the
    // grown one (over 300): it opens below, and growing down would take it
    // past the bottom edge.
    const double lowLine = 14 + 230 * scale();
    const std::vector<Row> rows{
        {"top-left", {4, h - 40, 40, 16}, Side::below},
        {"top-right", {w - 44, h - 40, 40, 16}, Side::below},
        {"bottom-left", {4, 30, 40, 16}, Side::above},
        {"bottom-right", {w - 44, 30, 40, 16}, Side::above},
        {"low-middle", {w / 2, lowLine, 40, 16}, Side::clamped},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ToneStateBox box;
        box.setState(shortState());
        QtTonePanelPresenter presenter(screens);
        presenter.open({"今日は会議です。", &box, {}, nullptr, row.anchor});
        const Window id = shownPanel(presenter, 0.2);
        ASSERT_NE(id, 0u);
        const QRect opened = rootGeometry(x_.display(), id);

        box.setState(tallerState());
        ASSERT_TRUE(
            waitUntil([&] { return rootGeometry(x_.display(), id).height() > opened.height(); }, 5))
            << "the panel did not grow";
        spinFor(0.3);
        const QRect grown = rootGeometry(x_.display(), id);
        screenshot("tone-panel-grown-" + std::string(row.name) + "-scale-" + scaleName() + ".png");
        // Inside the screen, with the padding to spare.
        EXPECT_GE(grown.x(), 8 - 1);
        EXPECT_GE(grown.y(), 8 - 1);
        EXPECT_LE(grown.x() + grown.width(), w - 8 + 1);
        EXPECT_LE(grown.y() + grown.height(), h - 8 + 1);
        // The edge next to the text stays, so the panel never covers it.
        const double textTop = h - row.anchor.maxY();
        const double textBottom = h - row.anchor.minY();
        if (row.side == Side::below) {
            EXPECT_NEAR(grown.y(), opened.y(), 1);
            EXPECT_GE(grown.y(), textBottom);
        } else if (row.side == Side::above) {
            EXPECT_NEAR(grown.y() + grown.height(), opened.y() + opened.height(), 1);
            EXPECT_LE(grown.y() + grown.height(), textTop);
        } else {
            EXPECT_GE(opened.y(), textBottom) << "it opened below the text";
            EXPECT_NEAR(grown.y() + grown.height(), h - 8, 1) << "it stops at the bottom margin";
        }
        presenter.close();
        spinFor(0.1);
    }
}

TEST_F(TonePanelDesktopTest, WithoutACompositorTheCardsCornersShowNoDarkPixels) {
    if (qt_edge::hasCompositor())
        GTEST_SKIP() << "a compositor blends the corners";
    x_.movePointer(2, 2);
    linux_desktop::QtScreens screens;
    const Rect primary = linux_desktop::primaryScreenFrame();
    ToneStateBox box;
    QtTonePanelPresenter presenter(screens);
    presenter.open({"今日は会議です。",
                    &box,
                    {},
                    nullptr,
                    Rect{primary.width / 2 - 80, primary.height - 100, 160, 20}});
    const Window id = shownPanel(presenter, 0.3);
    ASSERT_NE(id, 0u);

    // The four corner squares of the card (its radius is 14 points); what
    // the window shows there is the card's white, its pale border or the
    // antialiased mix of the two, never the black of a pixel left
    // transparent or a shadow drawn without anything to blend with.
    const QRect g = rootGeometry(x_.display(), id);
    const QImage shown = x_.screenImage(g);
    const std::vector<QRect> visible = x_.shape(id);
    ASSERT_FALSE(visible.empty());
    const QRect card =
        QRect(QPoint(0, 0), g.size())
            .adjusted(static_cast<int>(10 * scale()), static_cast<int>(10 * scale()),
                      -static_cast<int>(10 * scale()), -static_cast<int>(10 * scale()));
    const int r = static_cast<int>(std::ceil(14 * scale()));
    const QRect corners[] = {
        {card.left(), card.top(), r, r},
        {card.right() - r + 1, card.top(), r, r},
        {card.left(), card.bottom() - r + 1, r, r},
        {card.right() - r + 1, card.bottom() - r + 1, r, r},
    };
    int dark = 0;
    int seen = 0;
    for (const QRect& corner : corners) {
        for (int py = corner.top(); py <= corner.bottom(); ++py) {
            for (int px = corner.left(); px <= corner.right(); ++px) {
                const bool inShape = std::ranges::any_of(
                    visible, [&](const QRect& v) { return v.contains(px, py); });
                if (!inShape)
                    continue;
                ++seen;
                if (qGray(shown.pixel(px, py)) < 170)
                    ++dark;
            }
        }
    }
    screenshot("tone-panel-corners-scale-" + scaleName() + ".png");
    EXPECT_GT(seen, 0);
    EXPECT_EQ(dark, 0) << "dark pixels in the card's corners";
    presenter.close();
}

}  // namespace
}  // namespace mivo::desktop_test
