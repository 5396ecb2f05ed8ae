#pragma once

// An updater the tests drive: a check starts, runs and ends when the test
// says so, and each step reports as a real updater would.

#include "settings/update_preferences.hpp"

namespace mivo::testing {

class FakeUpdatePreferences : public UpdatePreferences {
  public:
    bool automaticallyChecksForUpdates() const override { return automatic_; }
    void setAutomaticallyChecksForUpdates(bool enabled) override {
        automatic_ = enabled;
        notifyChanged();
    }
    bool canCheckForUpdates() const override { return !checking_ && available_; }
    std::optional<Date> lastUpdateCheckDate() const override { return last_; }
    void checkForUpdates() override {
        ++checksStarted;
        checking_ = true;
        notifyChanged();
    }

    bool hasUpdateFeed() const override { return feed_; }
    void setHasUpdateFeed(bool feed) {
        feed_ = feed;
        notifyChanged();
    }

    InstallKind installKind() const override { return kind_; }
    void setInstallKind(InstallKind kind) {
        kind_ = kind;
        notifyChanged();
    }

    // The running check ends at `when`.
    void finishCheck(Date when) {
        checking_ = false;
        last_ = when;
        notifyChanged();
    }
    // No check possible at all (no feed configured).
    void setAvailable(bool available) {
        available_ = available;
        notifyChanged();
    }

    int checksStarted = 0;

  private:
    bool automatic_ = true;
    bool checking_ = false;
    bool available_ = true;
    bool feed_ = true;
    InstallKind kind_ = InstallKind::package;
    std::optional<Date> last_;
};

}  // namespace mivo::testing
