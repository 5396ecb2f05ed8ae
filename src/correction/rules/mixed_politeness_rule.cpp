#include "correction/rules/mixed_politeness_rule.hpp"

#include "correction/canonical_strings.hpp"
#include "correction/matching_text.hpp"
#include "correction/pack_decoding.hpp"
#include "shared/json.hpp"
#include "shared/text.hpp"

#include <algorithm>
#include <array>

namespace mivo {
namespace {

// Literals in this file are typed precomposed, so they are NFC keys.

// A morpheme with one of these surfaces makes the sentence polite. The
// analyser cuts ました, ません, でした, でしょう and ましょう before their last
// sound (まし|た), so those are known by the lemma of their first part.
const CanonicalStringSet& politeMarkerSurfaces() {
    static const CanonicalStringSet set(std::array{"です", "ます", "ました", "ません", "でした",
                                                   "ましょう", "でしょう", "でございます", "ござい",
                                                   "ください", "下さい"});
    return set;
}

bool isPoliteMarker(const Morpheme& m) {
    if (m.partOfSpeech == JapanesePartOfSpeech::noun ||
        m.partOfSpeech == JapanesePartOfSpeech::symbol)
        return false;
    if (politeMarkerSurfaces().contains(m.surface))
        return true;
    // The IPA dictionary's auxiliaries have no part of speech of their own
    // here: they come as unknown.
    const bool auxiliary = m.partOfSpeech == JapanesePartOfSpeech::auxiliaryVerb ||
                           m.partOfSpeech == JapanesePartOfSpeech::unknown;
    return auxiliary &&
           (canonicallyEqualsKey(m.lemma, "です") || canonicallyEqualsKey(m.lemma, "ます"));
}

// Brackets whose inside is an aside: a polite word quoted there does not set
// the sentence's register, and a sentence that stops inside one has not
// reached the end of its clause. +1 for an opening bracket, -1 for a
// closing one, 0 for any other Character.
int bracket(std::string_view c) {
    if (c.size() == 1) {
        return c[0] == '(' || c[0] == '[' ? 1 : c[0] == ')' || c[0] == ']' ? -1 : 0;
    }
    if (c.size() != 3)
        return 0;
    static constexpr std::pair<std::string_view, std::string_view> kPairs[] = {
        {"（", "）"}, {"［", "］"}, {"「", "」"}, {"『", "』"}, {"【", "】"}};
    for (const auto& [open, close] : kPairs) {
        if (c == open)
            return 1;
        if (c == close)
            return -1;
    }
    return 0;
}

// Per Character, how many brackets are open before it (count()+1 values).
std::vector<int> bracketDepths(const MatchingText& sentence) {
    std::vector<int> depth(static_cast<std::size_t>(sentence.count()) + 1, 0);
    int open = 0;
    for (int64_t i = 0; i < sentence.count(); ++i) {
        const int change = bracket(sentence.character(i));
        if (change < 0)
            open = std::max(open - 1, 0);
        depth[static_cast<std::size_t>(i)] = open;
        if (change > 0)
            ++open;
    }
    depth.back() = open;
    return depth;
}

// A sentence ending in one of these already ends politely.
const std::vector<MatchingText>& politeTrailingSuffixes() {
    static const std::vector<MatchingText> suffixes = [] {
        std::vector<MatchingText> out;
        for (const char* s : {"ませんでした", "ましょう", "でしょう", "でした", "ました", "ません",
                              "ます", "です", "ください", "下さい"}) {
            out.emplace_back(s);
        }
        return out;
    }();
    return suffixes;
}

constexpr std::array<std::string_view, 12> kTrailingSymbols{"。", "．", ".", "！", "!",  "？",
                                                            "?",  "、", ",", " ",  "\n", "\t"};

const CanonicalStringMap<std::string>& dictionaryFormSuggestions() {
    static const CanonicalStringMap<std::string> map = [] {
        CanonicalStringMap<std::string> m;
        for (const auto& [plain, polite] :
             std::initializer_list<std::pair<const char*, const char*>>{
                 {"する", "します"},
                 {"来る", "来ます"},
                 {"行く", "行きます"},
                 {"ある", "あります"},
                 {"見る", "見ます"},
                 {"食べる", "食べます"},
                 {"思う", "思います"},
                 {"言う", "言います"},
                 {"書く", "書きます"},
                 {"読む", "読みます"},
                 {"聞く", "聞きます"},
                 {"話す", "話します"},
                 {"作る", "作ります"},
             }) {
            m.insert(plain, polite);
        }
        return m;
    }();
    return map;
}

std::string standardExplanation(std::string_view polite) {
    return "This sentence mixes polite and plain verb forms. Use \"" + std::string(polite) +
           "\" to keep the register consistent.";
}

PolitenessAspectEnding endingFromJson(const json::Json& j) {
    PolitenessAspectEnding e;
    e.plain = json::requireString(j, "plain");
    e.polite = json::requireString(j, "polite");
    e.severity = packs::requireSeverity(j);
    e.confidence = json::requireNumber(j, "confidence");
    e.explanationEn = packs::optionalString(j, "explanationEn");
    return e;
}

// A verb whose stem before ない is also its stem before ません: 食べ, 見, い,
// 来 (written in kanji) and する's し; a godan stem changes (行か → 行き).
bool keepsStemBeforeMasu(const Morpheme& m) {
    if (m.partOfSpeech != JapanesePartOfSpeech::verb)
        return false;
    const std::string surface = canonicalKey(m.surface);
    const std::string lemma = canonicalKey(m.lemma);
    return surface + "る" == lemma || (lemma == "する" && surface == "し");
}

}  // namespace

// The sentence as the text rules already segmented it, and where its
// trailing symbols begin.
struct MixedPolitenessRule::Tail {
    const MatchingText& characters;
    int64_t end = 0;  // Characters

