#pragma once

// Known wrong verb conjugations typed literally (食べりました, 行きて,
// 見れます) and their correct forms.

#include "correction/correction_rule.hpp"
#include "correction/literal_entries.hpp"
#include "shared/json_fwd.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

class VerbConjugationRule final : public MorphologyAwareRule {
  public:
    struct Replacement {
        std::string original;
        std::string suggestion;
        // Absent: the rule words one itself. Present but empty is kept empty.
        std::optional<std::string> explanationEn;

        bool operator==(const Replacement&) const = default;
    };

    struct RulePack {
        std::vector<Replacement> replacements;

        bool operator==(const RulePack&) const = default;
    };

    static constexpr std::string_view packName = "conjugation-replacements";
    static const RulePack& fallbackRulePack();

    explicit VerbConjugationRule(const RulePack& rulePack);

    // Reads the text only; the morphemes are not used.
    std::vector<CorrectionIssue> apply(std::string_view text,
                                       const std::vector<Morpheme>& morphemes,
                                       const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override;

  private:
    struct Entry {
        std::string original;
        std::string suggestion;
        std::string explanationEn;  // the pack's, or the built-in one
    };

    static std::string explanation(std::string_view original, std::string_view suggestion);

    LiteralEntries<Entry> replacements_;  // by their original
};

// Throws json::DecodingError unless every replacement decodes; a null
// explanation counts as absent.
VerbConjugationRule::RulePack verbConjugationRulePackFromJson(const json::Json& j);

}  // namespace mivo
