#include "correction/rules/surface_pattern_rule.hpp"

#include <optional>

#include "correction/pack_decoding.hpp"

namespace mivo {

SurfacePatternRulePack surfacePatternRulePackFromJson(const json::Json& j) {
    json::requireObject(j, "surface-pattern pack");
    SurfacePatternRulePack pack;
    pack.patterns = packs::requireArrayOf(j, "patterns", [](const json::Json& e) {
        SurfacePattern p;
        p.id = json::requireString(e, "id");
        p.pattern = json::requireString(e, "pattern");
        p.suggestion = json::requireString(e, "suggestion");
        p.severity = packs::requireSeverity(e);
        p.category = packs::requireCategory(e);
        p.confidence = json::requireNumber(e, "confidence");
        p.explanationEn = json::requireString(e, "explanationEn");
        return p;
    });
    return pack;
}

const SurfacePatternRulePack& SurfacePatternRule::fallbackRulePack() {
    static const SurfacePatternRulePack pack{
        .patterns = {
            {
                // これわ: the topic particle は written as it is pronounced
                .id = "languagetool-ja.korewa",
                .pattern = "これわ",
                .suggestion = "これは",
                .severity = CorrectionIssue::Severity::critical,
                .category = CorrectionIssue::Category::particle,
                .confidence = 0.96,
                .explanationEn = "Use the topic particle \"は\" in \"これは\".",
            },
            {
                .id = "languagetool-ja.doyatte",
                .pattern = "どやって",
                .suggestion = "どうやって",
                .severity = CorrectionIssue::Severity::critical,
                .category = CorrectionIssue::Category::grammar,
                .confidence = 0.96,
                .explanationEn =
                    "\"どうやって\" is the standard form for asking how something is done.",
            },
        }};
    return pack;
}

SurfacePatternRule::SurfacePatternRule(const SurfacePatternRulePack& rulePack)
    : SurfacePatternRule(nullptr, rulePack) {}

SurfacePatternRule::SurfacePatternRule(const JapaneseTokenizer* wordBoundaries,
                                       const SurfacePatternRulePack& rulePack)
    : patterns_(rulePack.patterns, [](const SurfacePattern& p) { return p.pattern; }),
      wordBoundaries_(wordBoundaries) {}

std::vector<CorrectionIssue> SurfacePatternRule::apply(std::string_view text,
                                                       const TextRange& sentenceRange,
                                                       std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    // Word boundaries in Characters, from a tokenisation made only when
    // some pattern hits (rare), so clean sentences cost nothing more.
    std::optional<std::vector<bool>> boundaries;
    auto betweenWords = [&](int64_t start, int64_t end) {
        if (wordBoundaries_ == nullptr)
            return true;
        if (!boundaries) {
            const int64_t n = MatchingText::of(text)->count();
            boundaries.emplace(static_cast<std::size_t>(n) + 1, false);
            (*boundaries)[0] = (*boundaries)[static_cast<std::size_t>(n)] = true;
            for (const Morpheme& m : wordBoundaries_->tokenize(text)) {
                if (m.range.start >= 0 && m.range.end <= n) {
                    (*boundaries)[static_cast<std::size_t>(m.range.start)] = true;
                    (*boundaries)[static_cast<std::size_t>(m.range.end)] = true;
                }
            }
        }
        return (*boundaries)[static_cast<std::size_t>(start)] &&
               (*boundaries)[static_cast<std::size_t>(end)];
    };
    // No arbitration between patterns: overlapping hits of two patterns
    // are all reported, grouped by pattern, longest first.
    patterns_.forEachMatch(text, [&](const LiteralMatch<SurfacePattern>& m) {
        if (betweenWords(m.start, m.end))
            issues.push_back(makeIssue(issueFieldsOf(m), sentenceRange, sentenceId));
    });
    return issues;
}

}  // namespace mivo
