// Keysyms for typed code points, the global coordinates of screens, where a
// window's own coordinates start, and the refusal without an X display.

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/qt/qt_screens.hpp"
#include "platform/linux/x11/ewmh_workspace.hpp"
#include "platform/linux/x11/x11_connection.hpp"
#include "platform/linux/x11/xtest_input.hpp"
#include "platform/sim/captured_log.hpp"

namespace mivo::linux_desktop {
namespace {

TEST(Keysyms, LatinOneIsItselfEverythingElseIsUnicode) {
    struct Row {
        char32_t codePoint;
        unsigned long keysym;
    };
    const std::vector<Row> rows = {
        {U'a', XK_a},
        {U'é', XK_eacute},
        {U'\n', XK_Return},
        {U'あ', 0x01003042},
        {U'\U00020BB7', 0x01020BB7},  // 𠮷, outside the BMP
        {U'\U0001F600', 0x0101F600},  // 😀
        {U'\u3099', 0x01003099},      // a combining mark, typed on its own key
        {0x07, 0},                    // control characters type nothing
        {0x85, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(keysymForCodePoint(row.codePoint), row.keysym)
            << static_cast<unsigned long>(row.codePoint);
}

TEST(GlobalCoordinates, FlipAtThePrimaryScreensBottomEdge) {
    const Rect primary{0, 0, 1440, 900};
    // y' = H - y - height: a rectangle 200 from the top of a 1117 high
    // screen, 20 high, is 897 from its bottom.
    EXPECT_EQ(toGlobalCoordinates({100, 200, 50, 20}, {0, 0, 1000, 1117}),
              (Rect{100, 897, 50, 20}));
    // A panel 25 high at the top leaves the visible frame 875 high from y 0.
    EXPECT_EQ(toGlobalCoordinates({0, 25, 1440, 875}, primary), (Rect{0, 0, 1440, 875}));
    // A second screen to the right whose top is 100 lower than the primary's.
    EXPECT_EQ(toGlobalCoordinates({1440, 100, 1280, 1024}, primary),
              (Rect{1440, -224, 1280, 1024}));
    // A primary screen that is not at the root window's origin.
    EXPECT_EQ(toGlobalCoordinates({1300, 60, 10, 20}, {1280, 0, 1440, 900}),
              (Rect{20, 820, 10, 20}));
}

TEST(WindowCoordinates, StartInsideAClientSideDecorationsMargin) {
    const Point x{290, 252};
    const Size window{700, 520};
    struct Row {
        std::vector<unsigned long> frameExtents;
        std::optional<Size> content;
        Point expected;
    };
    const std::vector<Row> rows = {
        // The toolkit says: left, right, top, bottom (shadows wider below).
        {{23, 23, 15, 31}, Size{654, 474}, {313, 267}},
        // GTK 4 without a compositor does not say; its resize margin is even
        // (GNOME Text Editor: 690 x 510 in a 700 x 520 window).
        {{}, Size{690, 510}, {295, 257}},
        // No margin: the toolkit's window is the X window.
        {{}, Size{700, 520}, {290, 252}},
        {{}, std::nullopt, {290, 252}},
        // Nonsense is no margin.
        {{1, 2, 3}, Size{690, 510}, {295, 257}},
        {{}, Size{800, 510}, {290, 252}},
        {{5000, 0, 0, 0}, std::nullopt, {290, 252}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(contentOrigin(x, window, row.frameExtents, row.content), row.expected)
            << row.frameExtents.size();
}

TEST(NoDisplay, RefusesWithOneClearLine) {
    const char* saved = std::getenv("DISPLAY");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("DISPLAY", ":9876", 1);
    sim::CapturedLog log;
    EXPECT_FALSE(canOpenDisplay(log));
    EXPECT_EQ(X11Connection::open(log), nullptr);
    if (saved != nullptr)
        setenv("DISPLAY", previous.c_str(), 1);
    else
        unsetenv("DISPLAY");
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[0],
              "[Mivo] desktop: cannot open the X display \":9876\": Mivo needs an X11 session "
              "(Xorg or XWayland)");
}

}  // namespace
}  // namespace mivo::linux_desktop
