#pragma once

// An updater that never checks, for the suites about the settings window's
// frame and its shortcut card.

#include "settings/update_preferences.hpp"

namespace mivo::desktop_test {

class IdleUpdates : public UpdatePreferences {
  public:
    bool automaticallyChecksForUpdates() const override { return false; }
    void setAutomaticallyChecksForUpdates(bool) override {}
    bool canCheckForUpdates() const override { return false; }
    std::optional<Date> lastUpdateCheckDate() const override { return std::nullopt; }
    void checkForUpdates() override {}
    bool hasUpdateFeed() const override { return false; }
    InstallKind installKind() const override { return InstallKind::package; }
};

}  // namespace mivo::desktop_test
