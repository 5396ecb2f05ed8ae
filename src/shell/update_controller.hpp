#pragma once

// Mivo's own small updater: reads the update feed, tells the user when a
// newer version exists (with a link to its notes) and installs nothing —
// packages are updated by the system's package manager, a copy built from
// source by building it again. Automatic checks run
// once a day while the switch is on; only a user's check reports "up to
// date" and failures.

#include <functional>
#include <optional>
#include <string>

#include "platform/alerts.hpp"
#include "platform/cancel.hpp"
#include "platform/scheduler.hpp"
#include "platform/user_defaults.hpp"
#include "settings/update_preferences.hpp"

namespace mivo {

class UpdateController : public UpdatePreferences {
  public:
    static constexpr const char* automaticKey = "updates.automaticallyChecks";
    static constexpr const char* lastCheckKey = "updates.lastCheckDate";

    // Fetches `url` and answers its body, or nothing on any failure.
    using Fetch = std::function<void(const std::string& url,
                                     std::function<void(std::optional<std::string>)> done)>;

    struct Environment {
        Scheduler& scheduler;
        UserDefaults& defaults;
        Alerts& alerts;
        Fetch fetch;
        std::function<void(const std::string& url)> openURL;
        std::string currentVersion;
        std::optional<std::string> feedURL;  // MIVO_UPDATE_FEED_URL
        // Where new versions of this copy come from: what the user is told
        // to do about one.
        InstallKind installKind;
    };

    explicit UpdateController(Environment environment);
    ~UpdateController() override;

    // Starts the daily automatic checks (the first one a minute after start).
    void start();

    bool automaticallyChecksForUpdates() const override;
    void setAutomaticallyChecksForUpdates(bool enabled) override;
    bool canCheckForUpdates() const override { return !checking_; }
    std::optional<Date> lastUpdateCheckDate() const override;
    void checkForUpdates() override;
    bool hasUpdateFeed() const override { return env_.feedURL.has_value(); }
    InstallKind installKind() const override { return env_.installKind; }

  private:
    void check(bool userInitiated);
    void finish(bool userInitiated, const std::optional<std::string>& body);
    void scheduleAutomaticCheck(double delaySeconds);

    Environment env_;
    bool checking_ = false;
    Cancel automaticCheck_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace mivo
