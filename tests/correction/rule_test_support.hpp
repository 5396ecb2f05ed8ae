#pragma once

// Helpers shared by the rule tests: build morphemes by hand, run a rule over
// a sentence, apply an issue's suggestion to its sentence, compare issues
// with a table, print morphemes when a case fails.

#include "correction/correction_rule.hpp"
#include "shared/text.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mivo::testing {

// The sentence with `issue.suggestion` written over `issue.range`
// (Characters, relative to a sentence starting at `sentenceStart`).
inline std::string applyIssue(std::string_view sentence, const CorrectionIssue& issue,
                              int64_t sentenceStart = 0) {
    const text::CharacterText t{std::string(sentence)};
    return t.slice(0, issue.range.start - sentenceStart) + issue.suggestion +
           t.slice(issue.range.end - sentenceStart, t.count());
}

struct HandMorpheme {
    std::string surface;
    std::string lemma;  // empty: the surface
    JapanesePartOfSpeech partOfSpeech;
    std::string reading = {};
};

using Parts = std::vector<HandMorpheme>;

// Parts from a compact spelling: "surface/t" or "surface:lemma/t" separated
// by single spaces, t one of n(oun) p(article) v(erb) a(djective) d (adverb)
// i(nterjection) s(ymbol) u(nknown).
inline Parts words(std::string_view spelled) {
    Parts out;
    while (!spelled.empty()) {
        const auto space = spelled.find(' ');
        const std::string_view word = spelled.substr(0, space);
        spelled = space == std::string_view::npos ? "" : spelled.substr(space + 1);
        const auto slash = word.rfind('/');
        const std::string_view head = word.substr(0, slash);
        const auto colon = head.find(':');
        using P = JapanesePartOfSpeech;
        constexpr std::string_view letters = "npvadis";
        constexpr P classes[] = {P::noun,   P::particle,     P::verb,  P::adjective,
                                 P::adverb, P::interjection, P::symbol};
        const auto at = letters.find(word[slash + 1]);
        const P pos = at == std::string_view::npos ? P::unknown : classes[at];
        out.push_back(HandMorpheme{
            std::string(head.substr(0, colon)),
            colon == std::string_view::npos ? "" : std::string(head.substr(colon + 1)), pos});
    }
    return out;
}

// Morphemes laid end to end from offset 0, ranges counted in Characters.
inline std::vector<Morpheme> handMorphemes(const Parts& parts) {
    std::vector<Morpheme> out;
    int64_t at = 0;
    for (const auto& p : parts) {
        const int64_t n = text::characterCount(p.surface);
        out.push_back(Morpheme{p.surface, p.lemma.empty() ? p.surface : p.lemma,
                               p.reading.empty() ? p.surface : p.reading, p.partOfSpeech,
                               TextRange{at, at + n}});
        at += n;
    }
    return out;
}

// The sentence the parts were cut from.
inline std::string joined(const Parts& parts) {
    std::string s;
    for (const auto& p : parts)
        s += p.surface;
    return s;
}

inline std::string describe(const std::vector<Morpheme>& morphemes) {
    std::ostringstream out;
    for (const auto& m : morphemes) {
        out << m.surface << "/" << rawValue(m.partOfSpeech) << "/" << m.lemma << "["
            << m.range.start << "," << m.range.end << ") ";
    }
    return out.str();
}

// The rule over the sentence of `parts` with those morphemes, the sentence
// starting at `start` of its field; the sentence id is "s".
inline std::vector<CorrectionIssue> run(const MorphologyAwareRule& rule, const Parts& parts,
                                        int64_t start = 0) {
    const std::string text = joined(parts);
    return rule.apply(text, handMorphemes(parts),
                      TextRange{start, start + text::characterCount(text)}, "s");
}

// The rule over `text` alone, as for the rules that read only the text.
inline std::vector<CorrectionIssue> check(const MorphologyAwareRule& rule, std::string_view text,
                                          int64_t start = 0,
                                          const std::vector<Morpheme>& morphemes = {}) {
    return rule.apply(text, morphemes, TextRange{start, start + text::characterCount(text)}, "s");
}

inline std::vector<CorrectionIssue> check(const CorrectionRule& rule, std::string_view text,
                                          int64_t start = 0) {
    return rule.apply(text, TextRange{start, start + text::characterCount(text)}, "s");
}

// "suggestion@start-end" per issue, in the order returned.
inline std::vector<std::string> found(const std::vector<CorrectionIssue>& issues) {
    std::vector<std::string> out;
    for (const auto& i : issues) {
        out.push_back(i.suggestion + "@" + std::to_string(i.range.start) + "-" +
                      std::to_string(i.range.end));
    }
    return out;
}

// One expected issue: its range in Characters of a sentence starting at 0,
// the text it quotes, its suggestion and the whole sentence with it applied.
struct Expected {
    int64_t start, end;
    std::string original, suggestion, corrected;
};

// `issues` of `sentence` are `expected`, in order.
inline void expectIssues(std::string_view sentence, const std::vector<CorrectionIssue>& issues,
                         const std::vector<Expected>& expected) {
    ASSERT_EQ(issues.size(), expected.size());
    for (std::size_t i = 0; i < issues.size(); ++i) {
        const auto& e = expected[i];
        EXPECT_EQ(issues[i].range, (TextRange{e.start, e.end}));
        EXPECT_EQ(issues[i].original, e.original);
        EXPECT_EQ(issues[i].suggestion, e.suggestion);
        EXPECT_EQ(applyIssue(sentence, issues[i]), e.corrected);
    }
}

// Hand-built sentences, each with why the rule must say nothing there.
inline void expectNothing(const MorphologyAwareRule& rule,
                          const std::vector<std::pair<const char*, Parts>>& rows) {
    for (const auto& [why, parts] : rows) {
        EXPECT_TRUE(run(rule, parts).empty()) << why << ": " << describe(handMorphemes(parts));
    }
}

// Each row's sentence (`why`, `parts`) yields exactly one issue, over
// [`start`, `end`), quoting the text there, that applied gives `corrected`;
// `more(issue, row)` checks what the rule's rows add.
template <typename Row, typename More>
void expectOneIssueEach(const MorphologyAwareRule& rule, const std::vector<Row>& rows, More more) {
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.why) + ": " + describe(handMorphemes(r.parts)));
        const auto issues = run(rule, r.parts);
        ASSERT_EQ(issues.size(), 1u);
        const std::string text = joined(r.parts);
        EXPECT_EQ(issues[0].range, (TextRange{r.start, r.end}));
        EXPECT_EQ(issues[0].original, text::characterSlice(text, r.start, r.end));
        EXPECT_EQ(applyIssue(text, issues[0]), r.corrected);
        more(issues[0], r);
    }
}

}  // namespace mivo::testing

namespace mivo {
// Readable ranges in failure messages.
inline void PrintTo(const TextRange& r, std::ostream* os) {
    *os << "[" << r.start << "," << r.end << ")";
}
}  // namespace mivo
