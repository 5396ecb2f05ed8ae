// The bridge script and the grammar rule against the real textlint of
// tools/textlint, as scripts/setup.sh installs it.

#include "correction/rule_pack.hpp"
#include "correction/textlint/textlint_japanese_grammar_rule.hpp"
#include "rule_test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace mivo {
namespace {
namespace fs = std::filesystem;
using Severity = CorrectionIssue::Severity;

TEST(InstalledTextlint, FlagsWhatTheAllowListLetsThrough) {
    const fs::path repository = sourceResourcesFolder().parent_path();
    if (!fs::exists(repository / "tools" / "textlint" / "node_modules" / ".bin" / "textlint"))
        GTEST_SKIP() << "textlint is not installed; scripts/setup.sh installs it";

    TextlintJapaneseBridge::Settings settings;
    settings.enabled = true;
    // The default folders: a build finds the source tree's package.
    TextlintJapaneseBridge bridge(settings);
    ASSERT_TRUE(bridge.isAvailable());
    const TextlintJapaneseGrammarRule rule(
        bridge, loadRulePack(TextlintJapaneseGrammarRule::packName, &textlintRulePackFromJson,
                             TextlintJapaneseGrammarRule::fallbackRulePack()));
    const TextRange sentence{4, 20};

    {
        SCOPED_TRACE("ra-dropping");
        const std::string text = "この服は見れる。";
        const auto issues = rule.apply(text, sentence, "S");
        ASSERT_EQ(issues.size(), 1u);
        EXPECT_EQ(issues[0].severity, Severity::unnatural);
        EXPECT_EQ(issues[0].suggestion, "ら" + issues[0].original);
        EXPECT_EQ(testing::applyIssue(text, issues[0], sentence.start), "この服は見られる。");
    }
    {
        SCOPED_TRACE("zero-width space");
        const std::string text = "これは\u200bテストです。";
        const auto issues = rule.apply(text, sentence, "S");
        ASSERT_EQ(issues.size(), 1u);
        EXPECT_EQ(issues[0].severity, Severity::critical);
        EXPECT_EQ(issues[0].original, "\u200b");
        EXPECT_EQ(issues[0].suggestion, "");
        EXPECT_EQ(testing::applyIssue(text, issues[0], sentence.start), "これはテストです。");
    }
    {
        SCOPED_TRACE("doubled joshi: textlint reports it, the built-in pack does not list it");
        const std::string text = "私は彼は好きだ。";
        const auto messages = bridge.lint(text);
        EXPECT_TRUE(std::ranges::any_of(
            messages, [](const auto& m) { return m.ruleId == "japanese/no-doubled-joshi"; }));
        EXPECT_TRUE(rule.apply(text, sentence, "S").empty());
    }
}

}  // namespace
}  // namespace mivo
