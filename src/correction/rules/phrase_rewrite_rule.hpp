#pragma once

// Whole fixed phrases replaced by better ones (ちょっと待って →
// 少々お待ちください). Longest phrases first; each stretch of text goes to
// at most one entry.

#include "correction/correction_rule.hpp"
#include "correction/literal_entries.hpp"
#include "shared/json_fwd.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace mivo {

struct PhraseRewriteEntry {
    std::string id;
    std::string match;
    std::string suggestion;
    CorrectionIssue::Severity severity = CorrectionIssue::Severity::style;
    double confidence = 0;
    CorrectionIssue::Category category = CorrectionIssue::Category::vocabulary;
    std::string explanationEn;

    bool operator==(const PhraseRewriteEntry&) const = default;
};

struct PhraseRewriteRulePack {
    std::vector<PhraseRewriteEntry> phrases;

    bool operator==(const PhraseRewriteRulePack&) const = default;
};

// Throws json::DecodingError unless every entry decodes.
PhraseRewriteRulePack phraseRewriteRulePackFromJson(const json::Json& j);

class PhraseRewriteRule final : public MorphologyAwareRule {
  public:
    static constexpr std::string_view packName = "phrase-rewrites";
    static const PhraseRewriteRulePack& fallbackRulePack();

    explicit PhraseRewriteRule(const PhraseRewriteRulePack& rulePack);

    // Finds phrases in the text alone; the morphemes only tell whether a
    // rewrite with an ending of its own fits where the phrase stops.
    std::vector<CorrectionIssue> apply(std::string_view text,
                                       const std::vector<Morpheme>& morphemes,
                                       const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override;

  private:
    LiteralEntries<PhraseRewriteEntry> phrases_;  // by their match
};

}  // namespace mivo
