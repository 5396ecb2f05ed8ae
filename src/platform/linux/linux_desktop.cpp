#include "platform/linux/linux_desktop.hpp"

#include <QGuiApplication>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace mivo::linux_desktop {
namespace {

Point primaryOrigin() {
    const Rect primary = primaryScreenFrame();
    return Point{primary.x, primary.y};
}

}  // namespace

std::unique_ptr<LinuxDesktop> LinuxDesktop::create(Log& log) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        log.write("[Mivo] desktop: no Qt GUI application; the desktop is not available");
        return nullptr;
    }
    // Screen and clipboard answers must be the X server's, in its
    // coordinates: under Wayland, Qt has to run on XWayland.
    if (QGuiApplication::platformName() != "xcb") {
        log.write("[Mivo] desktop: Qt runs on the \"" +
                  QGuiApplication::platformName().toStdString() +
                  "\" platform; Mivo needs an X11 session (Xorg or XWayland, QT_QPA_PLATFORM=xcb)");
        return nullptr;
    }
    auto x11 = X11Connection::open(log);
    if (x11 == nullptr)
        return nullptr;
    return std::unique_ptr<LinuxDesktop>(new LinuxDesktop(log, std::move(x11)));
}

LinuxDesktop::LinuxDesktop(Log& log, std::unique_ptr<X11Connection> x11)
    : log_(log),
      x11_(std::move(x11)),
      accessibility_(std::make_unique<AtspiAccessibility>(scheduler_, log, primaryOrigin)),
      counted_(std::make_unique<CountingAccessibility>(*accessibility_)),
      workspace_(std::make_unique<EwmhWorkspace>(*x11_, scheduler_, log)),
      input_(std::make_unique<XTestInput>(*x11_, scheduler_, log, primaryOrigin)) {
    accessibility_->setWindowOrigin([this](Pid pid, std::optional<Size> contentSize) {
        return workspace_->windowOrigin(pid, contentSize);
    });
    accessibility_->setWindowFrame([this](Pid pid) { return workspace_->windowFrame(pid); });
    accessibility_->setActiveWindowTitle(
        [this](Pid pid) { return workspace_->activeWindowTitle(pid); });
    startWritingCallCounts();
}

LinuxDesktop::~LinuxDesktop() {
    callCountWriter_.cancel();
}

void LinuxDesktop::startWritingCallCounts() {
    const char* path = std::getenv("MIVO_AX_CALL_COUNTS");
    if (path == nullptr || *path == '\0')
        return;
    callCountWriter_ = scheduler_.repeating(1.0, [this, file = std::string(path)] {
        // Written aside and renamed, so that a reader never sees half a file.
        const std::string aside = file + ".part";
        {
            std::ofstream out(aside, std::ios::trunc);
            out << "total " << counted_->calls().total() << "\n" << counted_->calls().report();
            if (!out)
                return;
        }
        std::error_code ignored;
        std::filesystem::rename(aside, file, ignored);
    });
}

Desktop LinuxDesktop::ports() {
    return Desktop{scheduler_, *counted_, *workspace_, screens_, *input_, pasteboard_, log_};
}

}  // namespace mivo::linux_desktop
