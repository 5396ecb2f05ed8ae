#pragma once

// The rewrite panel's ten user actions and where they go. The panel reports
// each action through one callback; the tone coordinator answers them.
// `routePanelCallbacks` builds the ten callbacks over a coordinator held
// weakly: once it is gone every callback does nothing.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "tone/tone_types.hpp"

namespace mivo {

struct TonePanelCallbacks {
    std::function<void(RewriteAction)> onAction;
    std::function<void(Register)> onRegister;
    std::function<void()> onApply;
    std::function<void()> onClose;
    std::function<void()> onCancel;
    std::function<void()> onRetry;
    std::function<void(FeedbackRating)> onFeedback;
    std::function<void()> onDismissFeedbackComposer;
    std::function<void()> onSubmitWrittenFeedback;
    std::function<void()> onSignIn;
};

// The coordinator's operations that the panel's actions reach.
class TonePanelActions {
  public:
    virtual ~TonePanelActions() = default;

    virtual void startConversion(RewriteAction action, std::optional<Register> toneRegister) = 0;
    virtual void applyAndDismiss() = 0;
    virtual void hidePanel() = 0;
    virtual void returnToPicker() = 0;
    // The action and register of the last request started; retry repeats them.
    virtual RewriteAction lastRewriteAction() const = 0;
    virtual std::optional<Register> lastRewriteRegister() const = 0;
    virtual void handleFeedbackSelection(FeedbackRating rating) = 0;
    virtual void dismissFeedbackComposer() = 0;
    virtual void submitWrittenFeedback() = 0;
    // The coordinator's log sink (its `onLog`) and its sign-in request (its
    // `onSignInRequested`).
    virtual void log(const std::string& line) = 0;
    virtual void requestSignIn() = 0;
};

// onAction: startConversion(action, none); onRegister: startConversion(tone,
// register); onApply: applyAndDismiss; onClose: hidePanel; onCancel:
// returnToPicker; onRetry: startConversion(last action, last register);
// onFeedback: handleFeedbackSelection; onDismissFeedbackComposer;
// onSubmitWrittenFeedback; onSignIn: logs, requests sign-in, then hidePanel.
TonePanelCallbacks routePanelCallbacks(std::weak_ptr<TonePanelActions> coordinator);

// The platform's virtual key codes of the keys the panel's handler knows.
namespace panel_keys {
inline constexpr int returnKey = 36;
inline constexpr int escape = 53;
inline constexpr int keypadEnter = 76;
inline constexpr int leftArrow = 123;
inline constexpr int rightArrow = 124;
inline constexpr int downArrow = 125;
inline constexpr int upArrow = 126;
}  // namespace panel_keys

// One key press as the panel window hands it to its handler: the virtual
// key code (panel_keys; -1 for a key the panel has no code for) and the text
// it would type.
struct PanelKeyEvent {
    int keyCode = -1;
    std::string text;
};

// True means the press was consumed; false lets it go on to the focused
// control.
using PanelKeyHandler = std::function<bool(const PanelKeyEvent&)>;

}  // namespace mivo
