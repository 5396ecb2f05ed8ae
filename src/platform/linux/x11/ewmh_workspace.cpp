#include "platform/linux/x11/ewmh_workspace.hpp"

// Qt before Xlib: Xlib's macros (None, Bool, Status) break Qt's headers.
#include "platform/linux/x11/x11_connection.hpp"
#include "platform/linux/x11/x11_properties.hpp"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>

namespace mivo::linux_desktop {
namespace {

bool processExists(Pid pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    return stat.good();
}

std::optional<std::string> processName(Pid pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    if (!std::getline(comm, name) || name.empty())
        return std::nullopt;
    return name;
}

}  // namespace

Point contentOrigin(Point windowOrigin, Size windowSize,
                    const std::vector<unsigned long>& frameExtents,
                    std::optional<Size> contentSize) {
    constexpr double kImplausible = 256;
    // left, right, top, bottom, when the toolkit says so.
    if (frameExtents.size() == 4) {
        const double left = static_cast<double>(frameExtents[0]);
        const double top = static_cast<double>(frameExtents[2]);
        if (left > kImplausible || top > kImplausible)
            return windowOrigin;
        return Point{windowOrigin.x + left, windowOrigin.y + top};
    }
    // Without a compositor GTK 4 does not say, but keeps an even margin for
    // its resize handles: the X window is larger than what it shows by
    // twice the margin.
    if (!contentSize)
        return windowOrigin;
    const double dx = (windowSize.width - contentSize->width) / 2;
    const double dy = (windowSize.height - contentSize->height) / 2;
    if (dx < 0 || dy < 0 || dx > kImplausible || dy > kImplausible)
        return windowOrigin;
    return Point{windowOrigin.x + std::floor(dx), windowOrigin.y + std::floor(dy)};
}

EwmhWorkspace::EwmhWorkspace(X11Connection& x11, Scheduler& scheduler, Log& log)
    : x11_(x11), scheduler_(scheduler), log_(log) {
    Display* d = x11_.display();
    XWindowAttributes attributes;
    XGetWindowAttributes(d, x11_.rootWindow(), &attributes);
    // Add to whatever else selected on the root window through this
    // connection.
    XSelectInput(d, x11_.rootWindow(), attributes.your_event_mask | PropertyChangeMask);
    XFlush(d);
    const Atom activeAtom = x11_.atom("_NET_ACTIVE_WINDOW");
    listening_ = x11_.listen([this, activeAtom](XEvent& e) {
        if (e.type == PropertyNotify && e.xproperty.window == x11_.rootWindow() &&
            e.xproperty.atom == activeAtom)
            activeWindowChanged();
    });
    if (auto front = frontmostApplication())
        lastFrontPid_ = front->pid;
}

EwmhWorkspace::~EwmhWorkspace() {
    listening_.cancel();
}

std::optional<unsigned long> EwmhWorkspace::activeWindow() {
    auto items = cardinalProperty(x11_.display(), x11_.rootWindow(),
                                  x11_.atom("_NET_ACTIVE_WINDOW"), XA_WINDOW);
    if (!items || items->empty() || items->front() == None)
        return std::nullopt;
    return items->front();
}

std::optional<Pid> EwmhWorkspace::windowPid(unsigned long window) {
    auto items = cardinalProperty(x11_.display(), window, x11_.atom("_NET_WM_PID"), XA_CARDINAL);
    if (!items || items->empty() || items->front() == 0)
        return std::nullopt;
    return static_cast<Pid>(items->front());
}

std::vector<unsigned long> EwmhWorkspace::clientWindows() {
    // Bottom to top, so the last of a process's windows is its front one.
    auto items = cardinalProperty(x11_.display(), x11_.rootWindow(),
                                  x11_.atom("_NET_CLIENT_LIST_STACKING"), XA_WINDOW);
    if (!items)
        items = cardinalProperty(x11_.display(), x11_.rootWindow(), x11_.atom("_NET_CLIENT_LIST"),
                                 XA_WINDOW);
    return items.value_or(std::vector<unsigned long>{});
}

std::optional<unsigned long> EwmhWorkspace::windowOf(Pid pid) {
    std::optional<unsigned long> found;
    for (unsigned long w : clientWindows()) {
        if (windowPid(w) == pid)
            found = w;
    }
    return found;
}

std::optional<Rect> EwmhWorkspace::windowFrame(Pid pid) {
    std::optional<unsigned long> window = activeWindow();
    if (!window || windowPid(*window) != pid)
        window = windowOf(pid);
    if (!window)
        return std::nullopt;
    Display* d = x11_.display();
    int x = 0;
    int y = 0;
    Window child = None;
    if (!XTranslateCoordinates(d, *window, x11_.rootWindow(), 0, 0, &x, &y, &child))
        return std::nullopt;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(d, *window, &attributes) == 0)
        return std::nullopt;
    return Rect{static_cast<double>(x), static_cast<double>(y),
                static_cast<double>(attributes.width), static_cast<double>(attributes.height)};
}

