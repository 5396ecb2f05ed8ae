#pragma once

// The workspace over the window manager's EWMH properties: the active
// window (_NET_ACTIVE_WINDOW) and its process (_NET_WM_PID) give the
// frontmost application; activation is the _NET_ACTIVE_WINDOW client
// message; a change of the root window's active-window property that brings
// another process to the front is an activation notification. Links open
// through xdg-open.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.hpp"
#include "platform/log.hpp"
#include "platform/scheduler.hpp"
#include "platform/workspace.hpp"

namespace mivo::linux_desktop {

class X11Connection;

// Where a window's own coordinates start on the root: its X origin moved in
// by the margin of a client-side decoration. The margin is the window's
// _GTK_FRAME_EXTENTS (left, right, top, bottom) when it has them, else half
// of what the X window is larger than the content the toolkit reports
// (`contentSize`), else none.
Point contentOrigin(Point windowOrigin, Size windowSize,
                    const std::vector<unsigned long>& frameExtents,
                    std::optional<Size> contentSize);

class EwmhWorkspace : public Workspace {
  public:
    EwmhWorkspace(X11Connection& x11, Scheduler& scheduler, Log& log);
    ~EwmhWorkspace() override;

    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<RunningApplication> runningApplication(Pid pid) override;
    // From the window manager's client list: one entry per process that
    // owns a window with _NET_WM_PID, named by its front window.
    std::vector<RunningApplication> runningApplications() override;
    bool activate(Pid pid) override;
    bool openURL(std::string_view url) override;
    Cancel observeActivation(ActivationHandler handler) override;

    // Root coordinates of the top-left corner of what the process's active
    // window (else its front one) shows, inside any client-side
    // decoration's margin.
    // `contentSize` is the size the toolkit gives that window, if known.
    std::optional<Point> windowOrigin(Pid pid, std::optional<Size> contentSize = {});
    // Root rectangle of the process's active window (else its front one).
    std::optional<Rect> windowFrame(Pid pid);
    // The title of the active window, when it is the process's.
    std::optional<std::string> activeWindowTitle(Pid pid);

    // The window manager's active window, whoever owns it.
    std::optional<unsigned long> activeWindow();

  private:
    std::optional<Pid> windowPid(unsigned long window);
    std::vector<unsigned long> clientWindows();
    std::optional<unsigned long> windowOf(Pid pid);
    RunningApplication describe(Pid pid, std::optional<unsigned long> window);
    void activeWindowChanged();

    X11Connection& x11_;
    Scheduler& scheduler_;
    Log& log_;
    Cancel listening_;
    std::optional<Pid> lastFrontPid_;
    // Shared with the cancel handles, which may outlive the workspace.
    std::shared_ptr<std::vector<std::shared_ptr<ActivationHandler>>> handlers_ =
        std::make_shared<std::vector<std::shared_ptr<ActivationHandler>>>();
};

}  // namespace mivo::linux_desktop
