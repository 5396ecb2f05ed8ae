#include "correction/rules/surface_pattern_rule.hpp"

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
    : patterns_(rulePack.patterns, [](const SurfacePattern& p) { return p.pattern; }) {}

std::vector<CorrectionIssue> SurfacePatternRule::apply(std::string_view text,
                                                       const TextRange& sentenceRange,
                                                       std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    // No arbitration between patterns: overlapping hits of two patterns
    // are all reported, grouped by pattern, longest first.
    patterns_.forEachMatch(text, [&](const LiteralMatch<SurfacePattern>& m) {
        issues.push_back(makeIssue(issueFieldsOf(m), sentenceRange, sentenceId));
    });
    return issues;
}

}  // namespace mivo
