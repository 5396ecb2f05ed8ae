#include "correction/rules/double_polite_rule.hpp"

#include "correction/pack_decoding.hpp"

#include <optional>

namespace mivo {

DoublePoliteRulePack doublePoliteRulePackFromJson(const json::Json& j) {
    json::requireObject(j, "double-polite pack");
    DoublePoliteRulePack pack;
    pack.patterns = packs::requireArrayOf(j, "patterns", [](const json::Json& e) {
        DoublePolitePattern p;
        p.id = json::requireString(e, "id");
        p.match = json::requireString(e, "match");
        p.suggestion = json::requireString(e, "suggestion");
        p.severity = packs::requireSeverity(e);
        p.confidence = json::requireNumber(e, "confidence");
        p.explanationEn = json::requireString(e, "explanationEn");
        return p;
    });
    pack.allowlist = json::requireStringArray(j, "allowlist");
    return pack;
}

const DoublePoliteRulePack& DoublePoliteRule::fallbackRulePack() {
    static const DoublePoliteRulePack pack{
        .patterns = {{
            .id = "double-polite.masu-deshouka",
            .match = "ますでしょうか",
            .suggestion = "ますか",
            .severity = CorrectionIssue::Severity::style,
            .confidence = 0.7,
            .explanationEn = "「ますでしょうか」 stacks two polite copulas. Use 「ますか」 for a "
                             "cleaner business tone.",
        }},
        // Set phrases of business mail in which でしょうか after ます is
        // the accepted humble request, not a stacked ending.
        .allowlist = {"いただけますでしょうか", "ございますでしょうか"},
    };
    return pack;
}

DoublePoliteRule::DoublePoliteRule(const DoublePoliteRulePack& rulePack)
    : patterns_(rulePack.patterns, [](const DoublePolitePattern& p) { return p.match; }),
      allowlist_(rulePack.allowlist) {}

std::vector<CorrectionIssue> DoublePoliteRule::apply(std::string_view text,
                                                     const std::vector<Morpheme>& /*morphemes*/,
                                                     const TextRange& sentenceRange,
                                                     std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    // Every place of every allow-list phrase, overlapping ones included,
    // looked for once a pattern matched: a match is exempt when one of them
    // covers it whole.
    std::optional<std::vector<std::vector<int64_t>>> allowed;
    const auto isAllowlisted = [&](const LiteralMatch<DoublePolitePattern>& m) {
        if (!allowed)
            allowed = allowlist_.occurrences(m.text);
        for (std::size_t a = 0; a < allowed->size(); ++a) {
            const int64_t length = allowlist_.needle(a).count();
            for (int64_t p : (*allowed)[a]) {
                if (p <= m.start && m.end <= p + length)
                    return true;
            }
        }
        return false;
    };

    ClaimedRanges claimed;
    patterns_.forEachMatch(text, [&](const LiteralMatch<DoublePolitePattern>& m) {
        // Inside a longer report a shorter pattern says nothing new. An
        // exempt match claims nothing, yet a shorter match inside it is
        // exempt too: the same allow-list phrase covers it.
        if (claimed.overlaps(m.start, m.end) || isAllowlisted(m))
            return;
        claimed.claim(m.start, m.end);
        issues.push_back(makeIssue(IssueFields{.start = m.start,
                                               .end = m.end,
                                               .severity = m.entry.severity,
                                               .category = CorrectionIssue::Category::style,
                                               .original = m.original(),
                                               .suggestion = m.entry.suggestion,
                                               .explanationEn = m.entry.explanationEn,
                                               .confidence = m.entry.confidence},
                                   sentenceRange, sentenceId));
    });
    return issues;
}

}  // namespace mivo
