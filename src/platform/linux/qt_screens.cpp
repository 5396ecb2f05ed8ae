#include "platform/linux/qt_screens.hpp"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

namespace mivo::linux_desktop {
namespace {

Rect fromQt(const QRect& r) {
    return Rect{static_cast<double>(r.x()), static_cast<double>(r.y()),
                static_cast<double>(r.width()), static_cast<double>(r.height())};
}

}  // namespace

Rect toGlobalCoordinates(const Rect& r, const Rect& primary) {
    return Rect{r.x - primary.x, primary.maxY() - r.maxY(), r.width, r.height};
}

Rect primaryScreenFrame() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary != nullptr ? fromQt(primary->geometry()) : Rect{};
}

std::vector<Screen> QtScreens::screens() {
    std::vector<Screen> out;
    const Rect primary = primaryScreenFrame();
    // The primary screen first: the one whose frame has the origin.
    auto list = QGuiApplication::screens();
    for (const QScreen* screen : list) {
        out.push_back(Screen{toGlobalCoordinates(fromQt(screen->geometry()), primary),
                             toGlobalCoordinates(fromQt(screen->availableGeometry()), primary)});
    }
    return out;
}

}  // namespace mivo::linux_desktop
