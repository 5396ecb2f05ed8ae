#include "correction/rules/phrase_rewrite_rule.hpp"

#include "correction/morpheme_search.hpp"
#include "correction/pack_decoding.hpp"

#include <algorithm>
#include <ranges>

namespace mivo {
namespace {

// Where the hit [.., end) ends once it takes in what the sentence goes on
// with and the rewrite already ends with (ちょっと待って|ください → 少々お待ち
// ください): whole morphemes, so that the ending is not written twice.
int64_t endTakingInRepeatedEnding(const MatchingText& text, const std::vector<Morpheme>& morphemes,
                                  int64_t end, std::string_view rewrite) {
    const int64_t rewriteCharacters = text::characterCount(rewrite);
    int64_t taken = end;
    // Morphemes come in text order: start at the first one at `end`.
    const auto first =
        std::partition_point(morphemes.begin(), morphemes.end(),
                             [end](const Morpheme& m) { return m.range.start < end; });
    for (const Morpheme& m : std::ranges::subrange(first, morphemes.end())) {
        if (m.range.end - end > rewriteCharacters)
            break;
        if (text::hasSuffix(rewrite, text.slice(end, m.range.end)))
            taken = m.range.end;
    }
    return taken;
}

}  // namespace

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

PhraseRewriteRule::PhraseRewriteRule(const PhraseRewriteRulePack& rulePack)
    : phrases_(rulePack.phrases, [](const PhraseRewriteEntry& p) { return p.match; }) {}

std::vector<CorrectionIssue> PhraseRewriteRule::apply(std::string_view text,
                                                      const std::vector<Morpheme>& morphemes,
                                                      const TextRange& sentenceRange,
                                                      std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    // A shorter phrase never reports inside a longer one already reported;
    // hits that merely touch are both kept.
    ClaimedRanges claimed;
    phrases_.forEachMatch(text, [&](const LiteralMatch<PhraseRewriteEntry>& m) {
        if (claimed.overlaps(m.start, m.end))
            return;
        claimed.claim(m.start, m.end);
        IssueFields f = issueFieldsOf(m);
        // A rewrite with an ending of its own fits only where the phrase
        // ends; the words around tell where, so only the analysed sentence
        // is held to it.
        if (!endsAlike(f.original, f.suggestion)) {
            f.end = endTakingInRepeatedEnding(m.text, morphemes, m.end, f.suggestion);
            if (!endsItsPhrase(morphemes, f.end))
                return;
            f.original = m.text.slice(f.start, f.end);
        }
        issues.push_back(makeIssue(f, sentenceRange, sentenceId));
    });
    return issues;
}

}  // namespace mivo
