#pragma once

// Every port over the real desktop of an X11 session: the Qt event loop,
// AT-SPI 2, XTest and XInput 2, EWMH, and Qt's screens and clipboard. Made
// once by the composition root after its QGuiApplication (or QApplication)
// exists, on the main thread.

#include <memory>

#include "platform/ax_call_counter.hpp"
#include "platform/desktop.hpp"
#include "platform/linux/atspi/atspi_accessibility.hpp"
#include "platform/linux/qt/qt_pasteboard.hpp"
#include "platform/linux/qt/qt_scheduler.hpp"
#include "platform/linux/qt/qt_screens.hpp"
#include "platform/linux/x11/ewmh_workspace.hpp"
#include "platform/linux/x11/x11_connection.hpp"
#include "platform/linux/x11/xtest_input.hpp"

namespace mivo::linux_desktop {

class LinuxDesktop {
  public:
    // Nothing, with a log line, when there is no Qt application of the xcb
    // platform or no X display. A missing accessibility bus is no refusal
    // here: the trust check answers false and says why.
    static std::unique_ptr<LinuxDesktop> create(Log& log);
    ~LinuxDesktop();

    Desktop ports();
    QtScheduler& scheduler() { return scheduler_; }
    AtspiAccessibility& accessibility() { return *accessibility_; }
    // Every call the services made through the accessibility port, by kind.
    const AXCallCounter& accessibilityCalls() const { return counted_->calls(); }
    EwmhWorkspace& workspace() { return *workspace_; }
    XTestInput& input() { return *input_; }
    QtScreens& screens() { return screens_; }
    QtPasteboard& pasteboard() { return pasteboard_; }
    X11Connection& x11() { return *x11_; }

  private:
    LinuxDesktop(Log& log, std::unique_ptr<X11Connection> x11);

    Log& log_;
    std::unique_ptr<X11Connection> x11_;
    QtScheduler scheduler_;
    QtScreens screens_;
    QtPasteboard pasteboard_;
    std::unique_ptr<AtspiAccessibility> accessibility_;
    // What ports() hands out: the same port, counted.
    std::unique_ptr<CountingAccessibility> counted_;
    // With MIVO_AX_CALL_COUNTS naming a file, the counts are written there
    // once a second (for the bench).
    void startWritingCallCounts();
    Cancel callCountWriter_;
    std::unique_ptr<EwmhWorkspace> workspace_;
    std::unique_ptr<XTestInput> input_;
};

}  // namespace mivo::linux_desktop
