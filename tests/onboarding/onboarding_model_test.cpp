#include <gmock/gmock.h>

#include "onboarding/onboarding_store.hpp"
#include "onboarding/onboarding_view_model.hpp"
#include "platform/sim/memory_user_defaults.hpp"

#include <vector>

namespace mivo {
namespace {

TEST(OnboardingViewModel, SlidesStayWithinTheFourAndNextOnTheLastCompletes) {
    OnboardingViewModel model;
    int completions = 0;
    int indexChanges = 0;
    model.onComplete = [&] { ++completions; };
    auto observer = model.addObserver([&](OnboardingViewModel::Change change) {
        indexChanges += change == OnboardingViewModel::Change::index;
    });
    model.back();
    EXPECT_EQ(model.index(), 0);
    for (int i = 0; i < 3; ++i) {
        model.next();
    }
    EXPECT_EQ(model.index(), 3);
    EXPECT_EQ(completions, 0);
    model.next();
    model.next();
    EXPECT_EQ(model.index(), 3);
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(indexChanges, 3);
    observer.cancel();
    model.back();
    EXPECT_EQ(model.index(), 2);
    EXPECT_EQ(indexChanges, 3);
}

TEST(OnboardingCompletion, FirstCloseWritesBothKeysAndFinishesOnce) {
    sim::MemoryUserDefaults defaults;
    defaults.set(OnboardingStore::hasCompletedKey, false);  // false reads as absent
    OnboardingStore store{defaults, 1};
    EXPECT_FALSE(store.hasCompleted());
    OnboardingCompletion completion(store);
    int finishes = 0;
    completion.onFinish = [&] { ++finishes; };
    completion.windowWillClose();
    completion.windowWillClose();
    EXPECT_EQ(finishes, 1);
    EXPECT_TRUE(store.hasCompleted());
    EXPECT_EQ(defaults.object(OnboardingStore::schemaVersionKey), DefaultsValue(std::int64_t{1}));
    defaults.set(OnboardingStore::hasCompletedKey, std::string("true"));  // wrong type
    EXPECT_FALSE(store.hasCompleted());
}

TEST(OnboardingViewModel, SignInIsIgnoredWhileOneRunsOrWhenSignedIn) {
    OnboardingViewModel model;
    int requests = 0;
    model.requestSignIn();  // no callback: nothing
    model.onSignIn = [&] { ++requests; };
    model.requestSignIn();
    EXPECT_EQ(requests, 1);
    model.setSigningIn(true);
    model.requestSignIn();
    model.requestSignIn();
    EXPECT_EQ(requests, 1);
    model.setSigningIn(false);  // the first one failed: the user may try again
    model.requestSignIn();
    EXPECT_EQ(requests, 2);
    model.setSignedIn(true);
    model.requestSignIn();
    EXPECT_EQ(requests, 2);
}

TEST(OnboardingViewModel, ObserversHearOnlyRealChanges) {
    OnboardingViewModel model;
    std::vector<OnboardingViewModel::Change> heard;
    auto observer = model.addObserver([&](OnboardingViewModel::Change c) { heard.push_back(c); });
    EXPECT_EQ(model.rewriteShortcutDisplay(), "Shift+Super+J");
    model.setRewriteShortcutDisplay("Shift+Super+J");
    model.setSignedIn(false);
    model.setSigningIn(false);
    EXPECT_TRUE(heard.empty());
    model.setRewriteShortcutDisplay("Alt+Super+K");
    model.setSigningIn(true);
    model.setSignedIn(true);
    using Change = OnboardingViewModel::Change;
    EXPECT_THAT(heard, ::testing::ElementsAre(Change::rewriteShortcut, Change::isSigningIn,
                                              Change::isSignedIn));
    EXPECT_EQ(model.rewriteShortcutDisplay(), "Alt+Super+K");
}

TEST(OnboardingViewModel, TryItNowRunsItsCallbackOnlyWhenSet) {
    OnboardingViewModel model;
    model.requestTryItNow();
    int opened = 0;
    model.onTryItNow = [&] { ++opened; };
    model.requestTryItNow();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(model.index(), 0);  // the window stays where it is
}

}  // namespace
}  // namespace mivo
