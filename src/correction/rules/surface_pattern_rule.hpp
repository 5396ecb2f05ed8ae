#pragma once

// Fixed misspellings found as plain text (これわ → これは). Every hit of
// every pattern is reported; the engine settles overlaps. Given a tokenizer,
// a hit must also start and end between words: これわ in これわかりますか
// is これ + わかり, not a misspelt これは, and "correcting" it would write
// これはかりますか.

#include "correction/correction_rule.hpp"
#include "correction/literal_entries.hpp"
#include "shared/json_fwd.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace mivo {

struct SurfacePattern {
    std::string id;
    std::string pattern;
    std::string suggestion;
    CorrectionIssue::Severity severity = CorrectionIssue::Severity::critical;
    CorrectionIssue::Category category = CorrectionIssue::Category::grammar;
    double confidence = 0;
    std::string explanationEn;

    bool operator==(const SurfacePattern&) const = default;
};

struct SurfacePatternRulePack {
    std::vector<SurfacePattern> patterns;

    bool operator==(const SurfacePatternRulePack&) const = default;
};

// Throws json::DecodingError unless every entry decodes.
SurfacePatternRulePack surfacePatternRulePackFromJson(const json::Json& j);

class SurfacePatternRule final : public CorrectionRule {
  public:
    static constexpr std::string_view packName = "surface-patterns";
    static const SurfacePatternRulePack& fallbackRulePack();

    // Plain text only, every hit reported.
    explicit SurfacePatternRule(const SurfacePatternRulePack& rulePack);
    // `wordBoundaries` (may be null) must outlive the rule.
    SurfacePatternRule(const JapaneseTokenizer* wordBoundaries,
                       const SurfacePatternRulePack& rulePack);

    std::vector<CorrectionIssue> apply(std::string_view text, const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override;

  private:
    LiteralEntries<SurfacePattern> patterns_;  // by their pattern
    const JapaneseTokenizer* wordBoundaries_ = nullptr;
};

}  // namespace mivo
