#include "correction/rules/token_aware_vocabulary_rule.hpp"

#include "correction/canonical_strings.hpp"
#include "correction/morpheme_search.hpp"
#include "correction/pack_decoding.hpp"
#include "correction/rule_pack.hpp"
#include "shared/json.hpp"
#include "shared/text.hpp"

#include <algorithm>

namespace mivo {
namespace {

VocabularyEntry entryFromJson(const json::Json& j) {
    json::requireObject(j, "vocabulary entry");
    VocabularyEntry e;
    e.pattern = json::requireString(j, "pattern");
    e.suggestion = json::requireString(j, "suggestion");
    e.severity = packs::requireSeverity(j);
    e.category = packs::requireCategory(j);
    e.notFollowedBy = packs::optionalString(j, "notFollowedBy");
    e.explanationEn = json::requireString(j, "explanationEn");
    if (const json::Json* list = packs::optionalMember(j, "posWhitelist")) {
        json::requireArray(*list, "posWhitelist");
        std::vector<JapanesePartOfSpeech> parts;
        for (const json::Json& pos : *list)
            parts.push_back(packs::partOfSpeechFromJson(pos, "posWhitelist"));
        e.posWhitelist = std::move(parts);
    }
    e.confidence = packs::optionalNumber(j, "confidence");
    e.requireWordBoundary = json::requireBool(j, "requireWordBoundary");
    return e;
}

// The sentence's surfaces in NFC, each with its length in Characters (the
// morpheme's range), worked out once per call and shared by every entry.
class Surfaces {
  public:
    explicit Surfaces(const std::vector<Morpheme>& morphemes) {
        // Reserved up front: views into owned strings must not move.
        owned_.reserve(morphemes.size());
        views_.reserve(morphemes.size());
        characters_.reserve(morphemes.size());
        for (const Morpheme& m : morphemes) {
            if (isCanonicalKey(m.surface)) {
                views_.push_back(m.surface);
            } else {
                views_.push_back(owned_.emplace_back(canonicalKey(m.surface)));
            }
            characters_.push_back(std::max<int64_t>(m.range.length(), 0));
        }
    }

    std::size_t size() const { return views_.size(); }
    std::string_view at(std::size_t k) const { return views_[k]; }
    int64_t characters(std::size_t k) const { return characters_[k]; }

