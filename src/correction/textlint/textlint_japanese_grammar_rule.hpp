#pragma once

// Turns textlint's messages into correction issues. Only allow-listed
// textlint rules speak; each entry of the allow-list (the pack
// "textlint-allowlist") carries the severity, category and confidence.

#include "correction/correction_rule.hpp"
#include "correction/textlint/textlint_japanese_bridge.hpp"
#include "shared/json_fwd.hpp"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mivo {

struct TextlintRuleMetadata {
    std::string id;  // compared with a message's ruleId
    CorrectionIssue::Severity severity = CorrectionIssue::Severity::style;
    CorrectionIssue::Category category = CorrectionIssue::Category::grammar;
    double confidence = 0;

    bool operator==(const TextlintRuleMetadata&) const = default;
};

struct TextlintRulePack {
    std::vector<TextlintRuleMetadata> rules;
    // Rules that other rules of the engine already cover; kept with the
    // pack for whoever configures textlint, not read by the rule.
    std::vector<std::string> disabledDuplicateRules;

    bool operator==(const TextlintRulePack&) const = default;
};

// Throws json::DecodingError for a missing key, a wrong type or an unknown
// severity or category.
TextlintRulePack textlintRulePackFromJson(const json::Json& j);

class TextlintJapaneseGrammarRule final : public CorrectionRule {
  public:
    static constexpr std::string_view packName = "textlint-allowlist";
    static const TextlintRulePack& fallbackRulePack();

    // Where `rulePack` repeats an identifier, its first entry counts.
    TextlintJapaneseGrammarRule(TextlintJapaneseBridge& bridge, const TextlintRulePack& rulePack);

    std::vector<CorrectionIssue> apply(std::string_view text, const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override;

  private:
    TextlintJapaneseBridge* bridge_;
    std::unordered_map<std::string, TextlintRuleMetadata> metadataByRuleId_;
};

}  // namespace mivo
