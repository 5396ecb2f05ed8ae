#pragma once

// Stacked polite endings (ますでしょうか) where one would do (ますか).
// Phrases of the allow-list (いただけますでしょうか, ...) are exempt.

#include "correction/correction_rule.hpp"
#include "correction/literal_entries.hpp"
#include "shared/json_fwd.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace mivo {

struct DoublePolitePattern {
    std::string id;
    std::string match;
    std::string suggestion;
    CorrectionIssue::Severity severity = CorrectionIssue::Severity::style;
    double confidence = 0;
    std::string explanationEn;

    bool operator==(const DoublePolitePattern&) const = default;
};

struct DoublePoliteRulePack {
    std::vector<DoublePolitePattern> patterns;
    std::vector<std::string> allowlist;

    bool operator==(const DoublePoliteRulePack&) const = default;
};

// Throws json::DecodingError unless every pattern and the allow-list decode.
DoublePoliteRulePack doublePoliteRulePackFromJson(const json::Json& j);

class DoublePoliteRule final : public MorphologyAwareRule {
  public:
    static constexpr std::string_view packName = "double-polite-patterns";
    static const DoublePoliteRulePack& fallbackRulePack();

    explicit DoublePoliteRule(const DoublePoliteRulePack& rulePack);

    // Reads the text only; the morphemes are not used.
    std::vector<CorrectionIssue> apply(std::string_view text,
                                       const std::vector<Morpheme>& morphemes,
                                       const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override;

  private:
    LiteralEntries<DoublePolitePattern> patterns_;  // by their match
    LiteralIndex allowlist_;
};

}  // namespace mivo
