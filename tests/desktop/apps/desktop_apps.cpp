#include "desktop_apps.hpp"

// Qt before Xlib: Xlib's macros break Qt's headers.
#include "desktop_session.hpp"

#include <atspi/atspi.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <vector>

#include "platform/linux/atspi/gobject_ptr.hpp"
#include "platform/linux/x11/x11_connection.hpp"

namespace mivo::desktop_test {
namespace {

std::optional<Pid> pidOnBus(std::string_view name) {
    using linux_desktop::GErrorSlot;
    using linux_desktop::GObjectPtr;
    GObjectPtr<AtspiAccessible> desktop(atspi_get_desktop(0));
    if (desktop == nullptr)
        return std::nullopt;
    GErrorSlot countError;
    const gint count = atspi_accessible_get_child_count(desktop.get(), countError.out());
    for (gint i = 0; i < count; ++i) {
        GErrorSlot error;
        GObjectPtr<AtspiAccessible> app(
            atspi_accessible_get_child_at_index(desktop.get(), i, error.out()));
        if (error.failed() || app == nullptr)
            continue;
        GErrorSlot nameError;
        const auto appName =
            linux_desktop::takeString(atspi_accessible_get_name(app.get(), nameError.out()));
        if (appName != name)
            continue;
        GErrorSlot pidError;
        const gint pid = atspi_accessible_get_process_id(app.get(), pidError.out());
        if (!pidError.failed() && pid > 0)
            return static_cast<Pid>(pid);
    }
    return std::nullopt;
}

}  // namespace

RunningApplication::~RunningApplication() {
    // The process the bus named may be a child of the one started.
    if (pid_ > 0 && (process_ == nullptr || pid_ != process_->processId()))
        ::kill(pid_, SIGTERM);
    if (process_ != nullptr && process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(3000)) {
            process_->kill();
            process_->waitForFinished(3000);
        }
    }
    if (pid_ > 0 && (process_ == nullptr || pid_ != process_->processId()))
        waitUntil([this] { return ::kill(pid_, 0) != 0; }, 3);
    if (pid_ > 0 && ::kill(pid_, 0) == 0)
        ::kill(pid_, SIGKILL);
}

std::unique_ptr<RunningApplication> RunningApplication::start(
    const QString& program, QStringList arguments, std::string busName,
    const QProcessEnvironment& extra,
    const std::function<void(const QString&, QStringList&)>& prepare) {
    auto app = std::unique_ptr<RunningApplication>(new RunningApplication);
    app->busName_ = std::move(busName);
    if (!app->folder_.isValid()) {
        app->failure_ = "no temporary folder";
        return app;
    }
    if (prepare)
        prepare(app->folder_.path(), arguments);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", app->folder_.path());
    env.insert("XDG_CONFIG_HOME", app->folder_.path() + "/config");
    env.insert("XDG_DATA_HOME", app->folder_.path() + "/data");
    env.insert("XDG_CACHE_HOME", app->folder_.path() + "/cache");
    env.insert("GDK_BACKEND", "x11");
    env.insert("GSK_RENDERER", "cairo");
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    env.insert("NO_AT_BRIDGE", "0");
    env.insert(extra);
    app->process_ = std::make_unique<QProcess>();
    app->process_->setProcessEnvironment(env);
    app->process_->setWorkingDirectory(app->folder_.path());
    app->process_->setStandardOutputFile(QProcess::nullDevice());
    app->process_->setStandardErrorFile(QProcess::nullDevice());
    app->process_->start(program, arguments);
    if (!app->process_->waitForStarted(10000))
        app->failure_ = program.toStdString() + " did not start";
    return app;
}

Pid RunningApplication::pid() {
    if (pid_ > 0 && ::kill(pid_, 0) != 0 && errno == ESRCH)
        pid_ = 0;
    // Asked again on every call until the restarted process has joined: a
    // restart slower than one wait must not leave the application without
    // a process for the rest of the run.
    if (pid_ == 0)
        if (const auto found = pidOnBus(busName_))
            pid_ = *found;
    return pid_;
}

bool RunningApplication::joined(double seconds) {
    if (pid_ > 0)
        return true;
    waitUntil(
        [this] {
            if (auto pid = pidOnBus(busName_))
                pid_ = *pid;
            return pid_ > 0;
        },
        seconds);
    if (pid_ == 0 && failure_.empty())
        failure_ = busName_ + " never joined the accessibility bus";
    return pid_ > 0;
}

bool pressChord(DesktopSession& session, const std::vector<unsigned long>& keysyms) {
    Display* d = session.desktop().x11().display();
    std::vector<KeyCode> codes;
    for (unsigned long keysym : keysyms) {
        const KeyCode code = XKeysymToKeycode(d, keysym);
        if (code == 0)
            return false;
        codes.push_back(code);
    }
    bool ok = true;
    for (KeyCode code : codes)
        ok = XTestFakeKeyEvent(d, code, True, CurrentTime) != 0 && ok;
    for (auto it = codes.rbegin(); it != codes.rend(); ++it)
        ok = XTestFakeKeyEvent(d, *it, False, CurrentTime) != 0 && ok;
    XSync(d, False);
    return ok;
}

std::optional<InkRows> inkRows(DesktopSession& session, const Rect& box, double margin) {
    auto& x11 = session.desktop().x11();
    Display* d = x11.display();
    XWindowAttributes root;
    XGetWindowAttributes(d, x11.rootWindow(), &root);
    const int left = std::clamp(static_cast<int>(std::lround(box.x)), 0, root.width - 1);
    const int right = std::clamp(static_cast<int>(std::lround(box.maxX())), left + 1, root.width);
    const int top = std::clamp(static_cast<int>(std::lround(box.y - margin)), 0, root.height - 1);
    const int bottom =
        std::clamp(static_cast<int>(std::lround(box.maxY() + margin)), top + 1, root.height);
    XImage* image = XGetImage(d, x11.rootWindow(), left, top, static_cast<unsigned>(right - left),
                              static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
    if (image == nullptr)
        return std::nullopt;
    std::optional<InkRows> ink;
    for (int y = 0; y < bottom - top; ++y) {
        for (int x = 0; x < right - left; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            const double luminance = 0.299 * ((pixel >> 16) & 0xFF) +
                                     0.587 * ((pixel >> 8) & 0xFF) + 0.114 * (pixel & 0xFF);
            if (luminance >= 110)
                continue;
            const double row = top + y;
            if (!ink)
                ink = InkRows{row, row + 1};
            ink->top = std::min(ink->top, row);
            ink->bottom = std::max(ink->bottom, row + 1);
            break;
        }
    }
    XDestroyImage(image);
    return ink;
}

}  // namespace mivo::desktop_test
