#pragma once

// に or で after a place: に where something exists or stays (東京に住む), で
// where an action happens (会社で働く).

#include "correction/canonical_strings.hpp"
#include "correction/correction_rule.hpp"
#include "shared/json_fwd.hpp"

#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace mivo {

struct LocationParticleRulePack {
    std::set<std::string> locationNouns;
    std::set<std::string> existenceVerbs;
    std::optional<std::set<std::string>> unguardedExistenceVerbs;
    std::set<std::string> actionVerbs;

    bool operator==(const LocationParticleRulePack&) const = default;
};

// The pack "location-verb-classes"; throws json::DecodingError.
LocationParticleRulePack locationParticleRulePackFromJson(const json::Json& j);

class LocationParticleRule final : public MorphologyAwareRule {
  public:
    explicit LocationParticleRule(const LocationParticleRulePack& rulePack);

    static constexpr std::string_view packName = "location-verb-classes";
    static const LocationParticleRulePack& fallbackRulePack();

    std::vector<CorrectionIssue> apply(std::string_view text,
                                       const std::vector<Morpheme>& morphemes,
                                       const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override;

  private:
    CanonicalStringSet locationNouns_;
    CanonicalStringSet existenceVerbs_;
    CanonicalStringSet unguardedExistenceVerbs_;
    CanonicalStringSet actionVerbs_;
};

}  // namespace mivo
