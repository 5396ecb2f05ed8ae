#pragma once

// Helpers shared by the rule tests: build morphemes by hand, apply an
// issue's suggestion to its sentence, print morphemes when a case fails.

#include "correction/correction_rule.hpp"
#include "shared/text.hpp"

#include <sstream>
#include <string>
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

// Morphemes laid end to end from offset 0, ranges counted in Characters.
inline std::vector<Morpheme> handMorphemes(const std::vector<HandMorpheme>& parts) {
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

inline std::string describe(const std::vector<Morpheme>& morphemes) {
    std::ostringstream out;
    for (const auto& m : morphemes) {
        out << m.surface << "/" << rawValue(m.partOfSpeech) << "/" << m.lemma << "["
            << m.range.start << "," << m.range.end << ") ";
    }
    return out.str();
}

}  // namespace mivo::testing

namespace mivo {
// Readable ranges in failure messages.
inline void PrintTo(const TextRange& r, std::ostream* os) {
    *os << "[" << r.start << "," << r.end << ")";
}
}  // namespace mivo
