#pragma once

// More formal business vocabulary for casual words (わかりました → 承知しました),
// matched on whole morphemes so a word inside a longer one (ごめん inside
// ごめんなさい) is left alone.

#include "correction/correction_rule.hpp"
#include "shared/json_fwd.hpp"
#include "shared/resource_bundle.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

struct VocabularyEntry {
    std::string pattern;
    std::string suggestion;
    CorrectionIssue::Severity severity = CorrectionIssue::Severity::style;
    CorrectionIssue::Category category = CorrectionIssue::Category::vocabulary;
    std::optional<std::string> notFollowedBy{};
    std::string explanationEn;
    std::optional<std::vector<JapanesePartOfSpeech>> posWhitelist{};
    std::optional<double> confidence{};
    // Carried with the entry; every match is aligned to morphemes anyway.
    bool requireWordBoundary = true;

    bool operator==(const VocabularyEntry&) const = default;
};

// The vocabulary file: a bare JSON array of entries; throws json::DecodingError.
std::vector<VocabularyEntry> vocabularyEntriesFromJson(const json::Json& j);

class TokenAwareVocabularyRule final : public MorphologyAwareRule {
  public:
    explicit TokenAwareVocabularyRule(std::vector<VocabularyEntry> entries);

    // Looked up at the bundle's top level only, never in "RulePacks".
    static constexpr std::string_view resourceName = "vocabulary";
    static const std::vector<VocabularyEntry>& fallbackEntries();
    // "vocabulary.json" at the top level of the engine's bundle (never in
    // RulePacks), else the fallback entries.
    static std::vector<VocabularyEntry> loadEntries();
    static std::vector<VocabularyEntry> loadEntries(const ResourceBundle& bundle);

    std::vector<CorrectionIssue> apply(std::string_view text,
                                       const std::vector<Morpheme>& morphemes,
                                       const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override;

    bool isVocabularyRule() const override { return true; }

  private:
    struct Entry {
        std::string pattern;  // NFC
        int64_t patternCharacters = 0;
        std::optional<std::string> notFollowedBy{};  // NFC
        std::vector<JapanesePartOfSpeech> posWhitelist;
        double confidence = 0.9;
        // The suggestion ends like the pattern (わかりました → 承知しました);
        // otherwise it brings its own ending (よろしく → よろしくお願いいたします).
        bool endsAlike = true;
    };

    std::vector<VocabularyEntry> entries_;
    std::vector<Entry> prepared_;
};

}  // namespace mivo
