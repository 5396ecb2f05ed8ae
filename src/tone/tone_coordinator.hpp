#pragma once

// The heart of the rewrite feature: the hotkey (or the tray's rewrite item)
// opens the rewrite panel for the text at hand, the user's choice starts a
// request to the rewrite service, the preview is applied into the host
// application, and a rating goes to the feedback endpoint.
//
// One request at a time. Everything runs on the main loop; network answers,
// the access token and every delay arrive there too. Each request, each
// conversion and each preview has its own generation, so an answer that
// arrives after the user moved on (closed the panel, chose again, pressed the
// hotkey again) is dropped instead of landing in what the user sees now.
//
// Made once by the composition root and owned through a shared_ptr: the
// panel's callbacks and every delayed step hold it weakly.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/alerts.hpp"
#include "platform/desktop.hpp"
#include "platform/hot_keys.hpp"
#include "tone/surface_tag_resolver.hpp"
#include "tone/tone_api_client.hpp"
#include "tone/tone_hot_key.hpp"
#include "tone/tone_panel_callbacks.hpp"
#include "tone/tone_panel_presenter.hpp"
#include "tone/tone_state_box.hpp"
#include "tone/tone_warm_buffer.hpp"

namespace mivo {

class ToneCoordinator final : public TonePanelActions,
                              public std::enable_shared_from_this<ToneCoordinator> {
  public:
    // What the coordinator works through; all of it must outlive it.
    struct Ports {
        Desktop desktop;
        HotKeys& hotKeys;
        Alerts& alerts;
        ToneAPIClient& api;
        TonePanelPresenter& panel;
        // This process: activating one of its own windows (settings, the
        // panel itself) leaves the panel open.
        Pid ownPid = 0;
    };

    // Answers the account's access token, or nothing, once, on the main loop.
    using AccessTokenProvider =
        std::function<void(std::function<void(std::optional<std::string>)> done)>;

    // `warmBuffer` may be null (every request then reads the field afresh);
    // otherwise it must outlive the coordinator. The hotkey is not
    // registered until start().
    ToneCoordinator(Ports ports, ToneWarmBuffer* warmBuffer,
                    AccessTokenProvider accessTokenProvider, std::function<bool()> isSignedOut,
                    std::function<void()> onSignInRequested);
    ~ToneCoordinator() override;
    ToneCoordinator(const ToneCoordinator&) = delete;
    ToneCoordinator& operator=(const ToneCoordinator&) = delete;

    // Registers the hotkey; whether the system took it.
    bool start();
    // Unregisters the hotkey and closes any panel.
    void stop();
    // The hotkey's new combination: stored only while stopped (true);
    // registered at once while started, false when the system refused it.
    bool configureShortcut(uint32_t keyCode, uint32_t modifiers);
    // The tray's rewrite item: the same as a press of the hotkey.
    void triggerManually() { invoke(); }

    // Lines without the "[Mivo][Tone] " tag, which the receiver adds.
    std::function<void(const std::string&)> onLog;
    std::function<void(bool)> onPanelVisibilityChanged;
    // Why the account's service cannot be used, as the user was told
    // (nothing answers at its address, or its certificate is not
    // trusted): the signed-out panel says it instead
    // of offering a sign-in as if nothing stood in the way. Nothing when
    // nothing is known.
    std::function<std::optional<std::string>()> accountFault;

    const ToneStateBox& stateBox() const { return box_; }
    ToneStateBox& stateBox() { return box_; }
    const std::string& originalText() const { return originalText_; }

    // --- The panel's operations ------------------------------------------
    void invoke();
    void startConversion(RewriteAction action, std::optional<Register> toneRegister) override;
    void applyAndDismiss() override;
    void hidePanel() override;
    void returnToPicker() override;
    RewriteAction lastRewriteAction() const override { return lastRewriteAction_; }
    std::optional<Register> lastRewriteRegister() const override { return lastRewriteRegister_; }
    void handleFeedbackSelection(FeedbackRating rating) override;
    void dismissFeedbackComposer() override;
    void submitWrittenFeedback() override;
    void log(const std::string& line) override;
    void requestSignIn() override;
    // True when the key was consumed.
    bool handlePanelKeyDown(const PanelKeyEvent& event);

    // Texts the user sees outside the panel.
    static constexpr const char* kAlertTitle = "Mivo Rewrite";
    static constexpr const char* kCodeEditorRefusal =
        "Tone conversion is unavailable in code editors and terminals.";
    static constexpr const char* kNoTextRefusal = "No text to convert";
    static constexpr const char* kNoServiceRefusal =
        "No rewrite service is set up for this copy of Mivo, so it cannot rewrite text.";
    static constexpr const char* kAlreadyJapanese = "This text is already Japanese.";
    static constexpr const char* kCopiedToClipboard = "Copied — paste with Ctrl+V";
    static constexpr double kAlertDelay = 0.01;
    static constexpr double kApplyDelay = 0.15;

  private:
    struct Snapshot {
        std::string targetText;
        std::optional<std::string> precedingContext;
        std::optional<std::string> followingContext;
        std::optional<Rect> elementFrame;
        std::optional<std::string> bundleId;
        SurfaceTagResolver::SurfaceTag surfaceTag = SurfaceTagResolver::SurfaceTag::unknown;
        bool isColdPath = false;
        std::optional<AXElement> targetElement;
    };
    // What a rating refers to: the preview on screen.
    struct FeedbackContext {
        std::string requestId;
        std::string sourceText;
        std::string convertedText;
        RewriteAction action = RewriteAction::improve;
        std::optional<Register> toneRegister;
    };

    std::optional<Snapshot> takeSnapshot(const std::optional<std::string>& frontBundleId);
    // After the surface checks: the sign-in prompt, or the text's checks and
    // the panel for a new request.
    void openPanelFor(const Snapshot& snapshot, const std::optional<RunningApplication>& front);
    void startRequest(const Snapshot& snapshot, const std::optional<RunningApplication>& front,
                      const std::string& trimmed, int64_t count);
    std::optional<RunningApplication> hostApplication(
        const Snapshot& snapshot, const std::optional<RunningApplication>& fallback);
    void showPanel(TonePanelState state);
    // The sign-in prompt, with the account's fault when there is one.
    TonePanelState signedOutState() const;
    void closeWindow();
    void installAppActivationGuard();
    void removeAppActivationGuard();
    void showTransientToast(const std::string& message);
    void movePickerSelection(int step);
    void activateSelectedPanelAction();
    void cancelConversion();
    void sendConversion(uint64_t generation, ToneAPIClient::ConvertRequest request,
                        std::optional<Register> requestedRegister);
    void finishConversion(uint64_t generation, std::optional<Register> requestedRegister,
                          ToneAPIClient::Result<ToneAPIClient::ConvertResult> result);
    void writeBack(uint64_t request, const std::string& rewritten, const std::string& original,
                   std::optional<AXElement> element, std::optional<RunningApplication> host);
    void clearRequest();
    // Drops what a rating would refer to and empties the panel's feedback
    // fields; a rating still in flight then finds its preview gone.
    void resetFeedback();
    void submitFeedback(FeedbackRating rating, std::optional<std::string> feedbackText);
    void finishFeedback(uint64_t previewGeneration, FeedbackRating rating,
                        ToneAPIClient::Result<ToneAPIClient::FeedbackResult> result);
    // Runs `step` on the main loop later, unless the coordinator is gone.
    Cancel later(double delay, std::function<void(ToneCoordinator&)> step);

    Ports ports_;
    ToneWarmBuffer* warmBuffer_;
    AccessTokenProvider accessTokenProvider_;
    std::function<bool()> isSignedOut_;
    std::function<void()> onSignInRequested_;
    ToneHotKey hotKey_;
    ToneStateBox box_;
    bool started_ = false;

    // The request: written by invoke(), cleared on closing and after the
    // write-back.
    std::string originalText_;
    std::optional<std::string> precedingContext_;
    std::optional<std::string> followingContext_;
    std::optional<Rect> lastAnchor_;
    SurfaceTagResolver::SurfaceTag currentSurfaceTag_ = SurfaceTagResolver::SurfaceTag::unknown;
    std::optional<std::string> currentBundleId_;
    std::optional<RunningApplication> originalApp_;
    std::optional<AXElement> targetElement_;
    uint64_t requestGeneration_ = 0;

    RewriteAction lastRewriteAction_ = RewriteAction::improve;
    std::optional<Register> lastRewriteRegister_;

    // The running conversion: its generation and its handles (the token
    // request and the transfer). Only the current generation may answer.
    uint64_t conversionGeneration_ = 0;
    bool conversionRunning_ = false;
    Cancel conversionTransfer_;

    std::optional<FeedbackContext> feedbackContext_;
    uint64_t previewGeneration_ = 0;

    Cancel appActivationObserver_;
    std::optional<std::string> guardedHostBundleId_;
    std::optional<Pid> guardedHostPid_;
};

}  // namespace mivo
