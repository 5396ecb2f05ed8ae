#include "shell/update_controller.hpp"

#include <chrono>
#include <cmath>

#include "shell/update_feed.hpp"

namespace mivo {

namespace {
constexpr double firstAutomaticCheckDelay = 60;
constexpr double automaticCheckInterval = 24 * 60 * 60;
}  // namespace

UpdateController::UpdateController(Environment environment) : env_(std::move(environment)) {}

UpdateController::~UpdateController() {
    *alive_ = false;
    automaticCheck_.cancel();
}

void UpdateController::start() {
    if (env_.feedURL) {
        scheduleAutomaticCheck(firstAutomaticCheckDelay);
    }
}

void UpdateController::scheduleAutomaticCheck(double delaySeconds) {
    automaticCheck_.cancel();
    automaticCheck_ = env_.scheduler.after(delaySeconds, [this] {
        if (automaticallyChecksForUpdates() && !checking_) {
            check(false);
        }
        scheduleAutomaticCheck(automaticCheckInterval);
    });
}

bool UpdateController::automaticallyChecksForUpdates() const {
    // Without a feed nothing is ever checked: the switch must not say
    // otherwise. The stored choice stays for a run that has a feed.
    return hasUpdateFeed() && env_.defaults.boolean(automaticKey).value_or(true);
}

void UpdateController::setAutomaticallyChecksForUpdates(bool enabled) {
    if (!hasUpdateFeed() || enabled == automaticallyChecksForUpdates()) {
        return;
    }
    env_.defaults.set(automaticKey, enabled);
    notifyChanged();
}

std::optional<UpdatePreferences::Date> UpdateController::lastUpdateCheckDate() const {
    const auto seconds = env_.defaults.number(lastCheckKey);
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0 || *seconds > 1e11) {
        return std::nullopt;
    }
    return Date(
        std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(*seconds)));
}

void UpdateController::checkForUpdates() {
    if (checking_) {
        return;
    }
    if (!env_.feedURL) {
        const UpdateSourceTexts& texts = updateSourceTexts(env_.installKind);
        env_.alerts.show({.title = texts.noFeedTitle,
                          .message = texts.noFeedMessage,
                          .style = AlertRequest::Style::informational,
                          .buttons = {"OK"}});
        return;
    }
    check(true);
}

void UpdateController::check(bool userInitiated) {
    checking_ = true;
    notifyChanged();
    std::weak_ptr<bool> alive = alive_;
    env_.fetch(*env_.feedURL, [this, alive, userInitiated](std::optional<std::string> body) {
        if (alive.expired()) {
            return;
        }
        finish(userInitiated, body);
    });
}

void UpdateController::finish(bool userInitiated, const std::optional<std::string>& body) {
    checking_ = false;
    const auto feed = body ? decodeUpdateFeed(*body) : std::nullopt;
    const auto order = feed ? compareVersions(env_.currentVersion, feed->version) : std::nullopt;
    if (order) {
        // Only an answer that was understood counts as a check.
        const auto now =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch());
        env_.defaults.set(lastCheckKey, now.count());
    }
    notifyChanged();

    if (!order) {
        if (userInitiated) {
            env_.alerts.show({.title = "Update Error",
                              .message = "Mivo could not read the update information. Please "
                                         "try again later.",
                              .style = AlertRequest::Style::warning,
                              .buttons = {"OK"}});
        }
        return;
    }
    if (*order < 0) {
        const bool hasNotes = feed->notesURL.has_value();
        std::vector<std::string> buttons{"OK"};
        if (hasNotes) {
            buttons.insert(buttons.begin(), "View Release Notes");
        }
        const std::string notes = hasNotes ? *feed->notesURL : std::string();
        env_.alerts.show(
            {.title = "A new version of Mivo is available",
             .message = "Mivo " + feed->version + " is available; you have " + env_.currentVersion +
                        ". " + updateSourceTexts(env_.installKind).newerVersionAdvice,
             .style = AlertRequest::Style::informational,
             .buttons = buttons},
            [this, alive = std::weak_ptr<bool>(alive_), notes](int button) {
                if (!alive.expired() && !notes.empty() && button == 0) {
                    env_.openURL(notes);
                }
            });
        return;
    }
    if (userInitiated) {
        env_.alerts.show(
            {.title = "You’re up to date",
             .message = "Mivo " + env_.currentVersion + " is the newest version available.",
             .style = AlertRequest::Style::informational,
             .buttons = {"OK"}});
    }
}

}  // namespace mivo
