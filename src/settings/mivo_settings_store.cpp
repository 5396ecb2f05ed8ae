#include "settings/mivo_settings_store.hpp"

#include <optional>
#include <string>
#include <utility>

#include "shared/json.hpp"
#include "shared/records_json.hpp"

namespace mivo {
namespace {

// The JSON form of a hotkey; nothing when it cannot be encoded (a display
// text that is not valid UTF-8).
std::optional<std::string> encodeHotKey(const HotKeyConfig& hotKey) {
    try {
        return toJson(hotKey).dump();
    } catch (const json::Json::exception&) {
        return std::nullopt;
    }
}

}  // namespace

MivoSettingsStore::MivoSettingsStore(UserDefaults& defaults, Scheduler& scheduler)
    : defaults_(defaults), scheduler_(scheduler) {
    // A value stored with another type than expected reads as the default.
    mivoEnabled_ = defaults_.boolean(mivoEnabledKey).value_or(true);
    vocabularySuggestionsEnabled_ =
        defaults_.boolean(vocabularySuggestionsEnabledKey).value_or(false);
    toneHotKey_ = HotKeyConfig::defaultConfig();
    if (const auto data = defaults_.data(toneHotKeyKey)) {
        if (auto decoded = decodeHotKeyConfig(data->bytes))
            toneHotKey_ = std::move(*decoded);
    }
}

void MivoSettingsStore::setMivoEnabled(bool enabled) {
    if (enabled == mivoEnabled_)
        return;
    mivoEnabled_ = enabled;
    defaults_.set(mivoEnabledKey, enabled);
    notifyObservers(Property::mivoEnabled);
    scheduler_.after(0, [this, life = std::weak_ptr<const bool>(life_), enabled] {
        if (life.expired())
            return;
        if (onMivoEnabledChanged)
            onMivoEnabledChanged(enabled);
    });
}

void MivoSettingsStore::setVocabularySuggestionsEnabled(bool enabled) {
    if (enabled == vocabularySuggestionsEnabled_)
        return;
    vocabularySuggestionsEnabled_ = enabled;
    defaults_.set(vocabularySuggestionsEnabledKey, enabled);
    notifyObservers(Property::vocabularySuggestionsEnabled);
    if (onVocabularySuggestionsChanged)
        onVocabularySuggestionsChanged(enabled);
}

void MivoSettingsStore::setToneHotKey(const HotKeyConfig& hotKey) {
    if (hotKey == toneHotKey_)
        return;
    toneHotKey_ = hotKey;
    // A hotkey that cannot be encoded still reaches the root, so the running
    // program uses it until the next launch.
    if (const auto encoded = encodeHotKey(hotKey))
        defaults_.set(toneHotKeyKey, DefaultsData{*encoded});
    notifyObservers(Property::toneHotKey);
    // A copy: the root's handler may set the hotkey back while it runs.
    const HotKeyConfig changed = toneHotKey_;
    if (onToneHotKeyChanged)
        onToneHotKeyChanged(changed);
}

Cancel MivoSettingsStore::addObserver(std::function<void(Property)> observer) {
    const uint64_t id = nextObserverId_++;
    observers_->emplace(id, std::move(observer));
    return Cancel([weak = std::weak_ptr(observers_), id] {
        if (const auto observers = weak.lock())
            observers->erase(id);
    });
}

void MivoSettingsStore::notifyObservers(Property property) {
    // A copy: an observer may add or cancel observers while it runs.
    const auto observers = *observers_;
    for (const auto& [id, observer] : observers) {
        if (observers_->contains(id) && observer)
            observer(property);
    }
}

}  // namespace mivo