  private:
    std::vector<std::string> owned_;
    std::vector<std::string_view> views_;
    std::vector<int64_t> characters_;
};

// The end index of the run of whole morphemes from `start` whose joined
// surfaces equal `pattern`; nothing when the pattern ends inside a morpheme
// or differs.
std::optional<std::size_t> matchRun(const Surfaces& surfaces, std::size_t start,
                                    std::string_view pattern, int64_t patternCharacters) {
    std::size_t end = start;
    std::size_t offset = 0;
    int64_t joined = 0;
    while (end < surfaces.size() && joined < patternCharacters) {
        const std::string_view s = surfaces.at(end);
        if (pattern.substr(offset, s.size()) != s)
            return std::nullopt;
        offset += s.size();
        joined += surfaces.characters(end);
        ++end;
    }
    if (offset != pattern.size())
        return std::nullopt;
    return end;
}

// The text of the morphemes from `from` on begins with `prefix` (NFC), the
// prefix ending on a Character boundary.
bool followedBy(const Surfaces& surfaces, std::size_t from, std::string_view prefix) {
    std::size_t offset = 0;
    for (std::size_t k = from; offset < prefix.size(); ++k) {
        if (k >= surfaces.size())
            return false;
        const std::string_view s = surfaces.at(k);
        const std::size_t n = std::min(s.size(), prefix.size() - offset);
        if (s.substr(0, n) != prefix.substr(offset, n))
            return false;
        offset += n;
        // Ending inside a morpheme: only where a Character ends there.
        if (offset == prefix.size() && n < s.size())
            return text::CharacterText(std::string(s)).characterIndex(n).has_value();
    }
    return true;
}

}  // namespace

std::vector<VocabularyEntry> vocabularyEntriesFromJson(const json::Json& j) {
    json::requireArray(j, "vocabulary");
    std::vector<VocabularyEntry> entries;
    entries.reserve(j.size());
    for (const json::Json& e : j)
        entries.push_back(entryFromJson(e));
    return entries;
}

const std::vector<VocabularyEntry>& TokenAwareVocabularyRule::fallbackEntries() {
    using Severity = CorrectionIssue::Severity;
    static const std::vector<VocabularyEntry> entries{
        {.pattern = "わかりました",
         .suggestion = "承知しました",
         .severity = Severity::style,
         .explanationEn = "\"承知しました\" is the polished business standard. \"わかりました\" "
                          "sounds casual in formal correspondence.",
         .confidence = 0.9},
        {.pattern = "すみません",
         .suggestion = "申し訳ございません",
         .severity = Severity::style,
         .explanationEn = "\"申し訳ございません\" is more formal. \"すみません\" is polite, but "
                          "less business-formal.",
         .confidence = 0.82},
        {.pattern = "どうも",
         .suggestion = "ありがとうございます",
         .severity = Severity::style,
         .explanationEn =
             "\"どうも\" is too casual. Use \"ありがとうございます\" for a polite acknowledgment.",
         .posWhitelist = std::vector{JapanesePartOfSpeech::adverb, JapanesePartOfSpeech::unknown},
         .confidence = 0.65},
        {.pattern = "よろしく",
         .suggestion = "よろしくお願いいたします",
         .severity = Severity::unnatural,
         .notFollowedBy = "お願い",
         .explanationEn = "Bare \"よろしく\" is casual. The full form \"よろしくお願いいたします\" "
                          "is expected in business.",
         .confidence = 0.9},
        {.pattern = "ありがとう",
         .suggestion = "ありがとうございます",
         .severity = Severity::unnatural,
         .notFollowedBy = "ございます",
         .explanationEn = "\"ありがとうございます\" is the formal form. Bare \"ありがとう\" is too "
                          "casual for business.",
         .confidence = 0.9},
        {.pattern = "ごめん",
         .suggestion = "申し訳ありません",
         .severity = Severity::style,
         .explanationEn = "\"申し訳ありません\" is the formal apology. \"ごめん\" is grammatical "
                          "but too casual for business writing.",
         .confidence = 0.82},
    };
    return entries;
}

std::vector<VocabularyEntry> TokenAwareVocabularyRule::loadEntries() {
    return loadEntries(localCorrectionResources());
}

std::vector<VocabularyEntry> TokenAwareVocabularyRule::loadEntries(const ResourceBundle& bundle) {
    std::vector<VocabularyEntry> entries;
    if (RulePackResource::decodeTopLevelResource(bundle, resourceName, [&](const json::Json& j) {
            entries = vocabularyEntriesFromJson(j);
        })) {
        return entries;
    }
    return fallbackEntries();
}

TokenAwareVocabularyRule::TokenAwareVocabularyRule(std::vector<VocabularyEntry> entries)
    : entries_(std::move(entries)) {
    prepared_.reserve(entries_.size());
    for (const VocabularyEntry& e : entries_) {
        Entry p;
        p.pattern = canonicalKey(e.pattern);
        p.patternCharacters = text::characterCount(p.pattern);
        if (e.notFollowedBy)
            p.notFollowedBy = canonicalKey(*e.notFollowedBy);
        p.posWhitelist = e.posWhitelist.value_or(std::vector<JapanesePartOfSpeech>{});
        p.confidence = e.confidence.value_or(0.9);
        p.endsAlike = endsAlike(e.pattern, e.suggestion);
        prepared_.push_back(std::move(p));
    }
}

std::vector<CorrectionIssue> TokenAwareVocabularyRule::apply(std::string_view text,
                                                             const std::vector<Morpheme>& morphemes,
                                                             const TextRange& sentenceRange,
                                                             std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    if (morphemes.empty() || entries_.empty())
        return issues;
    const Surfaces surfaces(morphemes);
    for (std::size_t e = 0; e < prepared_.size(); ++e) {
        const Entry& entry = prepared_[e];
        for (std::size_t start = 0; start < morphemes.size(); ++start) {
            const auto end = matchRun(surfaces, start, entry.pattern, entry.patternCharacters);
            // An empty pattern matches no morpheme and reports nothing.
            if (!end || *end == start)
                continue;
            if (!entry.posWhitelist.empty() &&
                std::none_of(
                    morphemes.begin() + static_cast<std::ptrdiff_t>(start),
                    morphemes.begin() + static_cast<std::ptrdiff_t>(*end), [&](const Morpheme& m) {
                        return std::find(entry.posWhitelist.begin(), entry.posWhitelist.end(),
                                         m.partOfSpeech) != entry.posWhitelist.end();
                    })) {
                continue;
            }
            if (entry.notFollowedBy && followedBy(surfaces, *end, *entry.notFollowedBy))
                continue;
            const VocabularyEntry& source = entries_[e];
            const int64_t from = morphemes[start].range.start;
            const int64_t to = morphemes[*end - 1].range.end;
            // どうも before ありがとう, ありがとう before ございました: the new
            // ending would stand twice.
            if (!entry.endsAlike && !endsItsPhrase(morphemes, to))
                continue;
            // The suggestion replaces the whole word, a blank inside it
            // (わかり ました) too.
            auto original = writtenText(text, from, to);
            if (!original)
                continue;
            issues.push_back(makeIssue(IssueFields{.start = from,
                                                   .end = to,
                                                   .severity = source.severity,
                                                   .category = source.category,
                                                   .original = std::move(*original),
                                                   .suggestion = source.suggestion,
                                                   .explanationEn = source.explanationEn,
                                                   .confidence = entry.confidence},
                                       sentenceRange, sentenceId));
        }
    }
    return issues;
}

}  // namespace mivo
