#pragma once

// The respectful prefix ご before a verbal noun followed by a humble
// させていただく form (ご確認させていただきます): both consistent
// phrasings are offered at once.

#include "correction/correction_rule.hpp"
#include "correction/matching_text.hpp"
#include "shared/json_fwd.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace mivo {

struct KeigoVerbalNounEntry {
    std::string noun;  // without the prefix: 確認
    std::string ownActionForm;
    std::string listenerActionForm;

    bool operator==(const KeigoVerbalNounEntry&) const = default;
};

struct KeigoMisuseRulePack {
    std::vector<KeigoVerbalNounEntry> verbalNouns;

    bool operator==(const KeigoMisuseRulePack&) const = default;
};

// Throws json::DecodingError unless every entry decodes.
KeigoMisuseRulePack keigoMisuseRulePackFromJson(const json::Json& j);

class KeigoMisuseRule final : public MorphologyAwareRule {
  public:
    static constexpr std::string_view packName = "keigo-misuse-patterns";
    static const KeigoMisuseRulePack& fallbackRulePack();

    // One entry per noun: of entries naming the same noun (canonically
    // equal), the first in the pack wins and the others are ignored.
    explicit KeigoMisuseRule(const KeigoMisuseRulePack& rulePack);

    // Reads the text only; the morphemes are not used.
    std::vector<CorrectionIssue> apply(std::string_view text,
                                       const std::vector<Morpheme>& morphemes,
                                       const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override;

  private:
    // The tail at `at`, as a count of Characters, or 0 when none fits.
    static int64_t matchingConflictTail(const MatchingText& chars, int64_t at);

    // One entry per noun, visited in pack order.
    std::vector<KeigoVerbalNounEntry> entriesByNoun_;
    LiteralIndex prefixedNouns_;  // "ご" + noun, in entriesByNoun_ order
};

}  // namespace mivo
