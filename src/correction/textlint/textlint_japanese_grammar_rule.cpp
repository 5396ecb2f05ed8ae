#include "correction/textlint/textlint_japanese_grammar_rule.hpp"

#include "correction/pack_decoding.hpp"
#include "shared/text.hpp"

#include <algorithm>
#include <optional>
#include <string_view>

namespace mivo {

namespace {

constexpr std::string_view kRaDropping = "japanese/no-dropping-the-ra";
constexpr std::string_view kNfd = "japanese/no-nfd";
constexpr std::string_view kControlCharacter = "japanese/no-invalid-control-character";
constexpr std::string_view kZeroWidthSpace = "japanese/no-zero-width-spaces";

TextlintRuleMetadata decodeMetadata(const json::Json& j) {
    TextlintRuleMetadata m;
    m.id = json::requireString(j, "id");
    m.severity = packs::requireSeverity(j);
    m.category = packs::requireCategory(j);
    m.confidence = json::requireNumber(j, "confidence");
    return m;
}

// The fix text for a flagged span: only mechanical fixes change it.
std::string suggestion(const std::string& original, std::string_view ruleId) {
    if (ruleId == kRaDropping) {
        // 見れる -> 見られる: textlint flags the れ(る) that lost its ら.
        return text::hasPrefix(original, "ら") ? original : "ら" + original;
    }
    if (ruleId == kNfd)
        return text::nfc(original);
    if (ruleId == kControlCharacter || ruleId == kZeroWidthSpace)
        return {};
    return original;
}

std::string explanation(const TextlintMessage& message) {
    struct Entry {
        std::string_view ruleId;
        std::string_view text;
    };
    static constexpr Entry kExplanations[] = {
        {"japanese/max-ten",
         "This sentence has many Japanese commas. Split or simplify it for readability."},
        {"japanese/no-doubled-conjunctive-particle-ga",
         "The contrastive particle \"が\" appears more than once in the same sentence. Rephrase "
         "to avoid a tangled sentence."},
        {"japanese/no-doubled-conjunction",
         "The same conjunction appears repeatedly. Remove or vary the repeated connector."},
        {"japanese/no-double-negative-ja",
         "This uses a double negative. Prefer a direct affirmative or simpler negative "
         "expression."},
        {"japanese/sentence-length",
         "This sentence is long. Split it so the correction stays readable."},
        {kRaDropping, "This uses a ra-dropping potential form. In formal writing, include \"ら\"."},
        {"japanese/no-mix-dearu-desumasu",
         "This mixes plain/formal writing styles. Keep the sentence consistently polite or "
         "consistently plain."},
        {kNfd,
         "This text uses decomposed Japanese characters. Normalize the characters before "
         "sending."},
        {kControlCharacter, "This text contains an invalid control character."},
        {kZeroWidthSpace, "This text contains a zero-width space."},
        {"japanese/no-kangxi-radicals",
         "This text contains Kangxi radicals that look like Japanese kanji but are different "
         "Unicode characters."},
    };
    for (const auto& e : kExplanations) {
        if (e.ruleId == message.ruleId)
            return std::string(e.text);
    }
    return message.message;
}

struct Span {
    int64_t start;
    int64_t end;
};

// textlint counts in UTF-16 code units; issues count in Characters. A range
// that cannot be mapped exactly falls back to one Character at `index`.
std::optional<Span> characterSpan(const text::CharacterText& text, const TextlintMessage& m) {
    const int64_t count = text.count();
    if (m.range.size() == 2) {
        const int64_t a = m.range[0];
        const int64_t b = m.range[1];
        if (0 <= a && a <= b && b <= text.utf16Offset(count)) {
            const auto start = text.characterIndexAtUtf16(a);
            const auto end = text.characterIndexAtUtf16(b);
            if (start && end)
                return Span{*start, *end};
        }
    }
    // `index` comes from outside: bounded before any arithmetic on it.
    const int64_t start = std::max<int64_t>(m.index, 0);
    if (start >= count)
        return std::nullopt;
    return Span{start, start + 1};
}

}  // namespace

TextlintRulePack textlintRulePackFromJson(const json::Json& j) {
    json::requireObject(j, TextlintJapaneseGrammarRule::packName);
    TextlintRulePack pack;
    pack.rules = packs::requireArrayOf(j, "rules", decodeMetadata);
    pack.disabledDuplicateRules = json::requireStringArray(j, "disabledDuplicateRules");
    return pack;
}

const TextlintRulePack& TextlintJapaneseGrammarRule::fallbackRulePack() {
    using Severity = CorrectionIssue::Severity;
    using Category = CorrectionIssue::Category;
    static const TextlintRulePack pack{
        .rules =
            {
                {"japanese/no-dropping-the-ra", Severity::unnatural, Category::conjugation, 0.82},
                {"japanese/no-double-negative-ja", Severity::unnatural, Category::conjugation,
                 0.82},
                {"japanese/no-doubled-conjunctive-particle-ga", Severity::style, Category::particle,
                 0.82},
                {"japanese/no-invalid-control-character", Severity::critical, Category::grammar,
                 0.82},
                {"japanese/no-zero-width-spaces", Severity::critical, Category::grammar, 0.82},
                {"japanese/no-nfd", Severity::style, Category::grammar, 0.82},
                {"japanese/no-kangxi-radicals", Severity::style, Category::grammar, 0.82},
            },
        .disabledDuplicateRules = {"japanese/no-doubled-joshi", "japanese/no-mix-dearu-desumasu"},
    };
    return pack;
}

TextlintJapaneseGrammarRule::TextlintJapaneseGrammarRule(TextlintJapaneseBridge& bridge,
                                                         const TextlintRulePack& rulePack)
    : bridge_(&bridge) {
    for (const auto& entry : rulePack.rules)
        metadataByRuleId_.try_emplace(entry.id, entry);
}

std::vector<CorrectionIssue> TextlintJapaneseGrammarRule::apply(std::string_view text,
                                                                const TextRange& sentenceRange,
                                                                std::string_view sentenceId) const {
    const auto messages = bridge_->lint(text);
    if (messages.empty())
        return {};
    const text::CharacterText characters{std::string(text)};
    std::vector<CorrectionIssue> issues;
    for (const auto& message : messages) {
        const auto metadata = metadataByRuleId_.find(message.ruleId);
        if (metadata == metadataByRuleId_.end())
            continue;
        const auto span = characterSpan(characters, message);
        if (!span || span->end < span->start || span->end > characters.count())
            continue;
        IssueFields fields;
        fields.start = span->start;
        fields.end = span->end;
        fields.original = characters.slice(span->start, span->end);
        fields.suggestion = suggestion(fields.original, message.ruleId);
        fields.explanationEn = explanation(message);
        fields.severity = metadata->second.severity;
        fields.category = metadata->second.category;
        fields.confidence = metadata->second.confidence;
        issues.push_back(makeIssue(fields, sentenceRange, sentenceId));
    }
    return issues;
}

}  // namespace mivo
