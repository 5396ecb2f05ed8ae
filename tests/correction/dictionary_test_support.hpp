#pragma once

// Rules run over the real MeCab analysis of a sentence, and the check that
// every suggestion applied gives the expected whole sentence.

#include "correction/correction_rule.hpp"
#include "morphology/mecab_japanese_tokenizer.hpp"
#include "rule_test_support.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mivo::testing {

struct DictionaryCase {
    std::string text;
    // Each issue as the sentence reads with its suggestion applied, in the
    // rule's order; empty when the rule must find nothing.
    std::vector<std::string> corrected;
    std::vector<TextRange> ranges = {};  // checked when given
};

inline void expectThroughDictionary(const MorphologyAwareRule& rule,
                                    const std::vector<DictionaryCase>& cases) {
    const MecabJapaneseTokenizer* tokenizer = MecabJapaneseTokenizer::shared();
    ASSERT_NE(tokenizer, nullptr) << "the IPA dictionary is not installed";
    for (const auto& c : cases) {
        const auto morphemes = tokenizer->tokenize(c.text);
        SCOPED_TRACE(c.text + ": " + describe(morphemes));
        const auto issues =
            rule.apply(c.text, morphemes, TextRange{0, text::characterCount(c.text)}, "S");
        std::vector<std::string> corrected;
        for (const auto& issue : issues) {
            corrected.push_back(applyIssue(c.text, issue));
            // Exactly what the user wrote there: not the surfaces, which
            // lack the blanks the analyser drops and are in NFC.
            EXPECT_EQ(issue.original,
                      text::characterSlice(c.text, issue.range.start, issue.range.end));
        }
        EXPECT_EQ(corrected, c.corrected);
        if (!c.ranges.empty()) {
            ASSERT_EQ(issues.size(), c.ranges.size());
            for (std::size_t i = 0; i < issues.size(); ++i)
                EXPECT_EQ(issues[i].range, c.ranges[i]);
        }
    }
}

}  // namespace mivo::testing
