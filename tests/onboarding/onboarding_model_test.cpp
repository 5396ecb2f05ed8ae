#include <gmock/gmock.h>

#include "onboarding/onboarding_store.hpp"
#include "onboarding/onboarding_view_model.hpp"
#include "platform/sim/memory_user_defaults.hpp"

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

}  // namespace
}  // namespace mivo
