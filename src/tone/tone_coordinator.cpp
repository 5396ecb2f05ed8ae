// The entry of a rewrite, its refusals, and the panel: opening, closing, keys
// and the guard that closes it when the user turns to another application.

#include "tone/tone_coordinator.hpp"

#include <utility>

#include "shared/service_address.hpp"
#include "shared/text.hpp"
#include "tone/ax_selection_reader.hpp"
#include "tone/tone_limits.hpp"

namespace mivo {

namespace {

using SurfaceTag = SurfaceTagResolver::SurfaceTag;

std::string orDash(const std::optional<std::string>& value) {
    return value.value_or("-");
}

template <typename T>
std::size_t indexIn(std::span<const T> list, T value) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == value)
            return i;
    }
    return list.size();
}

// One step through `list` with wrap-around; a value not in the list picks
// the first entry.
template <typename T>
T stepThrough(std::span<const T> list, T current, int step) {
    const auto count = static_cast<long>(list.size());
    const auto index = static_cast<long>(indexIn(list, current));
    if (index >= count)
        return list.front();
    return list[static_cast<std::size_t>((index + step % count + count) % count)];
}

}  // namespace

ToneCoordinator::ToneCoordinator(Ports ports, ToneWarmBuffer* warmBuffer,
                                 AccessTokenProvider accessTokenProvider,
                                 std::function<bool()> isSignedOut,
                                 std::function<void()> onSignInRequested)
    : ports_(ports),
      warmBuffer_(warmBuffer),
      accessTokenProvider_(std::move(accessTokenProvider)),
      isSignedOut_(std::move(isSignedOut)),
      onSignInRequested_(std::move(onSignInRequested)),
      hotKey_(ports.hotKeys, ports.desktop.scheduler, ports.desktop.log) {
    // The hotkey lives and dies with the coordinator, and reports presses
    // in a later turn, when the coordinator is owned by its shared_ptr.
    hotKey_.onPressed = [this] { invoke(); };
}

ToneCoordinator::~ToneCoordinator() {
    appActivationObserver_.cancel();
    conversionTransfer_.cancel();
}

bool ToneCoordinator::start() {
    const bool registered = hotKey_.start();
    started_ = true;
    log("ToneCoordinator: started, listening for tone hotkey");
    return registered;
}

void ToneCoordinator::stop() {
    hotKey_.stop();
    started_ = false;
    hidePanel();
}

bool ToneCoordinator::configureShortcut(uint32_t keyCode, uint32_t modifiers) {
    return hotKey_.configure(keyCode, modifiers);
}

void ToneCoordinator::log(const std::string& line) {
    if (onLog)
        onLog(line);
}

TonePanelState ToneCoordinator::signedOutState() const {
    if (accountFault)
        if (auto fault = accountFault())
            return TonePanelState::signedOut(std::move(*fault));
    return TonePanelState::signedOut();
}

void ToneCoordinator::requestSignIn() {
    if (onSignInRequested_)
        onSignInRequested_();
}

// --- Invocation ------------------------------------------------------------

void ToneCoordinator::invoke() {
    if (!ports_.api.isConfigured()) {
        // Nothing to send to: say so instead of asking for a sign-in that
        // cannot happen either.
        log("Tone: no rewrite service configured — skipping");
        // An address that was set but refused is told as such, with what to
        // write instead: "not set up" would send the user looking elsewhere.
        const std::string why = noServiceText();
        showTransientToast(why == kNoServiceConfigured ? kNoServiceRefusal : why);
        return;
    }
    auto& workspace = ports_.desktop.workspace;
    const auto front = workspace.frontmostApplication();
    const auto frontBundleId = front ? front->bundleIdentifier : std::nullopt;
    if (SurfaceTagResolver::resolve(frontBundleId) == SurfaceTag::codeOrTerminal) {
        log("Tone: surface_tag=code_or_terminal (" + orDash(frontBundleId) + ") — skipping");
        showTransientToast(kCodeEditorRefusal);
        return;
    }

    auto snapshot = takeSnapshot(frontBundleId);
    if (!snapshot) {
        log("Tone: no readable text in focused control — soft-fail");
        showTransientToast(kNoTextRefusal);
        return;
    }
    if (snapshot->surfaceTag == SurfaceTag::codeOrTerminal) {
        log("Tone: snapshot.surface_tag=code_or_terminal — skipping");
        showTransientToast(kCodeEditorRefusal);
        return;
    }

    openPanelFor(*snapshot, front);
}

