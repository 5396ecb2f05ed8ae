#include "correction/rules/transitive_intransitive_pair_rule.hpp"

#include "correction/morpheme_search.hpp"
#include "correction/pack_decoding.hpp"
#include "shared/json.hpp"

#include <array>
#include <optional>

namespace mivo {
namespace {

// The verb is looked for this far after the particle.
constexpr std::size_t kVerbWindow = 4;

constexpr std::string_view kWo = "を";
constexpr std::string_view kGa = "が";
constexpr std::string_view kMasu = "ます";
// The polite endings the tokenizer leaves after a verb's stem; ません may
// also come as ませ + ん, which the lemma ます catches.
constexpr std::array<std::string_view, 4> kPoliteEndings{"ます", "まし", "ました", "ません"};

bool isPoliteEnding(const Morpheme& m) {
    if (canonicallyEqualsKey(m.lemma, kMasu))
        return true;
    for (std::string_view ending : kPoliteEndings) {
        if (canonicallyEqualsKey(m.surface, ending))
            return true;
    }
    return false;
}

PairFrame pairFrameFromJson(const json::Json& j) {
    PairFrame frame;
    frame.intransitive = json::requireString(j, "intransitive");
    frame.transitive = json::requireString(j, "transitive");
    frame.nouns = packs::requireStringSet(j, "nouns");
    frame.politeStems = packs::requireStringMap(j, "politeStems");
    return frame;
}

}  // namespace

PairRulePack pairRulePackFromJson(const json::Json& j) {
    json::requireObject(j, "transitivity-pairs");
    return PairRulePack{packs::requireArrayOf(j, "pairs", pairFrameFromJson)};
}

const PairRulePack& TransitiveIntransitivePairRule::fallbackRulePack() {
    static const PairRulePack pack{
        .pairs = {
            {"始まる",
             "始める",
             {"会議", "授業", "イベント", "仕事", "式"},
             {{"始まる", "始まり"}, {"始める", "始め"}}},
            {"閉まる",
             "閉める",
             {"ドア", "窓", "扉", "店"},
             {{"閉まる", "閉まり"}, {"閉める", "閉め"}}},
            {"落ちる",
             "落とす",
             {"荷物", "資料", "財布", "鍵"},
             {{"落ちる", "落ち"}, {"落とす", "落とし"}}},
            {"消える",
             "消す",
             {"電気", "明かり", "画面", "通知"},
             {{"消える", "消え"}, {"消す", "消し"}}},
            {"入る",
             "入れる",
             {"予定", "情報", "資料", "データ"},
             {{"入る", "入り"}, {"入れる", "入れ"}}},
            {"見つかる", "見つける", {}, {{"見つかる", "見つかり"}, {"見つける", "見つけ"}}},
            {"上がる", "上げる", {}, {{"上がる", "上がり"}, {"上げる", "上げ"}}},
        }};
    return pack;
}

TransitiveIntransitivePairRule::TransitiveIntransitivePairRule(const PairRulePack& rulePack) {
    frames_.reserve(rulePack.pairs.size());
    for (const PairFrame& p : rulePack.pairs) {
        Frame frame{.intransitiveKey = canonicalKey(p.intransitive),
                    .transitiveKey = canonicalKey(p.transitive),
                    .intransitive = p.intransitive,
                    .transitive = p.transitive,
                    .nouns = CanonicalStringSet(p.nouns),
                    .politeStems = {}};
        for (const auto& [verb, stem] : p.politeStems)
            frame.politeStems.insert(verb, stem);
        frames_.push_back(std::move(frame));
    }
}

const TransitiveIntransitivePairRule::Frame* TransitiveIntransitivePairRule::frameFor(
    const Morpheme& verb, const Morpheme& noun) const {
    for (const Frame& frame : frames_) {
        if (!canonicallyEqualsKey(verb.lemma, frame.intransitiveKey) &&
            !canonicallyEqualsKey(verb.lemma, frame.transitiveKey)) {
            continue;
        }
        if (frame.nouns.empty() || frame.nouns.contains(noun.surface) ||
            frame.nouns.contains(noun.lemma)) {
            return &frame;
        }
    }
    return nullptr;
}

std::vector<CorrectionIssue> TransitiveIntransitivePairRule::apply(
    std::string_view text, const std::vector<Morpheme>& morphemes, const TextRange& sentenceRange,
    std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    forEachParticleAfterAWord(morphemes, [&](std::size_t i) {
        const Morpheme& particle = morphemes[i];
        const bool isWo = canonicallyEqualsKey(particle.surface, kWo);
        if (!isWo && !canonicallyEqualsKey(particle.surface, kGa))
            return;
        const Morpheme* noun = nearestNounBefore(morphemes, i);
        if (noun == nullptr)
            return;
        const auto verbIndex = nextOfKind(morphemes, i, kVerbWindow, {JapanesePartOfSpeech::verb});
        if (!verbIndex)
            return;
        // Another を or が before the verb is the one that goes with it:
        // 彼が鍵を見つける has its object, and the が marks its subject.
        for (std::size_t k = i + 1; k < *verbIndex; ++k) {
            if (morphemes[k].partOfSpeech == JapanesePartOfSpeech::particle &&
                (canonicallyEqualsKey(morphemes[k].surface, kWo) ||
                 canonicallyEqualsKey(morphemes[k].surface, kGa))) {
                return;
            }
        }
        const Morpheme& verb = morphemes[*verbIndex];
        const Frame* frame = frameFor(verb, *noun);
        if (frame == nullptr)
            return;

        const std::string* target = nullptr;
        const std::string* targetKey = nullptr;
        std::string explanation;
        if (isWo && canonicallyEqualsKey(verb.lemma, frame->intransitiveKey)) {
            target = &frame->transitive;
            targetKey = &frame->transitiveKey;
            explanation = "\"" + noun->surface + "を" + verb.surface +
                          "\" uses an intransitive verb with を. Use the transitive pair \"" +
                          frame->transitive + "\".";
        } else if (!isWo && canonicallyEqualsKey(verb.lemma, frame->transitiveKey)) {
            target = &frame->intransitive;
            targetKey = &frame->intransitiveKey;
            explanation = "\"" + noun->surface + "が" + verb.surface +
                          "\" uses a transitive verb with が. Use the intransitive pair \"" +
                          frame->intransitive + "\".";
        } else {
            return;
        }

        // The replacement must fit the text that stays around the verb: the
        // dictionary form for a verb in dictionary form, the stem before a
        // polite ending. Any other inflection (閉めた, 閉めて) would need
        // conjugating the other verb, so nothing is offered there.
        std::string suggestion;
        if (canonicallyEqualsKey(verb.lemma, canonicalKey(verb.surface))) {
            suggestion = *target;
        } else if (*verbIndex + 1 < morphemes.size() && isPoliteEnding(morphemes[*verbIndex + 1])) {
            const std::string* stem = frame->politeStems.find(*targetKey);
            if (stem == nullptr)
                return;
            suggestion = *stem;
        } else {
            return;
        }

        auto original = writtenText(text, verb.range.start, verb.range.end);
        if (!original)
            return;
        issues.push_back(makeIssue(IssueFields{.start = verb.range.start,
                                               .end = verb.range.end,
                                               .severity = CorrectionIssue::Severity::critical,
                                               .category = CorrectionIssue::Category::grammar,
                                               .original = std::move(*original),
                                               .suggestion = std::move(suggestion),
                                               .explanationEn = std::move(explanation),
                                               .confidence = 0.86},
                                   sentenceRange, sentenceId));
    });
    return issues;
}

}  // namespace mivo
