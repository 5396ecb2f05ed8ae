#include "platform/linux/qt/qt_screens.hpp"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

namespace mivo::linux_desktop {
namespace {

Rect fromQt(const QRect& r) {
    return Rect{static_cast<double>(r.x()), static_cast<double>(r.y()),
                static_cast<double>(r.width()), static_cast<double>(r.height())};
}

ScaledScreen scaled(const QScreen* screen) {
    return ScaledScreen{fromQt(screen->geometry()), screen->devicePixelRatio()};
}

}  // namespace

std::vector<ScaledScreen> scaledScreens() {
    std::vector<ScaledScreen> out;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr)
        return out;
    out.push_back(scaled(primary));
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary)
            out.push_back(scaled(screen));
    }
    return out;
}

Rect primaryScreenFrame() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary != nullptr ? nativeFrame(scaled(primary)) : Rect{};
}

std::vector<Screen> QtScreens::screens() {
    std::vector<Screen> out;
    const Rect primary = primaryScreenFrame();
    for (const QScreen* screen : QGuiApplication::screens()) {
        const ScaledScreen s = scaled(screen);
        // The available area is in the screen's device-independent
        // coordinates around the same X origin.
        out.push_back(
            Screen{toGlobalCoordinates(nativeFrame(s), primary),
                   toGlobalCoordinates(toNative(fromQt(screen->availableGeometry()), s), primary)});
    }
    return out;
}

Rect toQtCoordinates(const Rect& global) {
    return nativeToLogical(fromGlobalCoordinates(global, primaryScreenFrame()), scaledScreens());
}

Rect fromQtCoordinates(const Rect& qt) {
    return toGlobalCoordinates(logicalToNative(qt, scaledScreens()), primaryScreenFrame());
}

}  // namespace mivo::linux_desktop
