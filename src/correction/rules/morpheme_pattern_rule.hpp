#pragma once

// Data-driven grammar checks: each pattern is a short run of token tests
// (surface, lemma, part of speech) slid over the morphemes; a match reports
// a chosen sub-span of it.

#include "correction/correction_rule.hpp"
#include "shared/json_fwd.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

struct MorphemePatternToken {
    std::optional<std::string> surface{};
    std::optional<std::string> lemma{};
    std::optional<JapanesePartOfSpeech> partOfSpeech{};
    // true: the word stands in its dictionary form (surface equal to
    // lemma); false: it is inflected.
    std::optional<bool> dictionaryForm{};

    bool operator==(const MorphemePatternToken&) const = default;
};

struct MorphemePattern {
    std::string id;
    std::vector<MorphemePatternToken> tokens;
    int64_t issueStart = 0;  // token indices, issueEnd exclusive
    int64_t issueEnd = 0;
    std::string suggestion;
    CorrectionIssue::Severity severity = CorrectionIssue::Severity::critical;
    CorrectionIssue::Category category = CorrectionIssue::Category::grammar;
    double confidence = 0;
    std::string explanationEn;

    bool operator==(const MorphemePattern&) const = default;
};

struct MorphemePatternRulePack {
    std::vector<MorphemePattern> patterns;

    bool operator==(const MorphemePatternRulePack&) const = default;
};

// The pack "morpheme-patterns"; throws json::DecodingError.
MorphemePatternRulePack morphemePatternRulePackFromJson(const json::Json& j);

class MorphemePatternRule final : public MorphologyAwareRule {
  public:
    // Patterns without tokens or with a span outside them are left out.
    explicit MorphemePatternRule(const MorphemePatternRulePack& rulePack);

    static constexpr std::string_view packName = "morpheme-patterns";
    static const MorphemePatternRulePack& fallbackRulePack();

    std::vector<CorrectionIssue> apply(std::string_view text,
                                       const std::vector<Morpheme>& morphemes,
                                       const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override;

  private:
    // Surface and lemma tests held in NFC.
    struct Token {
        std::optional<std::string> surface;
        std::optional<std::string> lemma;
        std::optional<JapanesePartOfSpeech> partOfSpeech;
        std::optional<bool> dictionaryForm;

        bool matches(const Morpheme& m) const;
    };
    struct Pattern {
        std::vector<Token> tokens;
        std::size_t issueStart = 0;
        std::size_t issueEnd = 0;
        std::string suggestion;
        CorrectionIssue::Severity severity = CorrectionIssue::Severity::critical;
        CorrectionIssue::Category category = CorrectionIssue::Category::grammar;
        double confidence = 0;
        std::string explanationEn;
    };

    std::vector<Pattern> patterns_;
};

}  // namespace mivo
