#pragma once

// Sorts a noun into a destination (会社, 東京駅), a path (道, 廊下) or
// neither, for the particle frames that ask about the noun before them.

#include "correction/canonical_strings.hpp"
#include "morphology/morpheme.hpp"
#include "shared/json_fwd.hpp"
#include "shared/resource_bundle.hpp"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

enum class NounSemanticClass { destination, path, other };

struct NounSemanticClassRulePack {
    std::set<std::string> explicitDestinations{};
    std::set<std::string> explicitPaths{};
    std::vector<std::string> destinationSuffixes{};

    bool operator==(const NounSemanticClassRulePack&) const = default;
};

// The pack "noun-semantic-classes"; throws json::DecodingError.
NounSemanticClassRulePack nounSemanticClassRulePackFromJson(const json::Json& j);

class NounSemanticClassifier {
  public:
    explicit NounSemanticClassifier(const NounSemanticClassRulePack& rulePack);

    static constexpr std::string_view packName = "noun-semantic-classes";
    static const NounSemanticClassRulePack& fallbackRulePack();
    // The classifier of the pack "noun-semantic-classes", else of the fallback.
    static NounSemanticClassifier loadDefault();
    static NounSemanticClassifier loadDefault(const ResourceBundle& bundle);

    NounSemanticClass semanticClass(const Morpheme& morpheme) const;

  private:
    struct Suffix {
        std::string key;  // NFC
        int64_t characters = 0;
    };

    CanonicalStringSet explicitDestinations_;
    CanonicalStringSet explicitPaths_;
    std::vector<Suffix> destinationSuffixes_;  // longest first
};

}  // namespace mivo
