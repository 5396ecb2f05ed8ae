#pragma once

// A case particle typed twice or more in a row (をを, にには): suggests the
// particle once. No rule pack: the eight particles are the rule.

#include "correction/correction_rule.hpp"

namespace mivo {

class DoubleParticleRule final : public CorrectionRule, public MorphologyAwareRule {
  public:
    DoubleParticleRule() = default;

    // Morpheme form: reads the morphemes, and the text only to quote it.
    std::vector<CorrectionIssue> apply(std::string_view text,
                                       const std::vector<Morpheme>& morphemes,
                                       const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override;

    // Plain form: reads the Characters of the text.
    std::vector<CorrectionIssue> apply(std::string_view text, const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override;
};

}  // namespace mivo
