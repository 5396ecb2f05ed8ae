#include "correction/local_correction_service.hpp"

#include "rule_test_support.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

using Severity = CorrectionIssue::Severity;

// A finding a fake rule reports: its range and a tag naming it.
struct Planned {
    int64_t start, end;
    std::string tag;
    Severity severity = Severity::critical;
};

CorrectionIssue planned(const Planned& p, const TextRange& sentenceRange,
                        std::string_view sentenceId) {
    IssueFields f;
    f.start = p.start;
    f.end = p.end;
    f.severity = p.severity;
    f.explanationEn = p.tag;
    return makeIssue(f, sentenceRange, sentenceId);
}

class FakeMorphologyRule : public MorphologyAwareRule {
  public:
    explicit FakeMorphologyRule(std::vector<Planned> findings, bool vocabulary = false)
        : findings_(std::move(findings)), vocabulary_(vocabulary) {}

    std::vector<CorrectionIssue> apply(std::string_view text,
                                       const std::vector<Morpheme>& morphemes,
                                       const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override {
        lastText = std::string(text);
        lastMorphemes = morphemes;
        lastRange = sentenceRange;
        lastSentenceId = std::string(sentenceId);
        std::vector<CorrectionIssue> out;
        for (const auto& p : findings_)
            out.push_back(planned(p, sentenceRange, sentenceId));
        return out;
    }
    bool isVocabularyRule() const override { return vocabulary_; }

    mutable std::string lastText;
    mutable std::vector<Morpheme> lastMorphemes;
    mutable TextRange lastRange;
    mutable std::string lastSentenceId;

  private:
    std::vector<Planned> findings_;
    bool vocabulary_;
};

class FakeRule : public CorrectionRule {
  public:
    explicit FakeRule(std::vector<Planned> findings) : findings_(std::move(findings)) {}
    std::vector<CorrectionIssue> apply(std::string_view, const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override {
        std::vector<CorrectionIssue> out;
        for (const auto& p : findings_)
            out.push_back(planned(p, sentenceRange, sentenceId));
        return out;
    }

  private:
    std::vector<Planned> findings_;
};

class FakeTokenizer : public JapaneseTokenizer {
  public:
    std::vector<Morpheme> tokenize(std::string_view text) const override {
        ++calls;
        return {Morpheme{std::string(text), std::string(text), "", JapanesePartOfSpeech::noun,
                         TextRange{0, text::characterCount(text)}}};
    }
    mutable int calls = 0;
};

CompletedSentenceCandidate sentence(std::string text, int64_t start = 0) {
    CompletedSentenceCandidate c;
    c.id = "sentence-1";
    const int64_t n = text::characterCount(text);
    c.text = std::move(text);
    c.range = TextRange{start, start + n};
    return c;
}

std::vector<std::string> describe(const std::vector<CorrectionIssue>& issues) {
    std::vector<std::string> out;
    for (const auto& i : issues) {
        out.push_back(i.explanationEn + "[" + std::to_string(i.range.start) + "," +
                      std::to_string(i.range.end) + ")");
    }
    return out;
}

struct OverlapCase {
    std::string name;
    std::vector<std::vector<Planned>> byRule;  // one list per plain rule, in rule order
    std::vector<std::string> expected;
};

TEST(LocalCorrectionService, KeepsTheLongerOfNestedIssuesAndSortsByPosition) {
    const std::vector<OverlapCase> cases = {
        {"nested: the longer stays", {{{0, 5, "a"}}, {{1, 3, "b"}}}, {"a[0,5)"}},
        {"nested the other way round", {{{1, 3, "b"}}, {{0, 5, "a"}}}, {"a[0,5)"}},
        {"partial overlap: both stay", {{{3, 8, "b"}}, {{0, 5, "a"}}}, {"a[0,5)", "b[3,8)"}},
        {"identical ranges both stay in rule order; a third inside goes",
         {{{2, 4, "a"}}, {{2, 4, "b"}, {2, 3, "c"}}},
         {"a[2,4)", "b[2,4)"}},
        {"sharing a start: the shorter is inside", {{{2, 3, "a"}, {2, 6, "b"}}}, {"b[2,6)"}},
        {"every level inside a kept issue goes",
         {{{2, 3, "c"}}, {{1, 9, "b"}}, {{0, 10, "a"}}},
         {"a[0,10)"}},
        {"touching ranges both stay", {{{3, 5, "b"}, {0, 3, "a"}}}, {"a[0,3)", "b[3,5)"}},
        {"sorted by start whatever the rule order",
         {{{7, 9, "c"}}, {{0, 2, "a"}}, {{3, 4, "b"}}},
         {"a[0,2)", "b[3,4)", "c[7,9)"}},
        {"no issue", {{}, {}}, {}},
        // An empty range inside a longer one is nested like any other.
        {"an empty range inside another", {{{0, 4, "a"}, {2, 2, "b"}}}, {"a[0,4)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LocalCorrectionService::Rules rules;
        for (const auto& findings : c.byRule)
            rules.push_back(std::make_shared<FakeRule>(findings));
        const LocalCorrectionService service(rules);
        EXPECT_EQ(describe(service.analyze(sentence("あいうえおか"), {})), c.expected);
    }
}

TEST(LocalCorrectionService, MorphologyRulesRunBeforePlainRulesAndShareOneTokenization) {
    auto tokenizer = std::make_shared<FakeTokenizer>();
    auto first = std::make_shared<FakeMorphologyRule>(std::vector<Planned>{{2, 4, "m1"}});
    auto second = std::make_shared<FakeMorphologyRule>(std::vector<Planned>{{2, 4, "m2"}});
    auto plain = std::make_shared<FakeRule>(std::vector<Planned>{{2, 4, "p"}});
    const LocalCorrectionService service(tokenizer, {first, second}, {plain});

    const auto issues = service.analyze(sentence("今日は晴れ。", 30), {});
    // Equal ranges keep the order of production: morphology rules in list
    // order, then the plain rules.
    EXPECT_EQ(describe(issues), (std::vector<std::string>{"m1[32,34)", "m2[32,34)", "p[32,34)"}));
    EXPECT_EQ(tokenizer->calls, 1);
    EXPECT_EQ(first->lastMorphemes, second->lastMorphemes);
    ASSERT_EQ(first->lastMorphemes.size(), 1u);
    EXPECT_EQ(first->lastText, "今日は晴れ。");
    EXPECT_EQ(first->lastRange, (TextRange{30, 36}));
    EXPECT_EQ(first->lastSentenceId, "sentence-1");
    for (const auto& issue : issues)
        EXPECT_EQ(issue.sentenceId, "sentence-1");
}

TEST(LocalCorrectionService, WithoutTokenizerOnlyPlainRulesRun) {
    auto morphology = std::make_shared<FakeMorphologyRule>(std::vector<Planned>{{0, 1, "m"}});
    auto plain = std::make_shared<FakeRule>(std::vector<Planned>{{1, 2, "p"}});
    const LocalCorrectionService service(nullptr, {morphology}, {plain});
    EXPECT_EQ(describe(service.analyze(sentence("本をを読む"), {})),
              (std::vector<std::string>{"p[1,2)"}));
}

TEST(LocalCorrectionService, VocabularyOptionHidesOnlyTheVocabularyRulesStyleIssues) {
    auto vocabulary = std::make_shared<FakeMorphologyRule>(
        std::vector<Planned>{{0, 1, "vocab-style", Severity::style},
                             {1, 2, "vocab-critical", Severity::critical},
                             {2, 3, "vocab-unnatural", Severity::unnatural}},
        /*vocabulary=*/true);
    auto other = std::make_shared<FakeMorphologyRule>(
        std::vector<Planned>{{3, 4, "other-style", Severity::style}});
    auto plain =
        std::make_shared<FakeRule>(std::vector<Planned>{{4, 5, "plain-style", Severity::style}});
    const LocalCorrectionService service(std::make_shared<FakeTokenizer>(), {other, vocabulary},
                                         {plain});

    EXPECT_EQ(describe(service.analyze(sentence("あいうえお"), LocalCorrectionOptions{false})),
              (std::vector<std::string>{"vocab-critical[1,2)", "vocab-unnatural[2,3)",
                                        "other-style[3,4)", "plain-style[4,5)"}));
    EXPECT_EQ(
        describe(service.analyze(sentence("あいうえお"), LocalCorrectionOptions{true})),
        (std::vector<std::string>{"vocab-style[0,1)", "vocab-critical[1,2)", "vocab-unnatural[2,3)",
                                  "other-style[3,4)", "plain-style[4,5)"}));
}

}  // namespace
}  // namespace mivo
