#include "correction/rules/verb_conjugation_rule.hpp"

#include "correction/pack_decoding.hpp"

#include <array>
#include <utility>

namespace mivo {

VerbConjugationRule::RulePack verbConjugationRulePackFromJson(const json::Json& j) {
    json::requireObject(j, "conjugation pack");
    VerbConjugationRule::RulePack pack;
    pack.replacements = packs::requireArrayOf(j, "replacements", [](const json::Json& e) {
        VerbConjugationRule::Replacement r;
        r.original = json::requireString(e, "original");
        r.suggestion = json::requireString(e, "suggestion");
        const auto explanation = e.find("explanationEn");
        if (explanation != e.end() && !explanation->is_null())
            r.explanationEn = json::asString(*explanation, "explanationEn");
        return r;
    });
    return pack;
}

const VerbConjugationRule::RulePack& VerbConjugationRule::fallbackRulePack() {
    static const RulePack pack{
        .replacements = {
            // ichidan verbs conjugated like godan ones: 食べる → 食べり
            {"食べりました", "食べました", std::nullopt},
            {"見りました", "見ました", std::nullopt},
            {"起きりました", "起きました", std::nullopt},
            {"寝りました", "寝ました", std::nullopt},
            {"出りました", "出ました", std::nullopt},
            {"着りました", "着ました", std::nullopt},
            {"できりました", "できました", std::nullopt},
            // irregular て-forms and negatives
            {"行きて", "行って",
             "\"行きて\" uses the regular て-form pattern, but \"行く\" takes "
             "the irregular form \"行って\"."},
            {"来らない", "来ない", "\"来る\" has the irregular negative form \"来ない\"."},
            {"死いて", "死んで", "\"死ぬ\" uses the んで て-form. Use \"死んで\"."},
            {"買て", "買って", "\"買う\" requires a small っ in the て-form. Use \"買って\"."},
            {"しれる", "できる", "The potential form of \"する\" is \"できる\", not \"しれる\"."},
            {"集めって", "集めて", "\"集めて\" is the correct て-form."},
            {"行かさせる", "行かせる", "This is a sa-insertion causative form. Use \"行かせる\"."},
            // ら-dropping potentials, fine in speech, not in writing
            {"食べれます", "食べられます",
             "In formal writing, include \"ら\" in the potential form: "
             "\"食べられます\"."},
            {"見れます", "見られます",
             "In formal writing, include \"ら\" in the potential form: "
             "\"見られます\"."},
        }};
    return pack;
}

std::string VerbConjugationRule::explanation(std::string_view original,
                                             std::string_view suggestion) {
    // The irregular verbs get their reason; everything else the generic text.
    static const std::array<std::pair<std::string_view, std::string_view>, 5> specific = {{
        {"行きて",
         "\"行きて\" uses the regular て-form pattern, but \"行く\" takes the irregular form "
         "\"行って\"."},
        {"来らない", "\"来る\" has the irregular negative form \"来ない\"."},
        {"死いて", "\"死ぬ\" uses the んで て-form. Use \"死んで\"."},
        {"買て", "\"買う\" requires a small っ in the て-form. Use \"買って\"."},
        {"しれる", "The potential form of \"する\" is \"できる\", not \"しれる\"."},
    }};
    for (const auto& [form, text] : specific) {
        if (text::canonicallyEqual(original, form))
            return std::string(text);
    }
    return "\"" + std::string(original) + "\" uses an incorrect conjugation. Use \"" +
           std::string(suggestion) + "\".";
}

VerbConjugationRule::VerbConjugationRule(const RulePack& rulePack) {
    std::vector<Entry> entries;
    entries.reserve(rulePack.replacements.size());
    for (const Replacement& r : rulePack.replacements) {
        entries.push_back(
            {r.original, r.suggestion,
             r.explanationEn ? *r.explanationEn : explanation(r.original, r.suggestion)});
    }
    replacements_ = LiteralEntries<Entry>(entries, [](const Entry& e) { return e.original; });
}

std::vector<CorrectionIssue> VerbConjugationRule::apply(std::string_view text,
                                                        const std::vector<Morpheme>& /*morphemes*/,
                                                        const TextRange& sentenceRange,
                                                        std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    // Entry by entry, longest first; two entries may report nested ranges
    // (食べりました and べりました), which the engine's overlap step settles.
    replacements_.forEachMatch(text, [&](const LiteralMatch<Entry>& m) {
        issues.push_back(makeIssue(IssueFields{.start = m.start,
                                               .end = m.end,
                                               .severity = CorrectionIssue::Severity::critical,
                                               .category = CorrectionIssue::Category::conjugation,
                                               .original = m.original(),
                                               .suggestion = m.entry.suggestion,
                                               .explanationEn = m.entry.explanationEn,
                                               .confidence = 0.95},
                                   sentenceRange, sentenceId));
    });
    return issues;
}

}  // namespace mivo
