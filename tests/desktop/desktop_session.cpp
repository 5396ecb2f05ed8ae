#include "desktop_session.hpp"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTimer>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <array>
#include <cstdlib>

#include "platform/ax_reads.hpp"
#include "platform/linux/x11/x11_properties.hpp"

namespace mivo::desktop_test {
namespace {

std::unique_ptr<DesktopSession> gSession;
std::string gReason;
bool gTried = false;

void stopProcess(std::unique_ptr<QProcess>& process) {
    if (process == nullptr)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(2000)) {
            process->kill();
            process->waitForFinished(2000);
        }
    }
    process.reset();
}

// The running window manager is `manager` (its check window carries the
// name, in any case): the one a previous suite ran may still be leaving.
bool windowManagerAnswers(linux_desktop::X11Connection& x11, const std::string& manager) {
    Display* d = x11.display();
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status =
        XGetWindowProperty(d, x11.rootWindow(), x11.atom("_NET_SUPPORTING_WM_CHECK"), 0, 1, False,
                           XA_WINDOW, &type, &format, &count, &remaining, &data);
    bool present = status == Success && type == XA_WINDOW && count == 1;
    Window check = present ? *reinterpret_cast<Window*>(data) : None;
    if (data != nullptr)
        XFree(data);
    // A window manager that quit leaves the property behind: its check
    // window must still exist.
    if (!present)
        return false;
    XSync(d, False);
    auto* previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    XWindowAttributes attributes;
    present = XGetWindowAttributes(d, check, &attributes) != 0;
    const std::string name = present
                                 ? linux_desktop::stringProperty(d, check, x11.atom("_NET_WM_NAME"),
                                                                 x11.atom("UTF8_STRING"))
                                       .value_or("")
                                 : "";
    XSync(d, False);
    XSetErrorHandler(previous);
    return present && QString::fromStdString(name).compare(QString::fromStdString(manager),
                                                           Qt::CaseInsensitive) == 0;
}

// The window that `_NET_ACTIVE_WINDOW` names, or None.
Window activeWindow(linux_desktop::X11Connection& x11) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    Window active = None;
    if (XGetWindowProperty(x11.display(), x11.rootWindow(), x11.atom("_NET_ACTIVE_WINDOW"), 0, 1,
                           False, XA_WINDOW, &type, &format, &count, &remaining,
                           &data) == Success &&
        type == XA_WINDOW && count == 1)
        active = *reinterpret_cast<Window*>(data);
    if (data != nullptr)
        XFree(data);
    return active;
}

// A window of ours, mapped now, is framed by the window manager within
// `seconds`; an empty string, or what it never did.
std::string frameAndActivate(linux_desktop::X11Connection& x11, double seconds) {
    Display* d = x11.display();
    const Window root = x11.rootWindow();
    const Window probe = XCreateSimpleWindow(d, root, 0, 0, 16, 16, 0, 0, 0);
    XStoreName(d, probe, "mivo-window-manager-probe");
    XMapWindow(d, probe);
    XFlush(d);
    const auto framed = [&] {
        Window rootOut = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        const bool known = XQueryTree(d, probe, &rootOut, &parent, &children, &count) != 0;
        if (children != nullptr)
            XFree(children);
        return known && parent != root;
    };
    const auto activated = [&] {
        XEvent message{};
        message.xclient.type = ClientMessage;
        message.xclient.window = probe;
        message.xclient.message_type = x11.atom("_NET_ACTIVE_WINDOW");
        message.xclient.format = 32;
        message.xclient.data.l[0] = 2;
        message.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &message);
        XFlush(d);
        return waitUntil([&] { return activeWindow(x11) == probe; }, 0.5);
    };
    std::string missed;
    if (!waitUntil(framed, seconds))
        missed = "framed";
    else if (!waitUntil(activated, 5))
        missed = "activated";
    XDestroyWindow(d, probe);
    XSync(d, False);
    return missed;
}

// The window manager has done starting, not merely claimed the screen: a
// new window is framed, and activated when a pager asks. Openbox and xfwm4
// put up their check window before they take over the windows that map,
// and a window mapped in between stays unmanaged for good: never framed,
// never in _NET_ACTIVE_WINDOW, deaf to activation (seen with openbox for a
// window mapped 30 ms after the check window, three times in three). The
// first application of a suite must not be that window, so windows of ours
// go first, a fresh one each half second, until one is framed.
std::string windowManagerMisses(linux_desktop::X11Connection& x11) {
    QDeadlineTimer deadline(10000);
    std::string missed;
    do {
        missed = frameAndActivate(x11, 0.5);
    } while (missed == "framed" && !deadline.hasExpired());
    return missed;
}

