#include "correction/rules/phrase_rewrite_rule.hpp"

#include "correction/pack_decoding.hpp"

namespace mivo {

PhraseRewriteRulePack phraseRewriteRulePackFromJson(const json::Json& j) {
    json::requireObject(j, "phrase-rewrite pack");
    PhraseRewriteRulePack pack;
    pack.phrases = packs::requireArrayOf(j, "phrases", [](const json::Json& e) {
        PhraseRewriteEntry p;
        p.id = json::requireString(e, "id");
        p.match = json::requireString(e, "match");
        p.suggestion = json::requireString(e, "suggestion");
        p.severity = packs::requireSeverity(e);
        p.confidence = json::requireNumber(e, "confidence");
        p.category = packs::requireCategory(e);
        p.explanationEn = json::requireString(e, "explanationEn");
        return p;
    });
    return pack;
}

const PhraseRewriteRulePack& PhraseRewriteRule::fallbackRulePack() {
    static const PhraseRewriteRulePack pack{
        .phrases = {
            {
                .id = "phrase.business.wait-please",
                .match = "ちょっと待って",
                .suggestion = "少々お待ちください",
                .severity = CorrectionIssue::Severity::style,
                .confidence = 0.9,
                .category = CorrectionIssue::Category::vocabulary,
                .explanationEn =
                    "「少々お待ちください」 is the natural business phrasing — replace the "
                    "whole expression, not just \"ちょっと\".",
            },
            {
                // The comma is the ideographic one, U+3001.
                .id = "phrase.business.thank-you-comma",
                .match = "ご対応、ありがとう",
                .suggestion = "ご対応ありがとうございます",
                .severity = CorrectionIssue::Severity::unnatural,
                .confidence = 0.9,
                .category = CorrectionIssue::Category::vocabulary,
                .explanationEn =
                    "Drop the comma and use the full polite form 「ありがとうございます」.",
            },
        }};
    return pack;
}

PhraseRewriteRule::PhraseRewriteRule(const PhraseRewriteRulePack& rulePack) {
    std::vector<int64_t> lengths;
    for (const auto& p : rulePack.phrases)
        lengths.push_back(text::characterCount(p.match));
    std::vector<std::string> matches;
    for (std::size_t i : longestFirstOrder(lengths)) {
        phrases_.push_back(rulePack.phrases[i]);
        matches.push_back(rulePack.phrases[i].match);
    }
    index_ = LiteralIndex(matches);
}

std::vector<CorrectionIssue> PhraseRewriteRule::apply(std::string_view text,
                                                      const std::vector<Morpheme>& /*morphemes*/,
                                                      const TextRange& sentenceRange,
                                                      std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    if (text.empty() || phrases_.empty())
        return issues;
    const MatchingText& chars = MatchingText::of(text);
    const auto hits = index_.occurrences(chars);
    // A shorter phrase never reports inside a longer one already reported;
    // hits that merely touch are both kept.
    ClaimedRanges claimed;
    for (std::size_t k = 0; k < phrases_.size(); ++k) {
        const PhraseRewriteEntry& entry = phrases_[k];
        const int64_t n = index_.needle(k).count();
        for (int64_t s : nonOverlapping(hits[k], n)) {
            const int64_t e = s + n;
            if (claimed.overlaps(s, e))
                continue;
            claimed.claim(s, e);
            IssueFields f;
            f.start = s;
            f.end = e;
            f.severity = entry.severity;
            f.category = entry.category;
            f.original = chars.slice(s, e);
            f.suggestion = entry.suggestion;
            f.explanationEn = entry.explanationEn;
            f.confidence = entry.confidence;
            issues.push_back(makeIssue(f, sentenceRange, sentenceId));
        }
    }
    return issues;
}

}  // namespace mivo