void ToneCoordinator::openPanelFor(const Snapshot& snapshot,
                                   const std::optional<RunningApplication>& front) {
    if (isSignedOut_ && isSignedOut_()) {
        // A panel left open for an earlier text goes; this one carries no
        // request until the user has signed in.
        closeWindow();
        clearRequest();
        ++requestGeneration_;
        lastAnchor_ = snapshot.elementFrame;
        log("Tone: user signed out — showing sign-in prompt");
        showPanel(signedOutState());
        return;
    }

    const std::string trimmed = text::trimWhitespaceAndNewlines(snapshot.targetText);
    if (trimmed.empty()) {
        log("Tone: target_text empty after trim — soft-fail");
        showTransientToast(kNoTextRefusal);
        return;
    }
    const int64_t limit = ToneLimits::maxTargetCharacters();
    const int64_t count = text::characterCount(trimmed);
    if (count > limit) {
        log("Tone: target_text " + std::to_string(count) + " chars exceeds " +
            std::to_string(limit) + " - soft-fail");
        showTransientToast("Selection too long - max " + std::to_string(limit) + " characters");
        return;
    }

    startRequest(snapshot, front, trimmed, count);
}

void ToneCoordinator::startRequest(const Snapshot& snapshot,
                                   const std::optional<RunningApplication>& front,
                                   const std::string& trimmed, int64_t count) {
    // A second press while a panel is open starts a new request: the old
    // panel (which shows the old text) and its conversion go, so that what
    // the user sees is what gets rewritten.
    closeWindow();
    ++requestGeneration_;

    currentBundleId_ = snapshot.bundleId;
    currentSurfaceTag_ = snapshot.surfaceTag;
    originalApp_ = hostApplication(snapshot, front);
    originalText_ = trimmed;
    if (text::japaneseRatio(trimmed) >= text::minimumJapaneseRatio) {
        box_.setTranslateUnavailableReason(std::string(kAlreadyJapanese));
    } else {
        box_.setTranslateUnavailableReason(std::nullopt);
    }
    precedingContext_ = snapshot.precedingContext;
    followingContext_ = snapshot.followingContext;
    lastAnchor_ = snapshot.elementFrame;
    targetElement_ = snapshot.targetElement;

    showPanel(TonePanelState::picking());

    const auto contextCount = [](const std::optional<std::string>& context) {
        return context ? text::characterCount(*context) : 0;
    };
    log(std::string("Tone: panel opened — ") + (snapshot.isColdPath ? "COLD" : "warm") +
        " path, target_text=" + std::to_string(count) + " chars, ctx=(" +
        std::to_string(contextCount(precedingContext_)) + "/" +
        std::to_string(contextCount(followingContext_)) + "), bundle=" + orDash(snapshot.bundleId) +
        ", surface_tag=" + std::string(SurfaceTagResolver::rawValue(snapshot.surfaceTag)));
}

std::optional<ToneCoordinator::Snapshot> ToneCoordinator::takeSnapshot(
    const std::optional<std::string>& frontBundleId) {
    if (warmBuffer_ != nullptr) {
        if (auto warm = warmBuffer_->freeze()) {
            return Snapshot{std::move(warm->targetText),
                            std::move(warm->precedingContext),
                            std::move(warm->followingContext),
                            warm->elementFrame,
                            warm->bundleId,
                            SurfaceTagResolver::resolve(warm->bundleId),
                            warm->isColdPath,
                            warm->targetElement};
        }
    }
    auto read = AXSelectionReader::read(ports_.desktop);
    if (!read)
        return std::nullopt;
    auto bundleId = read->bundleIdentifier ? read->bundleIdentifier : frontBundleId;
    const auto tag = SurfaceTagResolver::resolve(bundleId);
    return Snapshot{std::move(read->targetText),
                    std::move(read->precedingContext),
                    std::move(read->followingContext),
                    read->elementFrame,
                    std::move(bundleId),
                    tag,
                    true,
                    read->element};
}

std::optional<RunningApplication> ToneCoordinator::hostApplication(
    const Snapshot& snapshot, const std::optional<RunningApplication>& fallback) {
    auto& workspace = ports_.desktop.workspace;
    if (snapshot.targetElement) {
        const auto pid = ports_.desktop.accessibility.pid(*snapshot.targetElement);
        if (pid && *pid >= 1) {
            if (auto app = workspace.runningApplication(*pid))
                return app;
        }
    }
    // The element's process may be gone (or be a helper process of the
    // application): any running application of the same identifier takes
    // the text back.
    if (snapshot.bundleId) {
        for (auto& app : workspace.runningApplications()) {
            if (app.bundleIdentifier == snapshot.bundleId)
                return std::move(app);
        }
    }
    if (fallback && fallback->bundleIdentifier == snapshot.bundleId)
        return fallback;
    return std::nullopt;
}

void ToneCoordinator::showTransientToast(const std::string& message) {
    // Later, so that the hotkey's own handling has returned first.
    later(kAlertDelay, [message](ToneCoordinator& self) {
        self.ports_.alerts.show({.title = kAlertTitle,
                                 .message = message,
                                 .style = AlertRequest::Style::informational,
                                 .buttons = {"OK"}});
    });
}

// --- The panel -------------------------------------------------------------

void ToneCoordinator::showPanel(TonePanelState state) {
    box_.setState(std::move(state));
    if (ports_.panel.isOpen())
        return;
    std::weak_ptr<ToneCoordinator> weak = weak_from_this();
    ports_.panel.open(TonePanelOpening{
        .originalText = originalText_,
        .box = &box_,
        .callbacks = routePanelCallbacks(weak),
        .onKeyDown =
            [weak](const PanelKeyEvent& event) {
                auto self = weak.lock();
                return self != nullptr && self->handlePanelKeyDown(event);
            },
        .anchor = lastAnchor_,
    });
    installAppActivationGuard();
    if (onPanelVisibilityChanged)
        onPanelVisibilityChanged(true);
}