void collect(Accessibility& ax, const AXElement& element, std::string_view role, int depth,
             std::vector<AXElement>& out) {
    if (depth > 12)
        return;
    for (const auto& child :
         readElements(ax, element, kAXChildrenAttribute).value_or(std::vector<AXElement>{})) {
        if (readString(ax, child, kAXRoleAttribute) == role)
            out.push_back(child);
        collect(ax, child, role, depth + 1, out);
    }
}

// Indexed by EditorKind.
constexpr std::array<const char*, 3> kEditorPrograms{MIVO_TEST_EDITOR, MIVO_TEST_EDITOR_GTK4,
                                                     MIVO_TEST_EDITOR_QT};
constexpr std::array<std::string_view, 3> kEditorKindNames{"GTK3", "GTK4", "Qt6"};

const char* editorProgram(EditorKind kind) {
    return kEditorPrograms.at(static_cast<std::size_t>(kind));
}

}  // namespace

std::string windowManagerName() {
    const char* chosen = std::getenv("MIVO_TEST_WINDOW_MANAGER");
    return chosen != nullptr && *chosen != '\0' ? std::string(chosen) : std::string("openbox");
}

std::string_view editorKindName(EditorKind kind) {
    return kEditorKindNames.at(static_cast<std::size_t>(kind));
}

