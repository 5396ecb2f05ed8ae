#include "onboarding/onboarding_view_model.hpp"

#include <vector>

#include "onboarding/onboarding_store.hpp"

namespace mivo {

void OnboardingViewModel::setSignedIn(bool signedIn) {
    if (signedIn == isSignedIn_) {
        return;
    }
    isSignedIn_ = signedIn;
    notify(Change::isSignedIn);
}

void OnboardingViewModel::setSigningIn(bool signingIn) {
    if (signingIn == isSigningIn_) {
        return;
    }
    isSigningIn_ = signingIn;
    notify(Change::isSigningIn);
}

void OnboardingViewModel::setRewriteShortcutDisplay(std::string display) {
    if (display == rewriteShortcutDisplay_) {
        return;
    }
    rewriteShortcutDisplay_ = std::move(display);
    notify(Change::rewriteShortcut);
}

void OnboardingViewModel::setHasTray(bool hasTray) {
    if (hasTray == hasTray_) {
        return;
    }
    hasTray_ = hasTray;
    notify(Change::hasTray);
}

void OnboardingViewModel::requestSignIn() {
    if (isSigningIn_ || isSignedIn_ || !onSignIn) {
        return;
    }
    onSignIn();
}

void OnboardingViewModel::requestTryItNow() {
    if (onTryItNow) {
        onTryItNow();
    }
}

void OnboardingViewModel::next() {
    if (index_ < slideCount - 1) {
        ++index_;
        notify(Change::index);
        return;
    }
    if (onComplete) {
        onComplete();
    }
}

void OnboardingViewModel::back() {
    if (index_ > 0) {
        --index_;
        notify(Change::index);
    }
}

Cancel OnboardingViewModel::addObserver(std::function<void(Change)> observer) {
    const uint64_t id = nextObserverId_++;
    observers_->emplace(id, std::move(observer));
    return Cancel([weak = std::weak_ptr(observers_), id] {
        if (auto observers = weak.lock()) {
            observers->erase(id);
        }
    });
}

void OnboardingViewModel::notify(Change change) {
    // A copy: an observer may add or remove observers while it runs.
    std::vector<std::function<void(Change)>> current;
    for (const auto& [id, observer] : *observers_) {
        current.push_back(observer);
    }
    for (const auto& observer : current) {
        observer(change);
    }
}

void OnboardingCompletion::windowWillClose() {
    if (hasFired_) {
        return;
    }
    hasFired_ = true;
    store_.defaults.set(OnboardingStore::hasCompletedKey, true);
    store_.defaults.set(OnboardingStore::schemaVersionKey,
                        static_cast<std::int64_t>(store_.currentSchemaVersion));
    if (onFinish) {
        onFinish();
    }
}

}  // namespace mivo
