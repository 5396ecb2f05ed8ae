#pragma once

// The workspace port over the simulated applications.

#include <memory>
#include <vector>

#include "platform/workspace.hpp"

namespace mivo::sim {

class SimDesktop;

class SimWorkspace : public Workspace {
  public:
    explicit SimWorkspace(SimDesktop& desktop) : desktop_(desktop) {}

    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<RunningApplication> runningApplication(Pid pid) override;
    // In the order the applications were added.
    std::vector<RunningApplication> runningApplications() override;
    bool activate(Pid pid) override;
    bool openURL(std::string_view url) override;
    Cancel observeActivation(ActivationHandler handler) override;

    void deliverActivation(const std::optional<RunningApplication>& app);
    std::size_t observerCount() const;

  private:
    SimDesktop& desktop_;
    using Handlers = std::vector<std::shared_ptr<ActivationHandler>>;
    // Shared with the cancel handles, which may outlive the desktop.
    std::shared_ptr<Handlers> observers_ = std::make_shared<Handlers>();
};

}  // namespace mivo::sim
