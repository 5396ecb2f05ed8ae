#include "correction/rules/double_polite_rule.hpp"

#include "correction/pack_decoding.hpp"

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

DoublePoliteRule::DoublePoliteRule(const DoublePoliteRulePack& rulePack) {
    std::vector<int64_t> lengths;
    for (const auto& p : rulePack.patterns)
        lengths.push_back(text::characterCount(p.match));
    std::vector<std::string> matches;
    for (std::size_t i : longestFirstOrder(lengths)) {
        patterns_.push_back(rulePack.patterns[i]);
        matches.push_back(rulePack.patterns[i].match);
    }
    patternIndex_ = LiteralIndex(matches);

    lengths.clear();
    for (const auto& phrase : rulePack.allowlist)
        lengths.push_back(text::characterCount(phrase));
    std::vector<std::string> allowlist;
    for (std::size_t i : longestFirstOrder(lengths))
        allowlist.push_back(rulePack.allowlist[i]);
    allowlistIndex_ = LiteralIndex(allowlist);
}

std::vector<CorrectionIssue> DoublePoliteRule::apply(std::string_view text,
                                                     const std::vector<Morpheme>& /*morphemes*/,
                                                     const TextRange& sentenceRange,
                                                     std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    if (text.empty() || patterns_.empty())
        return issues;
    const MatchingText& chars = MatchingText::of(text);
    const auto hits = patternIndex_.occurrences(chars);
    bool anyHit = false;
    for (const auto& h : hits)
        anyHit = anyHit || !h.empty();
    if (!anyHit)
        return issues;

    // Every place of every allow-list phrase, overlapping ones included: a
    // match is exempt when one of them covers it whole.
    const auto allowed = allowlistIndex_.occurrences(chars);
    const auto isAllowlisted = [&](int64_t start, int64_t end) {
        for (std::size_t a = 0; a < allowed.size(); ++a) {
            const int64_t length = allowlistIndex_.needle(a).count();
            for (int64_t p : allowed[a]) {
                if (p <= start && end <= p + length)
                    return true;
            }
        }
        return false;
    };

    ClaimedRanges claimed;
    for (std::size_t k = 0; k < patterns_.size(); ++k) {
        const DoublePolitePattern& pattern = patterns_[k];
        const int64_t n = patternIndex_.needle(k).count();
        for (int64_t s : nonOverlapping(hits[k], n)) {
            const int64_t e = s + n;
            // Inside a longer report a shorter pattern says nothing new.
            // An exempt match claims nothing, yet a shorter match inside
            // it is exempt too: the same allow-list phrase covers it.
            if (claimed.overlaps(s, e) || isAllowlisted(s, e))
                continue;
            claimed.claim(s, e);
            IssueFields f;
            f.start = s;
            f.end = e;
            f.severity = pattern.severity;
            f.category = CorrectionIssue::Category::style;
            f.original = chars.slice(s, e);
            f.suggestion = pattern.suggestion;
            f.explanationEn = pattern.explanationEn;
            f.confidence = pattern.confidence;
            issues.push_back(makeIssue(f, sentenceRange, sentenceId));
        }
    }
    return issues;
}

}  // namespace mivo