std::optional<Point> EwmhWorkspace::windowOrigin(Pid pid, std::optional<Size> contentSize) {
    std::optional<unsigned long> window = activeWindow();
    if (!window || windowPid(*window) != pid)
        window = windowOf(pid);
    const auto frame = windowFrame(pid);
    if (!window || !frame)
        return std::nullopt;
    // A window that draws its own decoration (GTK's client-side one) keeps
    // a margin for shadows and resize handles around what it shows; its
    // window coordinates start inside that margin.
    const auto margin =
        cardinalProperty(x11_.display(), *window, x11_.atom("_GTK_FRAME_EXTENTS"), XA_CARDINAL);
    return contentOrigin(Point{frame->x, frame->y}, Size{frame->width, frame->height},
                         margin.value_or(std::vector<unsigned long>{}), contentSize);
}

std::optional<std::string> EwmhWorkspace::activeWindowTitle(Pid pid) {
    const auto window = activeWindow();
    if (!window || windowPid(*window) != pid)
        return std::nullopt;
    if (auto name = stringProperty(x11_.display(), *window, x11_.atom("_NET_WM_NAME"),
                                   x11_.atom("UTF8_STRING")))
        return name;
    return stringProperty(x11_.display(), *window, XA_WM_NAME, XA_STRING);
}

RunningApplication EwmhWorkspace::describe(Pid pid, std::optional<unsigned long> window) {
    RunningApplication app;
    app.pid = pid;
    if (window) {
        Display* d = x11_.display();
        XClassHint hint{nullptr, nullptr};
        if (XGetClassHint(d, *window, &hint) != 0) {
            std::unique_ptr<char, XFreeDeleter> name(hint.res_name);
            std::unique_ptr<char, XFreeDeleter> cls(hint.res_class);
            if (cls != nullptr && *cls != '\0') {
                app.localizedName = std::string(cls.get());
                app.bundleIdentifier = std::string(cls.get());
            }
        }
        // The desktop-file id, where the toolkit tells it, names the
        // application better than its window class.
        const Atom utf8 = x11_.atom("UTF8_STRING");
        for (const char* property : {"_GTK_APPLICATION_ID", "_KDE_NET_WM_DESKTOP_FILE"}) {
            if (auto id = stringProperty(d, *window, x11_.atom(property), utf8);
                id && !id->empty()) {
                app.bundleIdentifier = *id;
                break;
            }
        }
    }
    if (!app.localizedName)
        app.localizedName = processName(pid);
    return app;
}

std::optional<RunningApplication> EwmhWorkspace::frontmostApplication() {
    const auto window = activeWindow();
    if (!window)
        return std::nullopt;
    const auto pid = windowPid(*window);
    if (!pid)
        return std::nullopt;
    return describe(*pid, window);
}

std::optional<RunningApplication> EwmhWorkspace::runningApplication(Pid pid) {
    if (pid <= 0 || !processExists(pid))
        return std::nullopt;
    return describe(pid, windowOf(pid));
}

std::vector<RunningApplication> EwmhWorkspace::runningApplications() {
    // Any listed window may close while it is read.
    const XErrorTrap trap(x11_.display());
    std::vector<RunningApplication> running;
    std::vector<Pid> seen;
    // The stacking list runs bottom to top (the plain one oldest first):
    // walking it from the end meets each process at its front window.
    const std::vector<unsigned long> windows = clientWindows();
    for (auto w = windows.rbegin(); w != windows.rend(); ++w) {
        const auto pid = windowPid(*w);
        if (!pid || std::ranges::find(seen, *pid) != seen.end())
            continue;
        seen.push_back(*pid);
        // A window can outlive its process for a moment, or name a process
        // of another machine.
        if (!processExists(*pid))
            continue;
        running.push_back(describe(*pid, *w));
    }
    return running;
}

bool EwmhWorkspace::activate(Pid pid) {
    const auto window = windowOf(pid);
    if (!window)
        return false;
    Display* d = x11_.display();
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = *window;
    message.xclient.message_type = x11_.atom("_NET_ACTIVE_WINDOW");
    message.xclient.format = 32;
    // Source 2: a pager, which window managers obey without the focus
    // stealing prevention they apply to applications.
    message.xclient.data.l[0] = 2;
    message.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(d, x11_.rootWindow(), False,
                                   SubstructureRedirectMask | SubstructureNotifyMask, &message);
    XFlush(d);
    return sent != 0;
}

bool EwmhWorkspace::openURL(std::string_view url) {
    const bool started = QProcess::startDetached(
        "xdg-open", QStringList{QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size()))});
    if (!started)
        log_.write("[Mivo] workspace: xdg-open could not be started");
    return started;
}

Cancel EwmhWorkspace::observeActivation(ActivationHandler handler) {
    auto shared = std::make_shared<ActivationHandler>(std::move(handler));
    handlers_->push_back(shared);
    return Cancel([list = std::weak_ptr(handlers_), weak = std::weak_ptr(shared)] {
        auto handlers = list.lock();
        if (auto h = weak.lock(); h && handlers)
            std::erase(*handlers, h);
    });
}

void EwmhWorkspace::activeWindowChanged() {
    const auto front = frontmostApplication();
    const std::optional<Pid> pid = front ? std::optional(front->pid) : std::nullopt;
    // A window of the same application, or no window at all, is no
    // activation of an application.
    if (!pid || pid == lastFrontPid_)
        return;
    lastFrontPid_ = pid;
    for (const auto& h : *handlers_) {
        scheduler_.after(0, [weak = std::weak_ptr(h), front] {
            if (auto handler = weak.lock())
                (*handler)(front);
        });
    }
}

}  // namespace mivo::linux_desktop
