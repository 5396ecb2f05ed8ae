#pragma once

// The updater as the settings window sees it. The composition root's
// updater implements it; nothing here reports a failure to the caller.

#include <chrono>
#include <functional>
#include <optional>

#include "settings/install_kind.hpp"

namespace mivo {

class UpdatePreferences {
  public:
    using Date = std::chrono::system_clock::time_point;

    virtual ~UpdatePreferences() = default;

    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool enabled) = 0;
    // Whether a check may start now (false while one is running).
    virtual bool canCheckForUpdates() const = 0;
    // Nothing when the updater has never checked.
    virtual std::optional<Date> lastUpdateCheckDate() const = 0;
    // Starts a user-initiated check with the updater's own dialogs.
    virtual void checkForUpdates() = 0;
    // False when no update feed is configured: there is nothing to check,
    // and automatic checks read as off.
    virtual bool hasUpdateFeed() const = 0;
    // How this copy was installed, which decides where its new versions
    // come from (the package manager, or building it again).
    virtual InstallKind installKind() const = 0;

    // The implementation calls this after any of the values above changed:
    // a check started or finished, the last check date moved, the automatic
    // switch flipped. Without it a window that is open while a check runs
    // would keep "Check Now" disabled and the old date forever. The settings
    // model installs it; the implementation only calls it.
    std::function<void()> onChanged;

  protected:
    void notifyChanged() {
        if (onChanged) {
            onChanged();
        }
    }
};

}  // namespace mivo
