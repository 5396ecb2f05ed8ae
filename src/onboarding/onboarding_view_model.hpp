#pragma once

// The carousel's model: which of the four slides is shown, whether the user
// is signed in (written by the composition root), and the actions that leave
// the onboarding. Views observe it and animate each change of the slide.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/cancel.hpp"
#include "shared/shortcut_text.hpp"

namespace mivo {

struct OnboardingStore;

class OnboardingViewModel {
  public:
    static constexpr int slideCount = 4;  // welcome, how it works, sign in, ready

    enum class Change { index, isSignedIn, isSigningIn, rewriteShortcut, hasTray };

    int index() const { return index_; }
    bool isSignedIn() const { return isSignedIn_; }
    void setSignedIn(bool signedIn);

    // Whether a browser sign-in is under way; written by the composition
    // root from the account state. While it is, sign-in requests are ignored:
    // a second sign-in would collide with the first on the loopback port.
    bool isSigningIn() const { return isSigningIn_; }
    void setSigningIn(bool signingIn);

    // The rewrite shortcut as the ready slide shows it ("Shift+Super+J");
    // written by the root.
    const std::string& rewriteShortcutDisplay() const { return rewriteShortcutDisplay_; }
    void setRewriteShortcutDisplay(std::string display);

    // Whether the desktop shows Mivo's tray icon; written by the root. The
    // ready slide tells where Mivo is found afterwards.
    bool hasTray() const { return hasTray_; }
    void setHasTray(bool hasTray);

    // Forward one slide; on the last slide completes the onboarding.
    void next();
    // Back one slide; nothing on the first.
    void back();

    // "Continue with Google": runs onSignIn unless a sign-in is under way.
    void requestSignIn();
    // "Try it now": runs onTryItNow when it is set.
    void requestTryItNow();

    std::function<void()> onSignIn;
    std::function<void()> onTryItNow;
    // Set by the window controller: closes the onboarding window.
    std::function<void()> onComplete;

    Cancel addObserver(std::function<void(Change)> observer);

  private:
    void notify(Change change);

    int index_ = 0;
    bool isSignedIn_ = false;
    bool isSigningIn_ = false;
    bool hasTray_ = true;
    std::string rewriteShortcutDisplay_ = shortcutText(HotKeyConfig::defaultConfig());
    uint64_t nextObserverId_ = 0;
    std::shared_ptr<std::map<uint64_t, std::function<void(Change)>>> observers_ =
        std::make_shared<std::map<uint64_t, std::function<void(Change)>>>();
};

// Records the first completion of the onboarding, whatever closed its window,
// and runs `onFinish` once.
class OnboardingCompletion {
  public:
    explicit OnboardingCompletion(OnboardingStore& store) : store_(store) {}

    std::function<void()> onFinish;

    // The window is closing: the first call writes both keys and runs
    // onFinish; later calls do nothing.
    void windowWillClose();
    bool hasFired() const { return hasFired_; }

  private:
    OnboardingStore& store_;
    bool hasFired_ = false;
};

}  // namespace mivo
