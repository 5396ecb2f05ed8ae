// The correction road: the monitor's finished sentences go to the display
// controller, which checks them and shows the highlights and the panel; the
// overlay's hovers and buttons come back to it. Monitoring starts and stops
// with the switch in Settings, the onboarding and the accessibility
// permission.

#include <QProcess>
#include <QStandardPaths>

#include "app/accessibility_settings.hpp"
#include "app/root.hpp"

namespace mivo {

void Root::wireCorrectionRoad() {
    monitor_.onSentenceCompleted = [this](const CompletedSentenceCandidate& candidate) {
        display_.showCorrectionIssues(candidate);
    };
    highlight_.onHoverIssue = [this](const CorrectionIssue& issue, const Rect& rect) {
        display_.handleHoverIssue(issue, rect);
    };
    highlight_.onHoverEnded = [this](const CorrectionIssue& issue) {
        display_.handleHoverEnded(issue);
    };
    highlight_.onViewChanged = [this] { display_.handleViewChanged(); };
    overlay_.onHoverChanged = [this](bool hovered) { display_.handlePanelHoverChanged(hovered); };
    overlay_.onApply = [this](const std::vector<CorrectionIssue>& issues) {
        display_.handleApply(issues);
    };
    overlay_.onDismiss = [this](const std::vector<CorrectionIssue>& issues) {
        display_.handleDismiss(issues);
    };
    overlay_.onApplyPress = [this](bool pressed) {
        if (pressed)
            monitor_.holdKeysForApply();
        else
            monitor_.applyPressCancelled();
    };
    overlay_.onApplyCutOff = [this] { display_.handleReplacementFailed(UnwrittenField::asItWas); };
    monitor_.onReplacementFailed = [this](UnwrittenField field) {
        display_.handleReplacementFailed(field);
    };
    monitor_.onCorrectionContextChanged = [this] { display_.clearCorrectionUIForContextChange(); };
    monitor_.onCheckSkipped = [this](uint64_t block) { display_.handleCheckSkipped(block); };
    monitor_.onFieldMayHaveMoved = [this] { display_.handleFieldMayHaveMoved(); };
    // A wheel step, a key that scrolls or opens a page, a scrollbar
    // dragged: the boxes go at once rather than stand where the text was
    // until it is measured anew.
    desktop_.ports().input.setOnViewGesture(
        [this](ViewGesture gesture) { display_.handleViewGesture(gesture); });
    monitor_.onReplacementCompleted = [this](const std::string& text) {
        display_.handleReplacementCompleted(text);
    };
    settingsStore_.onVocabularySuggestionsChanged = [this](bool) {
        display_.clearCorrectionUIForContextChange();
    };
}

// The switch in Settings and the end of the onboarding start or stop
// monitoring.
void Root::wireMonitoringSwitch() {
    onboardingWindow_.onFinish = [this] {
        openSettingsOnceWithoutTray();
        if (settingsStore_.mivoEnabled()) {
            lifecycle_.checkAndStartMonitoring();
        } else {
            lifecycle_.stop();
        }
    };
    settingsStore_.onMivoEnabledChanged = [this](bool enabled) {
        if (enabled) {
            lifecycle_.checkAndStartMonitoring();
        } else {
            lifecycle_.stop();
        }
    };
}

MonitoringLifecycle::Hooks Root::lifecycleHooks() {
    return {
        .isEnabled = [this] { return settingsStore_.mivoEnabled(); },
        .isPermissionGranted = [this] { return monitor_.isPermissionGranted(); },
        .requestPermission = [this] { requestAccessibilityPermission(); },
        .startComponents =
            [this] {
                monitor_.start();
                accountTone_.startRewriteEngine();
            },
        .stopComponents =
            [this] {
                display_.clearCorrectionUIForContextChange();
                monitor_.stop();
                accountTone_.stopRewriteEngine();
            },
        .setMonitoring = [this](bool on) { shell_.setMonitoring(on); },
        .setPermissionNeeded = [this] { shell_.setPermissionNeeded(); },
        .isOnboardingCompleted =
            [this] {
                const bool completed = onboardingStore_.hasCompleted();
                if (completed) {
                    openSettingsOnceWithoutTray();
                }
                return completed;
            },
        // The onboarding window is a way in of its own, tray or not.
        .showOnboarding = [this] { onboardingWindow_.showCentered(); },
    };
}

// "Trusted" is an enabled accessibility bus; asking for it switches the
// bus on (what screen readers do), then the desktop's own accessibility
// settings open where the desktop is known.
void Root::requestAccessibilityPermission() {
    auto& accessibility = desktop_.accessibility();
    if (!accessibility.isProcessTrusted()) {
        accessibility.isProcessTrustedWithPrompt();
    }
    const auto command = accessibilitySettingsCommand(
        environment("XDG_CURRENT_DESKTOP").value_or(""), [](std::string_view program) {
            return !QStandardPaths::findExecutable(
                        QString::fromUtf8(program.data(), program.size()))
                        .isEmpty();
        });
    if (!command) {
        log_.write("[Mivo] permission: no accessibility settings known for this desktop");
        return;
    }
    QStringList arguments;
    for (std::size_t i = 1; i < command->size(); ++i) {
        arguments << QString::fromStdString((*command)[i]);
    }
    QProcess::startDetached(QString::fromStdString(command->front()), arguments);
}

}  // namespace mivo
