#pragma once

// The wrong member of a transitive/intransitive verb pair: an object with を
// before the intransitive verb (会議を始まる), a subject with が before the
// transitive one (ドアが閉める).

#include "correction/canonical_strings.hpp"
#include "correction/correction_rule.hpp"
#include "shared/json_fwd.hpp"

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

struct PairFrame {
    std::string intransitive;
    std::string transitive;
    std::set<std::string> nouns;  // empty: every noun
    std::map<std::string, std::string> politeStems;

    bool operator==(const PairFrame&) const = default;
};

struct PairRulePack {
    std::vector<PairFrame> pairs;

    bool operator==(const PairRulePack&) const = default;
};

// The pack "transitivity-pairs"; throws json::DecodingError.
PairRulePack pairRulePackFromJson(const json::Json& j);

class TransitiveIntransitivePairRule final : public MorphologyAwareRule {
  public:
    explicit TransitiveIntransitivePairRule(const PairRulePack& rulePack);

    static constexpr std::string_view packName = "transitivity-pairs";
    static const PairRulePack& fallbackRulePack();

    std::vector<CorrectionIssue> apply(std::string_view text,
                                       const std::vector<Morpheme>& morphemes,
                                       const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override;

  private:
    struct Frame {
        std::string intransitiveKey;  // NFC
        std::string transitiveKey;
        std::string intransitive;  // as written in the pack
        std::string transitive;
        CanonicalStringSet nouns;
        CanonicalStringMap<std::string> politeStems;
    };

    const Frame* frameFor(const Morpheme& verb, const Morpheme& noun) const;

    std::vector<Frame> frames_;
};

}  // namespace mivo
