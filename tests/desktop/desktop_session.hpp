#pragma once

// The real desktop the desktop tests run in: the X server and session bus
// that scripts/test.sh provides (xvfb-run, dbus-run-session), plus what this
// process starts itself as child processes: the accessibility bus launcher,
// a window manager and instances of our GTK test editor. Everything started
// here is stopped and reaped at the end.

#include <QProcess>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/linux_desktop.hpp"
#include "platform/sim/captured_log.hpp"

namespace mivo::desktop_test {

// Runs the Qt loop (which also dispatches libatspi's and X's events) until
// `done` holds or `seconds` have passed; answers `done()`. The one place in
// the tests where real time passes.
bool waitUntil(const std::function<bool()>& done, double seconds = 5.0);
// Runs the loop for a fixed span, for settling after input.
void spinFor(double seconds);

// The window manager the session runs: openbox, or the one named in
// MIVO_TEST_WINDOW_MANAGER (xfwm4).
std::string windowManagerName();

// One running test editor.
class TestEditor {
  public:
    ~TestEditor();
    Pid pid() const;
    bool running() const;
    void kill();

  private:
    friend class DesktopSession;
    std::unique_ptr<QProcess> process_;
};

// Our test editors, one per toolkit, with the same fields.
enum class EditorKind { gtk3, gtk4, qt6 };
std::string_view editorKindName(EditorKind kind);

struct EditorOptions {
    std::string title = "Mivo test editor";
    std::string entryText = {};
    std::string viewText = {};
    // A password field is added only when given.
    std::optional<std::string> password = {};
    // The editor stays busy this long before it handles a paste.
    int slowPasteMs = 0;
    // Our GTK 3 editor keeps an undo history as GtkSourceView editors do
    // (the GTK 4 and Qt editors always keep theirs).
    bool undo = false;
    EditorKind kind = EditorKind::gtk3;
};

class DesktopSession {
  public:
    // The session of this test process, started on first use; nothing when
    // the environment has no X display or session bus (the reason in
    // `unavailableReason()`).
    static DesktopSession* instance();
    static const std::string& unavailableReason();
    static void shutDown();

    linux_desktop::LinuxDesktop& desktop() { return *desktop_; }
    Desktop ports() { return desktop_->ports(); }
    sim::CapturedLog& log() { return log_; }

    // Starts an editor and waits until it is the frontmost application and
    // its text view has the keyboard focus as AT-SPI sees it.
    std::unique_ptr<TestEditor> startEditor(const EditorOptions& options = {});
    // Why the last editor did not come up.
    const std::string& lastStartFailure() const { return lastStartFailure_; }

    // The focused element of the application, read through the backend.
    std::optional<AXElement> focusedElement(Pid pid);
    // The application's elements of a role, in tree order.
    std::vector<AXElement> elementsWithRole(Pid pid, std::string_view role);

  private:
    DesktopSession() = default;
    bool start(std::string& reason);
    void stop();

    sim::CapturedLog log_;
    std::string lastStartFailure_;
    std::unique_ptr<QProcess> busLauncher_;
    std::unique_ptr<QProcess> windowManager_;
    std::unique_ptr<linux_desktop::LinuxDesktop> desktop_;
};

}  // namespace mivo::desktop_test
