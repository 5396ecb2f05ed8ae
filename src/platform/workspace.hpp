#pragma once

// The running applications as the user sees them: which one is in front,
// bringing one to the front, and opening links.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/accessibility.hpp"
#include "platform/cancel.hpp"

namespace mivo {

struct RunningApplication {
    Pid pid = 0;
    std::optional<std::string> localizedName;
    std::optional<std::string> bundleIdentifier;
    bool operator==(const RunningApplication&) const = default;
};

class Workspace {
  public:
    virtual ~Workspace() = default;

    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    virtual std::optional<RunningApplication> runningApplication(Pid pid) = 0;
    // Every running application with a window, each process once, with the
    // identifier the surface classes use (desktop-file id or window class);
    // the application of the most recently used window first.
    virtual std::vector<RunningApplication> runningApplications() = 0;
    // Brings the application to the front ignoring other applications;
    // answers whether the request was accepted.
    virtual bool activate(Pid pid) = 0;
    virtual bool openURL(std::string_view url) = 0;

    // Called on the main loop after an application became active; the
    // notification may not say which one.
    using ActivationHandler = std::function<void(const std::optional<RunningApplication>&)>;
    virtual Cancel observeActivation(ActivationHandler handler) = 0;
};

}  // namespace mivo