    explicit Tail(const MatchingText& sentence) : characters(sentence), end(sentence.count()) {
        while (end > 0 && std::find(kTrailingSymbols.begin(), kTrailingSymbols.end(),
                                    characters.character(end - 1)) != kTrailingSymbols.end()) {
            --end;
        }
    }

    // Where `suffix` starts when the trimmed sentence ends with it.
    std::optional<int64_t> suffixStart(const MatchingText& suffix) const {
        const int64_t start = end - suffix.count();
        if (start < 0 || !characters.matchesAt(suffix, start))
            return std::nullopt;
        return start;
    }
};

PolitenessAspectRulePack politenessAspectRulePackFromJson(const json::Json& j) {
    json::requireObject(j, "politeness-aspect-map");
    return PolitenessAspectRulePack{packs::requireArrayOf(j, "endings", endingFromJson)};
}

const PolitenessAspectRulePack& MixedPolitenessRule::fallbackRulePack() {
    using Severity = CorrectionIssue::Severity;
    static const PolitenessAspectRulePack pack{
        .endings = {
            {"ていなかった", "ていませんでした", Severity::unnatural, 0.85, std::nullopt},
            {"ていない", "ていません", Severity::unnatural, 0.85, std::nullopt},
            {"ていた", "ていました", Severity::style, 0.78, std::nullopt},
            {"ている", "ています", Severity::style, 0.78, std::nullopt},
            {"ではなかった", "ではありませんでした", Severity::unnatural, 0.82, std::nullopt},
            {"じゃなかった", "ではありませんでした", Severity::unnatural, 0.82, std::nullopt},
            {"ではない", "ではありません", Severity::unnatural, 0.82, std::nullopt},
            {"じゃない", "ではありません", Severity::unnatural, 0.82, std::nullopt},
            {"なかった", "ませんでした", Severity::unnatural, 0.78, std::nullopt},
            {"ない", "ません", Severity::unnatural, 0.75, std::nullopt},
            {"だった", "でした", Severity::style, 0.78, std::nullopt},
            {"だ", "です", Severity::style, 0.7, std::nullopt},
        }};
    return pack;
}

MixedPolitenessRule::MixedPolitenessRule(const PolitenessAspectRulePack& rulePack) {
    endings_.reserve(rulePack.endings.size());
    for (const PolitenessAspectEnding& e : rulePack.endings) {
        Ending ending;
        ending.plain = MatchingText(e.plain);
        // An empty ending would only ever insert text after the sentence.
        if (ending.plain.empty())
            continue;
        const std::string_view plain = ending.plain.normalized();
        if (plain == "ない" || plain == "なかった")
            ending.attachment = Attachment::unchangedVerbStem;
        else if (plain == "だ" || plain == "だった")
            ending.attachment = Attachment::notVerbOrAdjective;
        ending.source = e;
        endings_.push_back(std::move(ending));
    }
    std::stable_sort(endings_.begin(), endings_.end(), [](const Ending& a, const Ending& b) {
        return a.plain.count() > b.plain.count();
    });
}

std::optional<CorrectionIssue> MixedPolitenessRule::aspectIssue(
    const std::vector<Morpheme>& morphemes, const Tail& tail, const TextRange& sentenceRange,
    std::string_view sentenceId) const {
    for (const Ending& ending : endings_) {
        const auto start = tail.suffixStart(ending.plain);
        if (!start)
            continue;
        // Swapping the tail is only sound where it is a whole run of
        // morphemes (not the ない of 少ない) ...
        const auto first = std::find_if(morphemes.begin(), morphemes.end(),
                                        [&](const Morpheme& m) { return m.range.start == *start; });
        if (first == morphemes.end())
            continue;
        // ... and where the word before it takes the polite form unchanged.
        const Morpheme* before = first == morphemes.begin() ? nullptr : &*(first - 1);
        if (ending.attachment == Attachment::unchangedVerbStem &&
            (before == nullptr || !keepsStemBeforeMasu(*before))) {
            continue;
        }
        if (ending.attachment == Attachment::notVerbOrAdjective && before != nullptr &&
            (before->partOfSpeech == JapanesePartOfSpeech::verb ||
             before->partOfSpeech == JapanesePartOfSpeech::adjective)) {
            continue;
        }
        const PolitenessAspectEnding& e = ending.source;
        return makeIssue(
            IssueFields{.start = *start,
                        .end = tail.end,
                        .severity = e.severity,
                        .category = CorrectionIssue::Category::style,
                        .original = tail.characters.slice(*start, tail.end),
                        .suggestion = e.polite,
                        .explanationEn = e.explanationEn.value_or(standardExplanation(e.polite)),
                        .confidence = e.confidence},
            sentenceRange, sentenceId);
    }
    return std::nullopt;
}

std::vector<CorrectionIssue> MixedPolitenessRule::apply(std::string_view text,
                                                        const std::vector<Morpheme>& morphemes,
                                                        const TextRange& sentenceRange,
                                                        std::string_view sentenceId) const {
    if (morphemes.empty())
        return {};
    const auto sentenceHeld = MatchingText::of(text);
    const MatchingText& sentence = *sentenceHeld;
    // With the morphemes at hand a polite marker is a word of its own, and
    // one outside any brackets.
    if (std::none_of(morphemes.begin(), morphemes.end(), isPoliteMarker))
        return {};
    const std::vector<int> depth = bracketDepths(sentence);
    const bool polite = std::any_of(morphemes.begin(), morphemes.end(), [&](const Morpheme& m) {
        return isPoliteMarker(m) && m.range.start >= 0 && m.range.start < sentence.count() &&
               depth[static_cast<std::size_t>(m.range.start)] == 0;
    });
    if (!polite)
        return {};
    const Tail tail(sentence);
    if (tail.end == 0 || depth[static_cast<std::size_t>(tail.end)] > 0)
        return {};
    for (const MatchingText& suffix : politeTrailingSuffixes()) {
        if (tail.suffixStart(suffix))
            return {};
    }
    if (auto issue = aspectIssue(morphemes, tail, sentenceRange, sentenceId))
        return {std::move(*issue)};

    // A dictionary-form verb that ends the sentence, trailing symbols apart.
    auto last = std::find_if(morphemes.rbegin(), morphemes.rend(), [](const Morpheme& m) {
        return m.partOfSpeech != JapanesePartOfSpeech::symbol;
    });
    if (last == morphemes.rend() || last->partOfSpeech != JapanesePartOfSpeech::verb ||
        !canonicallyEqualsKey(last->surface, canonicalKey(last->lemma))) {
        return {};
    }
    const std::string* politeForm = dictionaryFormSuggestions().find(last->lemma);
    if (politeForm == nullptr || last->range.end > sentence.count())
        return {};
    return {makeIssue(IssueFields{.start = last->range.start,
                                  .end = last->range.end,
                                  .severity = CorrectionIssue::Severity::style,
                                  .category = CorrectionIssue::Category::style,
                                  .original = sentence.slice(last->range.start, last->range.end),
                                  .suggestion = *politeForm,
                                  .explanationEn = standardExplanation(*politeForm),
                                  .confidence = 0.78},
                      sentenceRange, sentenceId)};
}

}  // namespace mivo
