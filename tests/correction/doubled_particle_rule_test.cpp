#include "correction/rules/doubled_particle_rule.hpp"

#include "rule_test_support.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

using testing::applyIssue;
using testing::handMorphemes;
using P = JapanesePartOfSpeech;

const std::string kDecomposedGa = "か\u3099";  // が as か + combining voiced mark

struct MorphemeCase {
    std::string name;
    testing::Parts parts;
    std::vector<testing::Expected> expected;
};

TEST(DoubleParticleRule, MorphemeForm) {
    const std::vector<MorphemeCase> cases = {
        {"doubled を",
         testing::words("本/n を/p を/p 読む/v 。/s"),
         {{1, 3, "をを", "を", "本を読む。"}}},
        {"tripled に, one issue over the run",
         testing::words("駅/n に/p に/p に/p 行く/v"),
         {{1, 4, "ににに", "に", "駅に行く"}}},
        {"two runs in one sentence",
         testing::words("私/n は/p は/p 本/n を/p を/p 買う/v"),
         {{1, 3, "はは", "は", "私は本をを買う"}, {4, 6, "をを", "を", "私はは本を買う"}}},
        // The run has content before it only after the symbols and particles.
        {"run after a noun, a symbol and a particle between",
         testing::words("本/n 、/s が/p が/p"),
         {{2, 4, "がが", "が", "本、が"}}},
        {"a particle followed by an equal surface of another part of speech",
         testing::words("本/n を/p を/p を/u"),
         {{1, 3, "をを", "を", "本をを"}}},
        {"decomposed が counts as が",
         {{"彼", "", P::noun},
          {"が", "", P::particle},
          {kDecomposedGa, "", P::particle},
          {"来た", "", P::verb}},
         {{1, 3, "が" + kDecomposedGa, "が", "彼が来た"}}},
        // Valid sentences: each says why nothing is reported.
        {"at the start of the sentence", testing::words("に/p に/p"), {}},
        {"after symbols and particles only", testing::words("「/s の/p に/p に/p"), {}},
        {"two different particles (には)", testing::words("東京/n に/p は/p"), {}},
        {"の is outside the set", testing::words("私/n の/p の/p"), {}},
        {"the same surface as another part of speech", testing::words("本/n と/p と/n"), {}},
        {"no morphemes", {}, {}},
    };
    const DoubleParticleRule rule;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + ": " + testing::describe(handMorphemes(c.parts)));
        testing::expectIssues(testing::joined(c.parts), testing::run(rule, c.parts), c.expected);
    }
}

TEST(DoubleParticleRule, IssueFieldsAndSentenceOffset) {
    const auto morphemes = handMorphemes(testing::words("本/n を/p を/p 読む/v"));
    const DoubleParticleRule rule;
    const auto issues = rule.apply("本をを読む", morphemes, TextRange{10, 15}, "sentence-7");
    ASSERT_EQ(issues.size(), 1u);
    const auto& issue = issues[0];
    EXPECT_EQ(issue.range, (TextRange{11, 13}));
    EXPECT_EQ(issue.sentenceId, "sentence-7");
    EXPECT_EQ(issue.severity, CorrectionIssue::Severity::critical);
    EXPECT_EQ(issue.category, CorrectionIssue::Category::particle);
    EXPECT_EQ(issue.source, CorrectionIssue::Source::rule);
    EXPECT_DOUBLE_EQ(issue.confidence, 1.0);
    EXPECT_EQ(issue.id.size(), 36u);
    EXPECT_EQ(applyIssue("本をを読む", issue, 10), "本を読む");
}

TEST(DoubleParticleRule, OriginalQuotesTheTextEvenAcrossAGap) {
    // MeCab drops the blank between the two を; the finding spans it, and
    // the fix removes the blank too.
    std::vector<Morpheme> morphemes = handMorphemes(testing::words("本/n を/p"));
    morphemes.push_back(Morpheme{"を", "を", "ヲ", P::particle, TextRange{3, 4}});
    morphemes.push_back(Morpheme{"読む", "読む", "ヨム", P::verb, TextRange{4, 6}});
    const auto issues = DoubleParticleRule().apply("本を を読む", morphemes, TextRange{0, 6}, "s");
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].range, (TextRange{1, 4}));
    EXPECT_EQ(issues[0].original, "を を");
    EXPECT_EQ(applyIssue("本を を読む", issues[0]), "本を読む");
}

struct PlainCase {
    std::string text;
    std::vector<testing::Expected> expected;
};

TEST(DoubleParticleRule, PlainForm) {
    const std::vector<PlainCase> cases = {
        // No content test in the plain form: a run at the very start counts.
        {"ををを", {{0, 3, "ををを", "を", "を"}}},
        {"本をを読む", {{1, 3, "をを", "を", "本を読む"}}},
        {"彼はは本にに", {{1, 3, "はは", "は", "彼は本にに"}, {4, 6, "にに", "に", "彼はは本に"}}},
        {"か\u3099が", {{0, 2, "か\u3099が", "が", "が"}}},
        {"私のの本", {}},
        {"", {}},
    };
    const DoubleParticleRule rule;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto issues = rule.apply(c.text, TextRange{0, 0}, "s");
        testing::expectIssues(c.text, issues, c.expected);
    }
}

}  // namespace
}  // namespace mivo
