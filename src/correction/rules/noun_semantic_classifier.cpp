#include "correction/rules/noun_semantic_classifier.hpp"

#include "correction/pack_decoding.hpp"
#include "correction/rule_pack.hpp"
#include "shared/json.hpp"
#include "shared/text.hpp"

#include <algorithm>
#include <array>

namespace mivo {
namespace {

// Surface, then lemma, in NFC; without empty forms, the analyser's "*"
// placeholder for a missing lemma, and a lemma equal to the surface.
std::vector<std::string> normalizedForms(const Morpheme& m) {
    std::vector<std::string> forms;
    for (const std::string* raw : std::array{&m.surface, &m.lemma}) {
        std::string form = canonicalKey(*raw);
        if (form.empty() || form == "*")
            continue;
        if (std::find(forms.begin(), forms.end(), form) != forms.end())
            continue;
        forms.push_back(std::move(form));
    }
    return forms;
}

// `form` (NFC) ends with the suffix and has at least one Character before it.
bool endsWithShorterSuffix(const text::CharacterText& form, std::string_view suffix,
                           int64_t suffixCharacters) {
    const std::string& s = form.str();
    if (suffixCharacters >= form.count() || suffix.size() >= s.size())
        return false;
    const std::size_t start = s.size() - suffix.size();
    return std::string_view(s).substr(start) == suffix && form.characterIndex(start).has_value();
}

}  // namespace

NounSemanticClassRulePack nounSemanticClassRulePackFromJson(const json::Json& j) {
    json::requireObject(j, "noun-semantic-classes");
    NounSemanticClassRulePack pack;
    pack.explicitDestinations = packs::requireStringSet(j, "explicitDestinations");
    pack.explicitPaths = packs::requireStringSet(j, "explicitPaths");
    pack.destinationSuffixes = json::requireStringArray(j, "destinationSuffixes");
    return pack;
}

const NounSemanticClassRulePack& NounSemanticClassifier::fallbackRulePack() {
    static const NounSemanticClassRulePack pack{
        .explicitDestinations = {"会社",   "学校", "大学", "会議", "会場",   "オフィス",
                                 "東京",   "大阪", "京都", "日本", "駅",     "空港",
                                 "病院",   "家",   "店",   "役所", "銀行",   "教室",
                                 "会議室", "本社", "支社", "支店", "ホテル", "市役所"},
        .explicitPaths = {"道", "道路", "橋", "公園", "空", "海", "川", "廊下", "通路", "階段"},
        .destinationSuffixes = {"駅",     "大学", "学校",     "病院", "空港",     "会場",
                                "会議室", "教室", "オフィス", "役所", "銀行",     "支店",
                                "本社",   "支社", "ホテル",   "ビル", "センター", "市",
                                "区",     "町",   "村",       "県",   "府",       "都"},
    };
    return pack;
}

NounSemanticClassifier NounSemanticClassifier::loadDefault() {
    return loadDefault(localCorrectionResources());
}

NounSemanticClassifier NounSemanticClassifier::loadDefault(const ResourceBundle& bundle) {
    return NounSemanticClassifier(
        loadRulePack(packName, &nounSemanticClassRulePackFromJson, fallbackRulePack(), bundle));
}

NounSemanticClassifier::NounSemanticClassifier(const NounSemanticClassRulePack& rulePack)
    : explicitDestinations_(rulePack.explicitDestinations), explicitPaths_(rulePack.explicitPaths) {
    for (const auto& suffix : rulePack.destinationSuffixes) {
        std::string key = canonicalKey(suffix);
        const int64_t n = text::characterCount(key);
        destinationSuffixes_.push_back(Suffix{std::move(key), n});
    }
    std::stable_sort(destinationSuffixes_.begin(), destinationSuffixes_.end(),
                     [](const Suffix& a, const Suffix& b) { return a.characters > b.characters; });
}

NounSemanticClass NounSemanticClassifier::semanticClass(const Morpheme& morpheme) const {
    const auto forms = normalizedForms(morpheme);
    // A path reading of either form beats any destination reading.
    for (const auto& form : forms) {
        if (explicitPaths_.contains(form))
            return NounSemanticClass::path;
    }
    for (const auto& form : forms) {
        if (explicitDestinations_.contains(form))
            return NounSemanticClass::destination;
    }
    for (const auto& form : forms) {
        const text::CharacterText characters{form};
        for (const auto& suffix : destinationSuffixes_) {
            if (endsWithShorterSuffix(characters, suffix.key, suffix.characters))
                return NounSemanticClass::destination;
        }
    }
    return NounSemanticClass::other;
}

}  // namespace mivo
