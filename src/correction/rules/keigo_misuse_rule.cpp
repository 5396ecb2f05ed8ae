#include "correction/rules/keigo_misuse_rule.hpp"

#include "correction/pack_decoding.hpp"

#include <array>
#include <unordered_set>

namespace mivo {

KeigoMisuseRulePack keigoMisuseRulePackFromJson(const json::Json& j) {
    json::requireObject(j, "keigo pack");
    KeigoMisuseRulePack pack;
    pack.verbalNouns = packs::requireArrayOf(j, "verbalNouns", [](const json::Json& e) {
        KeigoVerbalNounEntry entry;
        entry.noun = json::requireString(e, "noun");
        entry.ownActionForm = json::requireString(e, "ownActionForm");
        entry.listenerActionForm = json::requireString(e, "listenerActionForm");
        return entry;
    });
    return pack;
}

const KeigoMisuseRulePack& KeigoMisuseRule::fallbackRulePack() {
    static const KeigoMisuseRulePack pack{
        .verbalNouns = {
            {"確認", "確認させていただきたい", "ご確認いただきたい"},
            {"連絡", "連絡させていただきたい", "ご連絡いただきたい"},
        }};
    return pack;
}

namespace {

// The humble tails that clash with the respectful ご. None is a prefix of
// another, so at most one fits at a place.
const std::array<MatchingText, 5>& conflictingTails() {
    static const std::array<MatchingText, 5> tails = {
        MatchingText("させていただきたい"),
        MatchingText("させていただいてもよろしいでしょうか"),
        MatchingText("させていただいてもよろしいですか"),
        MatchingText("させていただきます"),
        MatchingText("させていただく"),
    };
    return tails;
}

}  // namespace

int64_t KeigoMisuseRule::matchingConflictTail(const MatchingText& chars, int64_t at) {
    for (const MatchingText& tail : conflictingTails()) {
        if (chars.matchesAt(tail, at))
            return tail.count();
    }
    return 0;
}

KeigoMisuseRule::KeigoMisuseRule(const KeigoMisuseRulePack& rulePack) {
    std::unordered_set<std::string> seen;
    std::vector<std::string> needles;
    for (const auto& entry : rulePack.verbalNouns) {
        if (!seen.insert(text::nfc(entry.noun)).second)
            continue;
        entriesByNoun_.push_back(entry);
        needles.push_back("ご" + entry.noun);
    }
    prefixedNouns_ = LiteralIndex(needles);
}

std::vector<CorrectionIssue> KeigoMisuseRule::apply(std::string_view text,
                                                    const std::vector<Morpheme>& /*morphemes*/,
                                                    const TextRange& sentenceRange,
                                                    std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    if (text.empty() || entriesByNoun_.empty())
        return issues;
    const auto charsHeld = MatchingText::of(text);
    const MatchingText& chars = *charsHeld;
    const auto hits = prefixedNouns_.occurrences(chars);
    // Claims live across all nouns: a later noun's match overlapping an
    // earlier report is dropped.
    ClaimedRanges claimed;
    for (std::size_t k = 0; k < entriesByNoun_.size(); ++k) {
        const KeigoVerbalNounEntry& entry = entriesByNoun_[k];
        const int64_t n = prefixedNouns_.needle(k).count();
        for (int64_t s : hits[k]) {
            const int64_t tail = matchingConflictTail(chars, s + n);
            if (tail == 0)
                continue;
            const int64_t e = s + n + tail;
            if (claimed.overlaps(s, e))
                continue;
            claimed.claim(s, e);
            IssueFields f;
            f.start = s;
            f.end = e;
            f.severity = CorrectionIssue::Severity::unnatural;
            f.category = CorrectionIssue::Category::style;
            f.original = chars.slice(s, e);
            // Both phrasings joined by " / " would be written into the user's
            // text when applied, and the fixed forms would turn the user's
            // ます into たい. The humble tail already marks the writer's own
            // action, so the sound fix drops the respectful ご and keeps the
            // rest as typed; the explanation still offers both phrasings.
            f.suggestion = chars.slice(s + 1, e);
            f.explanationEn =
                "「ご〜させていただく」 mixes a respectful prefix (for the listener's action) with "
                "a humble form (for your own action). If you are the one acting: \"" +
                entry.ownActionForm + "\". If the listener is: \"" + entry.listenerActionForm +
                "\".";
            f.confidence = 0.85;
            issues.push_back(makeIssue(f, sentenceRange, sentenceId));
        }
    }
    return issues;
}

}  // namespace mivo