bool waitUntil(const std::function<bool()>& done, double seconds) {
    QDeadlineTimer deadline(static_cast<qint64>(seconds * 1000));
    while (!done()) {
        if (deadline.hasExpired())
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents();
        QEventLoop loop;
        // A short sleep on the loop itself, so timers and sockets are served.
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void spinFor(double seconds) {
    waitUntil([] { return false; }, seconds);
}

TestEditor::~TestEditor() {
    kill();
}

Pid TestEditor::pid() const {
    return process_ != nullptr ? static_cast<Pid>(process_->processId()) : 0;
}

bool TestEditor::running() const {
    return process_ != nullptr && process_->state() == QProcess::Running;
}

void TestEditor::kill() {
    stopProcess(process_);
}

DesktopSession* DesktopSession::instance() {
    if (!gTried) {
        gTried = true;
        auto session = std::unique_ptr<DesktopSession>(new DesktopSession);
        if (session->start(gReason))
            gSession = std::move(session);
        else
            session->stop();
    }
    return gSession.get();
}

const std::string& DesktopSession::unavailableReason() {
    return gReason;
}

void DesktopSession::shutDown() {
    if (gSession != nullptr)
        gSession->stop();
    gSession.reset();
}

bool DesktopSession::start(std::string& reason) {
    if (std::getenv("DISPLAY") == nullptr || QCoreApplication::instance() == nullptr) {
        reason = "no X display (run under xvfb-run, as scripts/test.sh does)";
        return false;
    }
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) {
        reason = "no session bus (run under dbus-run-session, as scripts/test.sh does)";
        return false;
    }
    // The desktop test executables run one after another in one session:
    // the previous one's launcher must have given up the bus's name, or
    // the new one would hand out the address of a bus about to go.
    const auto busNameTaken = [] {
        auto* bus = QDBusConnection::sessionBus().interface();
        return bus != nullptr && bus->isServiceRegistered("org.a11y.Bus").value();
    };
    if (!waitUntil([&] { return !busNameTaken(); }, 10)) {
        reason = "another accessibility bus launcher holds the session";
        return false;
    }
    busLauncher_ = std::make_unique<QProcess>();
    // The bus daemon and registry the launcher starts outlive it for a
    // moment; they must not hold the test runner's output open.
    busLauncher_->setStandardOutputFile(QProcess::nullDevice());
    busLauncher_->setStandardErrorFile(QProcess::nullDevice());
    busLauncher_->start(MIVO_AT_SPI_BUS_LAUNCHER, QStringList{"--launch-immediately"});
    if (!busLauncher_->waitForStarted(5000)) {
        reason = "the accessibility bus launcher did not start";
        return false;
    }
    desktop_ = linux_desktop::LinuxDesktop::create(log_);
    if (desktop_ == nullptr) {
        reason = "the Linux desktop refused to start: " +
                 (log_.lines().empty() ? std::string("?") : log_.lines().back());
        return false;
    }
    // Activation and the focus of a new window need a window manager:
    // openbox, or the one a suite names (focus is each one's own policy).
    const std::string manager = windowManagerName();
    QStringList arguments{"--replace"};
    if (manager == "openbox")
        arguments << "--sm-disable";
    else if (manager == "xfwm4")
        arguments << "--compositor=off";
    windowManager_ = std::make_unique<QProcess>();
    windowManager_->setStandardOutputFile(QProcess::nullDevice());
    windowManager_->setStandardErrorFile(QProcess::nullDevice());
    windowManager_->start(QString::fromStdString(manager), arguments);
    if (!windowManager_->waitForStarted(5000) ||
        !waitUntil([this, &manager] { return windowManagerAnswers(desktop_->x11(), manager); },
                   10)) {
        reason = manager + " did not start";
        return false;
    }
    if (const std::string missed = windowManagerMisses(desktop_->x11()); !missed.empty()) {
        reason = manager + " started but never " + missed + " a new window";
        return false;
    }
    // The launcher answers on the session bus a moment after it started.
    if (!waitUntil([this] { return desktop_->accessibility().isProcessTrustedWithPrompt(); }, 10)) {
        reason = "the accessibility bus did not come up";
        return false;
    }
    return true;
}

void DesktopSession::stop() {
    desktop_.reset();
    stopProcess(windowManager_);
    stopProcess(busLauncher_);
}

std::unique_ptr<TestEditor> DesktopSession::startEditor(const EditorOptions& options) {
    auto editor = std::make_unique<TestEditor>();
    editor->process_ = std::make_unique<QProcess>();
    QProcess& p = *editor->process_;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.setReadChannel(QProcess::StandardOutput);
    QStringList args{"--title", QString::fromStdString(options.title),
                     "--entry", QString::fromStdString(options.entryText),
                     "--text",  QString::fromStdString(options.viewText)};
    if (options.password)
        args << "--password" << QString::fromStdString(*options.password);
    if (options.slowPasteMs > 0)
        args << "--slow-paste" << QString::number(options.slowPasteMs);
    if (options.undo && options.kind == EditorKind::gtk3)
        args << "--undo"
             << "1";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // GTK 4 without a GPU: the software renderer starts fastest.
    env.insert("GSK_RENDERER", "cairo");
    env.insert("GDK_BACKEND", "x11");
    env.insert("QT_QPA_PLATFORM", "xcb");
    p.setProcessEnvironment(env);
    p.start(editorProgram(options.kind), args);
    if (!p.waitForStarted(5000))
        return nullptr;
    const bool ready =
        waitUntil([&p] { return p.canReadLine() && p.readLine().startsWith("ready"); }, 10);
    if (!ready) {
        lastStartFailure_ = "never said ready";
        return nullptr;
    }
    const Pid pid = editor->pid();
    auto& workspace = desktop_->workspace();
    // A window manager may leave a new window unfocused (xfwm4 now and then
    // does, with a window that mapped while it was starting): after a
    // moment the editor is asked for, as a user would click it.
    QDeadlineTimer unasked(2000);
    const bool settled = waitUntil(
        [&] {
            const auto front = workspace.frontmostApplication();
            if (!front || front->pid != pid) {
                lastStartFailure_ = "not in front";
                if (unasked.hasExpired()) {
                    workspace.activate(pid);
                    unasked.setRemainingTime(2000);
                }
                return false;
            }
            const auto focused = focusedElement(pid);
            const auto role =
                focused ? readString(desktop_->accessibility(), *focused, kAXRoleAttribute)
                        : std::nullopt;
            lastStartFailure_ = "focused element's role: " + role.value_or("<none>");
            return role == kAXTextAreaRole;
        },
        20);
    if (!settled)
        return nullptr;
    return editor;
}

std::optional<AXElement> DesktopSession::focusedElement(Pid pid) {
    auto& ax = desktop_->accessibility();
    return readElement(ax, ax.applicationElement(pid), kAXFocusedUIElementAttribute);
}

std::vector<AXElement> DesktopSession::elementsWithRole(Pid pid, std::string_view role) {
    auto& ax = desktop_->accessibility();
    std::vector<AXElement> out;
    collect(ax, ax.applicationElement(pid), role, 0, out);
    return out;
}

}  // namespace mivo::desktop_test
