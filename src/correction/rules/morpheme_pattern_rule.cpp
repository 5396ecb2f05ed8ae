#include "correction/rules/morpheme_pattern_rule.hpp"

#include "correction/canonical_strings.hpp"
#include "correction/morpheme_search.hpp"
#include "correction/pack_decoding.hpp"
#include "shared/json.hpp"

namespace mivo {
namespace {

MorphemePatternToken tokenFromJson(const json::Json& j) {
    MorphemePatternToken token;
    token.surface = packs::optionalString(j, "surface");
    token.lemma = packs::optionalString(j, "lemma");
    if (const json::Json* pos = packs::optionalMember(j, "partOfSpeech"))
        token.partOfSpeech = packs::partOfSpeechFromJson(*pos, "partOfSpeech");
    if (const json::Json* form = packs::optionalMember(j, "dictionaryForm")) {
        if (!form->is_boolean())
            throw json::DecodingError("dictionaryForm: expected a boolean");
        token.dictionaryForm = form->get<bool>();
    }
    return token;
}

MorphemePattern patternFromJson(const json::Json& j) {
    MorphemePattern p;
    p.id = json::requireString(j, "id");
    p.tokens = packs::requireArrayOf(j, "tokens", tokenFromJson);
    p.issueStart = json::requireInteger(j, "issueStart");
    p.issueEnd = json::requireInteger(j, "issueEnd");
    p.suggestion = json::requireString(j, "suggestion");
    p.severity = packs::requireSeverity(j);
    p.category = packs::requireCategory(j);
    p.confidence = json::requireNumber(j, "confidence");
    p.explanationEn = json::requireString(j, "explanationEn");
    return p;
}

std::optional<std::string> keyOf(const std::optional<std::string>& s) {
    if (!s)
        return std::nullopt;
    return canonicalKey(*s);
}

}  // namespace

MorphemePatternRulePack morphemePatternRulePackFromJson(const json::Json& j) {
    json::requireObject(j, "morpheme-patterns");
    return MorphemePatternRulePack{packs::requireArrayOf(j, "patterns", patternFromJson)};
}

const MorphemePatternRulePack& MorphemePatternRule::fallbackRulePack() {
    // 行くでは → 行くのでは: a verb takes の before では. Only a verb in its
    // dictionary form: after a て-form (含んではならない) or a stem used as a
    // noun (終わりでは) では is right and のでは would break the sentence.
    static const MorphemePatternRulePack pack{
        .patterns = {MorphemePattern{
            .id = "languagetool-ja.verb-deha",
            .tokens = {{.partOfSpeech = JapanesePartOfSpeech::verb, .dictionaryForm = true},
                       {.surface = "で"},
                       {.surface = "は"}},
            .issueStart = 1,
            .issueEnd = 3,
            .suggestion = "のでは",
            .severity = CorrectionIssue::Severity::critical,
            .category = CorrectionIssue::Category::grammar,
            .confidence = 0.94,
            .explanationEn = "Use \"のでは\" after a verb, not \"では\".",
        }}};
    return pack;
}

MorphemePatternRule::MorphemePatternRule(const MorphemePatternRulePack& rulePack) {
    for (const MorphemePattern& p : rulePack.patterns) {
        const auto n = static_cast<int64_t>(p.tokens.size());
        if (n == 0 || p.issueStart < 0 || p.issueStart >= p.issueEnd || p.issueEnd > n)
            continue;
        Pattern pattern;
        for (const MorphemePatternToken& t : p.tokens)
            pattern.tokens.push_back(
                Token{keyOf(t.surface), keyOf(t.lemma), t.partOfSpeech, t.dictionaryForm});
        pattern.issueStart = static_cast<std::size_t>(p.issueStart);
        pattern.issueEnd = static_cast<std::size_t>(p.issueEnd);
        pattern.suggestion = p.suggestion;
        pattern.severity = p.severity;
        pattern.category = p.category;
        pattern.confidence = p.confidence;
        pattern.explanationEn = p.explanationEn;
        patterns_.push_back(std::move(pattern));
    }
}

bool MorphemePatternRule::Token::matches(const Morpheme& m) const {
    if (partOfSpeech && m.partOfSpeech != *partOfSpeech)
        return false;
    if (surface && !canonicallyEqualsKey(m.surface, *surface))
        return false;
    if (dictionaryForm &&
        canonicallyEqualsKey(m.surface, canonicalKey(m.lemma)) != *dictionaryForm) {
        return false;
    }
    return !lemma || canonicallyEqualsKey(m.lemma, *lemma);
}

std::vector<CorrectionIssue> MorphemePatternRule::apply(std::string_view text,
                                                        const std::vector<Morpheme>& morphemes,
                                                        const TextRange& sentenceRange,
                                                        std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    for (const Pattern& pattern : patterns_) {
        const std::size_t n = pattern.tokens.size();
        if (morphemes.size() < n)
            continue;
        for (std::size_t s = 0; s + n <= morphemes.size(); ++s) {
            bool matched = true;
            for (std::size_t k = 0; k < n && matched; ++k)
                matched = pattern.tokens[k].matches(morphemes[s + k]);
            if (!matched)
                continue;
            const int64_t start = morphemes[s + pattern.issueStart].range.start;
            const int64_t end = morphemes[s + pattern.issueEnd - 1].range.end;
            // The suggestion replaces the whole span, blanks inside it too
            // (行くで は → 行くのでは).
            auto original = writtenText(text, start, end);
            if (!original)
                continue;
            issues.push_back(makeIssue(IssueFields{.start = start,
                                                   .end = end,
                                                   .severity = pattern.severity,
                                                   .category = pattern.category,
                                                   .original = std::move(*original),
                                                   .suggestion = pattern.suggestion,
                                                   .explanationEn = pattern.explanationEn,
                                                   .confidence = pattern.confidence},
                                       sentenceRange, sentenceId));
        }
    }
    return issues;
}

}  // namespace mivo
