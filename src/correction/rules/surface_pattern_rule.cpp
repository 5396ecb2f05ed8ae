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

SurfacePatternRule::SurfacePatternRule(const SurfacePatternRulePack& rulePack) {
    std::vector<int64_t> lengths;
    for (const auto& p : rulePack.patterns)
        lengths.push_back(text::characterCount(p.pattern));
    std::vector<std::string> patterns;
    for (std::size_t i : longestFirstOrder(lengths)) {
        patterns_.push_back(rulePack.patterns[i]);
        patterns.push_back(rulePack.patterns[i].pattern);
    }
    index_ = LiteralIndex(patterns);
}

std::vector<CorrectionIssue> SurfacePatternRule::apply(std::string_view text,
                                                       const TextRange& sentenceRange,
                                                       std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    if (text.empty() || patterns_.empty())
        return issues;
    const MatchingText& chars = MatchingText::of(text);
    const auto hits = index_.occurrences(chars);
    // No arbitration between patterns: overlapping hits of two patterns
    // are all reported, grouped by pattern, longest first.
    for (std::size_t k = 0; k < patterns_.size(); ++k) {
        const SurfacePattern& entry = patterns_[k];
        const int64_t n = index_.needle(k).count();
        for (int64_t s : nonOverlapping(hits[k], n)) {
            IssueFields f;
            f.start = s;
            f.end = s + n;
            f.severity = entry.severity;
            f.category = entry.category;
            f.original = chars.slice(s, s + n);
            f.suggestion = entry.suggestion;
            f.explanationEn = entry.explanationEn;
            f.confidence = entry.confidence;
            issues.push_back(makeIssue(f, sentenceRange, sentenceId));
        }
    }
    return issues;
}

}  // namespace mivo
