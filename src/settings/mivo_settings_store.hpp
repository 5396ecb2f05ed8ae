#pragma once

// The user's three preferences: Mivo on or off, vocabulary style
// suggestions, the rewrite hotkey. Loaded once from the user defaults; each
// change is written back at once and reported. Nothing is written until the
// user changes something, so the defaults of a later version still apply to
// a preference the user never touched.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string_view>

#include "platform/cancel.hpp"
#include "platform/scheduler.hpp"
#include "platform/user_defaults.hpp"
#include "shared/hotkey_config.hpp"

namespace mivo {

class MivoSettingsStore final {
  public:
    static constexpr std::string_view mivoEnabledKey = "settings.application.mivoEnabled";
    static constexpr std::string_view vocabularySuggestionsEnabledKey =
        "settings.localCorrection.vocabularySuggestionsEnabled";
    static constexpr std::string_view toneHotKeyKey = "settings.tone.hotKey";

    enum class Property { mivoEnabled, vocabularySuggestionsEnabled, toneHotKey };

    // Both must outlive the store. Loads the three values; writes nothing
    // and reports nothing.
    MivoSettingsStore(UserDefaults& defaults, Scheduler& scheduler);
    MivoSettingsStore(const MivoSettingsStore&) = delete;
    MivoSettingsStore& operator=(const MivoSettingsStore&) = delete;

    bool mivoEnabled() const { return mivoEnabled_; }
    bool vocabularySuggestionsEnabled() const { return vocabularySuggestionsEnabled_; }
    const HotKeyConfig& toneHotKey() const { return toneHotKey_; }

    // Setting the value a property already has stores and reports nothing.
    void setMivoEnabled(bool enabled);
    void setVocabularySuggestionsEnabled(bool enabled);
    void setToneHotKey(const HotKeyConfig& hotKey);

    // --- Set by the composition root --------------------------------------
    // One turn of the main loop after the setter returned, so that turning
    // Mivo off never stops the monitor from inside the settings window's
    // own event.
    std::function<void(bool)> onMivoEnabledChanged;
    // At once, inside the setter.
    std::function<void(bool)> onVocabularySuggestionsChanged;
    std::function<void(const HotKeyConfig&)> onToneHotKeyChanged;

    // --- For views bound to the store (the settings window) ---------------
    // Called at once, after a property took a new value and was stored,
    // before the root's callback; a view reads the new value back from the
    // store. Cancel the handle to stop observing.
    Cancel addObserver(std::function<void(Property)> observer);

  private:
    void notifyObservers(Property property);

    UserDefaults& defaults_;
    Scheduler& scheduler_;
    bool mivoEnabled_ = true;
    bool vocabularySuggestionsEnabled_ = false;
    HotKeyConfig toneHotKey_;
    // Lets a deferred report find out that the store is gone.
    std::shared_ptr<const bool> life_ = std::make_shared<const bool>(true);
    // Shared with the observers' handles, which may outlive the store.
    std::shared_ptr<std::map<uint64_t, std::function<void(Property)>>> observers_ =
        std::make_shared<std::map<uint64_t, std::function<void(Property)>>>();
    uint64_t nextObserverId_ = 0;
};

}  // namespace mivo
