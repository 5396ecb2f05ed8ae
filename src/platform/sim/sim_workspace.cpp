#include "platform/sim/sim_workspace.hpp"

#include <algorithm>

#include "platform/sim/sim_desktop.hpp"

namespace mivo::sim {

std::optional<RunningApplication> SimWorkspace::frontmostApplication() {
    return desktop_.runningApplication(desktop_.frontmost_);
}

std::optional<RunningApplication> SimWorkspace::runningApplication(Pid pid) {
    return desktop_.runningApplication(pid);
}

std::vector<RunningApplication> SimWorkspace::runningApplications() {
    std::vector<RunningApplication> running;
    for (const Pid pid : desktop_.launchOrder_) {
        if (auto app = desktop_.runningApplication(pid))
            running.push_back(std::move(*app));
    }
    return running;
}

bool SimWorkspace::activate(Pid pid) {
    if (!desktop_.runningApplication(pid))
        return false;
    desktop_.activateApplication(pid);
    return true;
}

bool SimWorkspace::openURL(std::string_view /*url*/) {
    return true;
}

Cancel SimWorkspace::observeActivation(ActivationHandler handler) {
    auto shared = std::make_shared<ActivationHandler>(std::move(handler));
    observers_->push_back(shared);
    return Cancel([list = std::weak_ptr(observers_), weak = std::weak_ptr(shared)] {
        auto handlers = list.lock();
        if (auto h = weak.lock(); handlers && h)
            std::erase(*handlers, h);
    });
}

void SimWorkspace::deliverActivation(const std::optional<RunningApplication>& app) {
    for (const auto& h : *observers_) {
        desktop_.clock().after(0, [weak = std::weak_ptr(h), app] {
            if (auto handler = weak.lock())
                (*handler)(app);
        });
    }
}

std::size_t SimWorkspace::observerCount() const {
    return observers_->size();
}

}  // namespace mivo::sim
