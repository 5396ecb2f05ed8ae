#pragma once

// The on-device checker: owns the tokenizer and the rules, runs them over
// one completed sentence and reduces their findings to one list without
// nested duplicates, sorted by position.

#include "correction/correction_rule.hpp"
#include "morphology/morpheme.hpp"
#include "shared/records.hpp"

#include <memory>
#include <vector>

namespace mivo {

class LocalCorrectionService final {
  public:
    using MorphologyRules = std::vector<std::shared_ptr<const MorphologyAwareRule>>;
    using Rules = std::vector<std::shared_ptr<const CorrectionRule>>;

    // The default engine: the process-wide tokenizer (absent when the
    // analyser is unavailable) and every rule with its pack.
    LocalCorrectionService();
    // Plain rules only, no tokenizer.
    explicit LocalCorrectionService(Rules rules);
    LocalCorrectionService(std::shared_ptr<const JapaneseTokenizer> tokenizer,
                           MorphologyRules morphologyRules, Rules rules);

    std::vector<CorrectionIssue> analyze(const CompletedSentenceCandidate& sentence,
                                         const LocalCorrectionOptions& options) const;

    const JapaneseTokenizer* tokenizer() const { return tokenizer_.get(); }
    const MorphologyRules& morphologyRules() const { return morphologyRules_; }
    const Rules& rules() const { return rules_; }

  private:
    static std::vector<CorrectionIssue> suppressOverlappedSubspans(
        std::vector<CorrectionIssue> issues);

    std::shared_ptr<const JapaneseTokenizer> tokenizer_;
    MorphologyRules morphologyRules_;
    Rules rules_;
};

}  // namespace mivo
