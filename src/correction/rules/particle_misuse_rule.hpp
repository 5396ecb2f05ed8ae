#pragma once

// The particle between a noun and its predicate, checked against the
// predicate's particle frame: 会社を行く → 会社に行く, while 道を行く (moving
// along a road) is left alone by the frame's guard on the noun.

#include "correction/canonical_strings.hpp"
#include "correction/correction_rule.hpp"
#include "correction/rules/noun_semantic_classifier.hpp"
#include "shared/json_fwd.hpp"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

struct ParticleFrame {
    std::string lemma;
    std::string ruleClass;
    std::optional<std::string> semanticGuard;
    std::map<std::string, std::string> particleSuggestions;
    CorrectionIssue::Severity severity = CorrectionIssue::Severity::critical;
    double confidence = 0;
    std::optional<std::string> explanationEn;

    bool operator==(const ParticleFrame&) const = default;
};

struct ParticleFrameRulePack {
    std::vector<ParticleFrame> frames;

    bool operator==(const ParticleFrameRulePack&) const = default;
};

// The pack "particle-frames"; throws json::DecodingError.
ParticleFrameRulePack particleFrameRulePackFromJson(const json::Json& j);

class ParticleMisuseRule final : public MorphologyAwareRule {
  public:
    // With the default classifier (NounSemanticClassifier::loadDefault()).
    explicit ParticleMisuseRule(const ParticleFrameRulePack& rulePack);
    ParticleMisuseRule(NounSemanticClassifier nounClassifier,
                       const ParticleFrameRulePack& rulePack);

    static constexpr std::string_view packName = "particle-frames";
    static const ParticleFrameRulePack& fallbackRulePack();

    std::vector<CorrectionIssue> apply(std::string_view text,
                                       const std::vector<Morpheme>& morphemes,
                                       const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override;

  private:
    enum class Guard { none, notPath, destination, path, unrecognised };

    struct Frame {
        Guard guard = Guard::none;
        CanonicalStringMap<std::string> particleSuggestions;
        std::string ruleClass;
        CorrectionIssue::Severity severity = CorrectionIssue::Severity::critical;
        double confidence = 0;
        std::optional<std::string> explanationEn;
    };

    bool admits(Guard guard, const Morpheme& noun) const;

    NounSemanticClassifier nounClassifier_;
    CanonicalStringMap<Frame> framesByLemma_;
};

}  // namespace mivo
