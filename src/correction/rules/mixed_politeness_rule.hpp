#pragma once

// A sentence written politely somewhere (です/ます) that ends in a plain form
// (会議に出ますが、資料はまだ準備していない。): the polite form of the ending is
// offered, at most once per sentence, always at its end.

#include "correction/correction_rule.hpp"
#include "correction/matching_text.hpp"
#include "shared/json_fwd.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

struct PolitenessAspectEnding {
    std::string plain;
    std::string polite;
    CorrectionIssue::Severity severity = CorrectionIssue::Severity::style;
    double confidence = 0;
    std::optional<std::string> explanationEn;

    bool operator==(const PolitenessAspectEnding&) const = default;
};

struct PolitenessAspectRulePack {
    std::vector<PolitenessAspectEnding> endings;

    bool operator==(const PolitenessAspectRulePack&) const = default;
};

// The pack "politeness-aspect-map"; throws json::DecodingError.
PolitenessAspectRulePack politenessAspectRulePackFromJson(const json::Json& j);

class MixedPolitenessRule final : public MorphologyAwareRule {
  public:
    explicit MixedPolitenessRule(const PolitenessAspectRulePack& rulePack);

    static constexpr std::string_view packName = "politeness-aspect-map";
    static const PolitenessAspectRulePack& fallbackRulePack();

    std::vector<CorrectionIssue> apply(std::string_view text,
                                       const std::vector<Morpheme>& morphemes,
                                       const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override;

  private:
    // What must stand before an ending for its polite form to fit unchanged.
    enum class Attachment {
        any,
        // ない, なかった: ません wants the verb's stem, which is the same only
        // for verbs like 食べ(ない) → 食べ(ません).
        unchangedVerbStem,
        // だ, だった: です after a noun; after a verb the だ is the past
        // (読んだ) and after an adjective there is no copula to swap.
        notVerbOrAdjective,
    };
    struct Ending {
        MatchingText plain;
        Attachment attachment = Attachment::any;
        PolitenessAspectEnding source;
    };

    struct Tail;  // the sentence without its trailing symbols

    std::optional<CorrectionIssue> aspectIssue(const std::vector<Morpheme>& morphemes,
                                               const Tail& tail, const TextRange& sentenceRange,
                                               std::string_view sentenceId) const;

    std::vector<Ending> endings_;  // longest plain first
};

}  // namespace mivo
