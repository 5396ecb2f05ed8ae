// The rewrite road: the tone coordinator with its warm buffer and hotkey,
// reaching the account only through the account and tone wiring, and
// started and stopped with monitoring.

#include "app/root.hpp"

namespace mivo {

std::shared_ptr<ToneCoordinator> Root::makeTone() {
    return std::make_shared<ToneCoordinator>(
        ToneCoordinator::Ports{desktop_.ports(), toneHotKeys_, alerts_, toneAPI_, tonePanel_,
                               static_cast<Pid>(::getpid())},
        &toneWarmBuffer_,
        [this](std::function<void(std::optional<std::string>)> done) {
            accountTone_.accessToken(std::move(done));
        },
        [this] { return accountTone_.isSignedOut(); }, [this] { accountTone_.beginSignIn(); });
}

// The stored hotkey is handed over before changes to it are listened to;
// the coordinator registers it when it starts, and the tray and the
// onboarding show it at once.
void Root::wireRewriteRoad() {
    accountTone_.applyStoredHotKey();
    settingsStore_.onToneHotKeyChanged = [this](const HotKeyConfig& hotKey) {
        accountTone_.handleToneHotKeyChanged(hotKey);
    };
    tone_->onLog = [this](const std::string& line) { accountTone_.logTone(line); };
    tone_->accountFault = [this] { return accountTone_.accountFault(); };
    toneWarmBuffer_.onLog = [this](const std::string& line) { accountTone_.logTone(line); };
    shell_.onTriggerTone = [this] { accountTone_.triggerTone(); };
}

AccountToneWiring::Rewrite Root::rewriteHooks() {
    return {
        .configureShortcut =
            [this](uint32_t keyCode, uint32_t modifiers) {
                return tone_->configureShortcut(keyCode, modifiers);
            },
        .start =
            [this] {
                const bool registered = tone_->start();
                toneWarmBuffer_.start();
                return registered;
            },
        .stop =
            [this] {
                tone_->stop();
                toneWarmBuffer_.stop();
            },
        .trigger = [this] { tone_->triggerManually(); },
    };
}

}  // namespace mivo
