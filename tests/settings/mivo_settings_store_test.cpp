#include "settings/mivo_settings_store.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/memory_user_defaults.hpp"
#include "platform/sim/virtual_clock.hpp"
#include "shared/records_json.hpp"

namespace mivo {
namespace {

using Property = MivoSettingsStore::Property;

const HotKeyConfig kOptionK{40, HotKeyConfig::optionMask, "⌥K"};

std::string hotKeyJson(const HotKeyConfig& h) {
    return toJson(h).dump();
}

class SettingsStoreTest : public ::testing::Test {
  protected:
    sim::MemoryUserDefaults defaults;
    sim::VirtualClock clock;
};

TEST_F(SettingsStoreTest, FirstLaunchHasTheDefaultsAndWritesNothing) {
    MivoSettingsStore store(defaults, clock);
    EXPECT_TRUE(store.mivoEnabled());
    EXPECT_FALSE(store.vocabularySuggestionsEnabled());
    EXPECT_EQ(store.toneHotKey(), HotKeyConfig::defaultConfig());
    EXPECT_EQ(defaults.writeCount(), 0u);
    EXPECT_TRUE(defaults.empty());
}

// What is stored under each key and what the store loads from it: typed
// values, and the defaults for anything else.
TEST(SettingsLoad, LoadsTypedValuesAndDefaultsForAnythingElse) {
    const std::string enabled = "settings.application.mivoEnabled";
    const std::string vocabulary = "settings.localCorrection.vocabularySuggestionsEnabled";
    const std::string hotKey = "settings.tone.hotKey";
    const HotKeyConfig kDefault = HotKeyConfig::defaultConfig();
    const struct {
        std::string key;
        DefaultsValue stored;
        bool mivoEnabled;
        bool vocabulary;
        HotKeyConfig hotKey;
    } cases[] = {
        {enabled, false, false, false, kDefault},
        {enabled, std::string("false"), true, false, kDefault},
        {enabled, std::int64_t{0}, true, false, kDefault},
        {vocabulary, true, true, true, kDefault},
        {vocabulary, std::int64_t{1}, true, false, kDefault},
        {hotKey, DefaultsData{hotKeyJson(kOptionK)}, true, false, kOptionK},
        {hotKey, hotKeyJson(kOptionK), true, false, kDefault},  // text, not data
        {hotKey, DefaultsData{R"({"keyCode":40,"carbonModifiers":2048})"}, true, false, kDefault},
        {hotKey, DefaultsData{"\x01\x02"}, true, false, kDefault},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(i);
        sim::MemoryUserDefaults defaults;
        sim::VirtualClock clock;
        defaults.set(c.key, c.stored);
        MivoSettingsStore store(defaults, clock);
        EXPECT_EQ(store.mivoEnabled(), c.mivoEnabled);
        EXPECT_EQ(store.vocabularySuggestionsEnabled(), c.vocabulary);
        EXPECT_EQ(store.toneHotKey(), c.hotKey);
        EXPECT_EQ(defaults.writeCount(), 1u) << "loading wrote something";
    }
}

TEST_F(SettingsStoreTest, SettingTheValueItAlreadyHasStoresAndReportsNothing) {
    MivoSettingsStore store(defaults, clock);
    int reports = 0;
    store.onMivoEnabledChanged = [&](bool) { ++reports; };
    store.onVocabularySuggestionsChanged = [&](bool) { ++reports; };
    store.onToneHotKeyChanged = [&](const HotKeyConfig&) { ++reports; };
    auto observing = store.addObserver([&](Property) { ++reports; });

    store.setMivoEnabled(true);
    store.setVocabularySuggestionsEnabled(false);
    store.setToneHotKey(HotKeyConfig::defaultConfig());
    clock.advance(1);

    EXPECT_EQ(reports, 0);
    EXPECT_EQ(defaults.writeCount(), 0u);
}

TEST_F(SettingsStoreTest, EnabledIsReportedOneTurnLaterAndOffThenOnArriveInOrder) {
    MivoSettingsStore store(defaults, clock);
    std::vector<bool> reports;
    store.onMivoEnabledChanged = [&](bool on) { reports.push_back(on); };

    store.setMivoEnabled(false);
    EXPECT_EQ(defaults.boolean(MivoSettingsStore::mivoEnabledKey), false);
    store.setMivoEnabled(true);
    EXPECT_TRUE(reports.empty()) << "reported inside the setter";
    EXPECT_EQ(defaults.boolean(MivoSettingsStore::mivoEnabledKey), true);

    clock.advance(0);
    EXPECT_EQ(reports, (std::vector<bool>{false, true}));
}

TEST_F(SettingsStoreTest, EnabledReportOutlivingTheStoreDoesNothing) {
    int reports = 0;
    {
        MivoSettingsStore store(defaults, clock);
        store.onMivoEnabledChanged = [&](bool) { ++reports; };
        store.setMivoEnabled(false);
    }
    clock.advance(0);
    EXPECT_EQ(reports, 0);
}

TEST_F(SettingsStoreTest, VocabularyIsStoredAndReportedAtOnce) {
    MivoSettingsStore store(defaults, clock);
    std::vector<bool> reports;
    store.onVocabularySuggestionsChanged = [&](bool on) { reports.push_back(on); };
    store.setVocabularySuggestionsEnabled(true);
    EXPECT_EQ(reports, (std::vector<bool>{true}));
    EXPECT_EQ(defaults.boolean(MivoSettingsStore::vocabularySuggestionsEnabledKey), true);
    EXPECT_TRUE(MivoSettingsStore(defaults, clock).vocabularySuggestionsEnabled());
}

TEST_F(SettingsStoreTest, HotKeyDifferingOnlyInDisplayIsStoredAndReported) {
    MivoSettingsStore store(defaults, clock);
    std::vector<HotKeyConfig> reports;
    store.onToneHotKeyChanged = [&](const HotKeyConfig& h) { reports.push_back(h); };
    HotKeyConfig renamed = HotKeyConfig::defaultConfig();
    renamed.display = "Super+Shift+J";

    store.setToneHotKey(renamed);

    EXPECT_EQ(reports, (std::vector<HotKeyConfig>{renamed}));
    const auto stored = defaults.data(MivoSettingsStore::toneHotKeyKey);
    ASSERT_TRUE(stored);
    EXPECT_EQ(decodeHotKeyConfig(stored->bytes), renamed);
    EXPECT_EQ(MivoSettingsStore(defaults, clock).toneHotKey(), renamed);
}

TEST_F(SettingsStoreTest, HotKeyThatCannotBeEncodedIsReportedButNotStored) {
    MivoSettingsStore store(defaults, clock);
    std::vector<HotKeyConfig> reports;
    store.onToneHotKeyChanged = [&](const HotKeyConfig& h) { reports.push_back(h); };
    const HotKeyConfig broken{40, HotKeyConfig::commandMask, "\xff\xfe"};

    store.setToneHotKey(broken);

    EXPECT_EQ(reports, (std::vector<HotKeyConfig>{broken}));
    EXPECT_EQ(store.toneHotKey(), broken);
    EXPECT_EQ(defaults.writeCount(), 0u);
}

TEST_F(SettingsStoreTest, RootSettingTheHotKeyBackFromItsHandlerGoesThroughChangeHandling) {
    MivoSettingsStore store(defaults, clock);
    std::vector<HotKeyConfig> reports;
    store.onToneHotKeyChanged = [&](const HotKeyConfig& h) {
        reports.push_back(h);
        if (h == kOptionK)  // refused by the system: back to the one that worked
            store.setToneHotKey(HotKeyConfig::defaultConfig());
    };
    store.setToneHotKey(kOptionK);
    EXPECT_EQ(reports, (std::vector<HotKeyConfig>{kOptionK, HotKeyConfig::defaultConfig()}));
    EXPECT_EQ(store.toneHotKey(), HotKeyConfig::defaultConfig());
    EXPECT_EQ(decodeHotKeyConfig(defaults.data(MivoSettingsStore::toneHotKeyKey)->bytes),
              HotKeyConfig::defaultConfig());
}

TEST_F(SettingsStoreTest, ObserversSeeTheNewValueBeforeTheRootAndStopWhenCancelled) {
    MivoSettingsStore store(defaults, clock);
    std::vector<std::string> seen;
    auto observing = store.addObserver([&](Property p) {
        if (p == Property::vocabularySuggestionsEnabled)
            seen.push_back(store.vocabularySuggestionsEnabled() ? "observer:on" : "observer:off");
        if (p == Property::mivoEnabled)
            seen.push_back(store.mivoEnabled() ? "observer:enabled" : "observer:disabled");
    });
    store.onVocabularySuggestionsChanged = [&](bool) { seen.push_back("root"); };

    store.setVocabularySuggestionsEnabled(true);
    store.setMivoEnabled(false);
    observing.cancel();
    store.setVocabularySuggestionsEnabled(false);

    EXPECT_EQ(seen, (std::vector<std::string>{"observer:on", "root", "observer:disabled", "root"}));
}

}  // namespace
}  // namespace mivo