// Closes the window of the current request and drops what it had under way
// (its conversion, its preview's rating), keeping the request's fields.
void ToneCoordinator::closeWindow() {
    cancelConversion();
    resetFeedback();
    removeAppActivationGuard();
    if (ports_.panel.isOpen()) {
        ports_.panel.close();
        if (onPanelVisibilityChanged)
            onPanelVisibilityChanged(false);
    }
}

void ToneCoordinator::hidePanel() {
    cancelConversion();
    const bool wasOpen = ports_.panel.isOpen();
    if (wasOpen)
        ports_.panel.close();
    clearRequest();
    box_.setTranslateUnavailableReason(std::nullopt);
    resetFeedback();
    removeAppActivationGuard();
    if (warmBuffer_ != nullptr)
        warmBuffer_->discardAfterRequest();
    if (wasOpen && onPanelVisibilityChanged)
        onPanelVisibilityChanged(false);
}

void ToneCoordinator::clearRequest() {
    originalText_.clear();
    precedingContext_.reset();
    followingContext_.reset();
    lastAnchor_.reset();
    targetElement_.reset();
    originalApp_.reset();
}

void ToneCoordinator::installAppActivationGuard() {
    if (appActivationObserver_)
        return;
    guardedHostBundleId_ = originalApp_ ? originalApp_->bundleIdentifier : std::nullopt;
    guardedHostPid_ = originalApp_ ? std::optional(originalApp_->pid) : std::nullopt;
    std::weak_ptr<ToneCoordinator> weak = weak_from_this();
    appActivationObserver_ = ports_.desktop.workspace.observeActivation(
        [weak](const std::optional<RunningApplication>& activated) {
            auto self = weak.lock();
            if (self == nullptr)
                return;
            // A notification that names no application cannot be told from
            // the host or Mivo; the panel stays.
            if (!activated || activated->pid == self->ports_.ownPid)
                return;
            if (activated->pid == self->guardedHostPid_ ||
                activated->bundleIdentifier == self->guardedHostBundleId_)
                return;
            self->log("Tone: host app deactivated (" + orDash(self->guardedHostBundleId_) + " → " +
                      orDash(activated->bundleIdentifier) + ") — dismissing panel");
            self->hidePanel();
        });
}

void ToneCoordinator::removeAppActivationGuard() {
    appActivationObserver_.cancel();
    appActivationObserver_ = Cancel();
}

// --- Keys ------------------------------------------------------------------

bool ToneCoordinator::handlePanelKeyDown(const PanelKeyEvent& event) {
    if (box_.feedbackComposerPresented()) {
        if (event.keyCode == panel_keys::escape) {
            dismissFeedbackComposer();
            return true;
        }
        return false;
    }
    switch (event.keyCode) {
        case panel_keys::rightArrow:
        case panel_keys::downArrow:
            movePickerSelection(+1);
            return true;
        case panel_keys::leftArrow:
        case panel_keys::upArrow:
            movePickerSelection(-1);
            return true;
        case panel_keys::returnKey:
        case panel_keys::keypadEnter:
            activateSelectedPanelAction();
            return true;
        case panel_keys::escape:
            hidePanel();
            return true;
        default:
            return false;
    }
}

void ToneCoordinator::movePickerSelection(int step) {
    if (!box_.state().is<TonePanelState::Picking>())
        return;
    if (box_.selectedAction() == RewriteAction::tone) {
        box_.setSelectedRegister(stepThrough(allRegisters(), box_.selectedRegister(), step));
    } else {
        box_.setSelectedAction(stepThrough(allRewriteActions(), box_.selectedAction(), step));
    }
}

void ToneCoordinator::activateSelectedPanelAction() {
    const auto& state = box_.state();
    if (state.is<TonePanelState::Preview>()) {
        applyAndDismiss();
    } else if (const auto* error = state.get<TonePanelState::Error>()) {
        if (error->retryable)
            startConversion(lastRewriteAction_, lastRewriteRegister_);
    } else if (state.is<TonePanelState::Picking>()) {
        if (box_.selectedAction() == RewriteAction::tone) {
            startConversion(RewriteAction::tone, box_.selectedRegister());
        } else {
            startConversion(box_.selectedAction(), std::nullopt);
        }
    } else if (state.is<TonePanelState::Offline>()) {
        startConversion(lastRewriteAction_, lastRewriteRegister_);
    }
}

Cancel ToneCoordinator::later(double delay, std::function<void(ToneCoordinator&)> step) {
    std::weak_ptr<ToneCoordinator> weak = weak_from_this();
    return ports_.desktop.scheduler.after(delay, [weak, step = std::move(step)] {
        if (auto self = weak.lock())
            step(*self);
    });
}

}  // namespace mivo
