#pragma once

// The workspace over the window manager's EWMH properties: the active
// window (_NET_ACTIVE_WINDOW) and its process (_NET_WM_PID) give the
// frontmost application; activation is the _NET_ACTIVE_WINDOW client
// message; a change of the root window's active-window property that brings
// another process to the front is an activation notification. Links open
// through xdg-open.

#include <memory>
#include <optional>
#include <vector>

#include "platform/geometry.hpp"
#include "platform/log.hpp"
#include "platform/scheduler.hpp"
#include "platform/workspace.hpp"

namespace mivo::linux_desktop {

class X11Connection;

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

    // Root coordinates of the top-left corner of the process's active
    // window, else of its front one.
    std::optional<Point> windowOrigin(Pid pid);

    // The window manager's active window, whoever owns it.
    std::optional<unsigned long> activeWindow();

  private:
    struct WindowInfo;
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
