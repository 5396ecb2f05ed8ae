#include "tone_panel/tone_panel_texts.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "shared/text.hpp"

namespace mivo {
namespace {

using OptRegister = std::optional<Register>;

TEST(TonePanelTexts, LoadingBadgeAndApplyTextsFollowActionAndRegister) {
    struct Row {
        RewriteAction action;
        OptRegister reg;
        const char* loading;
        const char* badge;
    };
    const std::vector<Row> rows{
        {RewriteAction::improve, {}, "Improving text...", "Improved"},
        {RewriteAction::improve, Register::casual, "Improving text...", "Improved"},
        {RewriteAction::translate, {}, "Translating to Japanese...", "Japanese"},
        {RewriteAction::tone, Register::casual, "Rewriting as Casual...", "Casual"},
        {RewriteAction::tone, Register::polite, "Rewriting as Polite...", "Polite"},
        {RewriteAction::tone, Register::formalBusiness, "Rewriting as Formal Business...",
         "Formal Business"},
        {RewriteAction::tone, {}, "Rewriting as selected tone...", "Tone"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(loadingText(row.action, row.reg), row.loading);
        EXPECT_EQ(badgeLabel(row.action, row.reg), row.badge);
    }
    EXPECT_EQ(applyTitle(RewriteAction::improve, false), "Apply Improvement");
    EXPECT_EQ(applyTitle(RewriteAction::tone, false), "Apply Rewrite");
    EXPECT_EQ(applyTitle(RewriteAction::translate, false), "Apply Translation");
    EXPECT_EQ(applyTitle(RewriteAction::translate, true), "Done");
}

TEST(TonePanelTexts, LatencyIsPlainDigits) {
    EXPECT_EQ(latencyText(0), "0 ms");
    EXPECT_EQ(latencyText(850), "850 ms");
    EXPECT_EQ(latencyText(12345), "12345 ms");
}

TEST(TonePanelTexts, ChipWidthSharesTheRowLessTwoGapsRoundedDown) {
    EXPECT_EQ(registerChipWidth(372), 118);  // 2 points stay empty at the end
    EXPECT_EQ(registerChipWidth(100), 28);
    EXPECT_EQ(registerChipWidth(16), 0);
    EXPECT_EQ(registerChipWidth(10), 0);  // never negative
}

TEST(FeedbackComposerText, APasteOverTheLimitKeepsTheFirstThousandCharacters) {
    // 1,500 Characters of which each 👍🏽 is two code points and one Character.
    std::string pasted;
    for (int i = 0; i < 750; ++i) {
        pasted += "あ👍🏽";
    }
    ASSERT_EQ(text::characterCount(pasted), 1500);
    const std::string kept = limitFeedbackText(pasted);
    EXPECT_EQ(text::characterCount(kept), 1000);
    EXPECT_TRUE(pasted.starts_with(kept));
    EXPECT_EQ(feedbackCounterText(kept), "1000/1000");
    EXPECT_EQ(feedbackCounterText(""), "0/1000");
    EXPECT_EQ(limitFeedbackText("短い"), "短い");
}

TEST(FeedbackComposerText, SubmitNeedsMoreThanBlanksAndNothingInFlight) {
    struct Row {
        const char* text;
        bool inFlight;
        bool canSubmit;
    };
    const std::vector<Row> rows{
        {"", false, false},
        {" \n\t ", false, false},
        {"\u3000\u00a0", false, false},  // ideographic and no-break spaces
        {" 理由 ", false, true},
        {"理由", true, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(canSubmitWrittenFeedback(row.text, row.inFlight), row.canSubmit) << row.text;
    }
    EXPECT_EQ(text::trimWhitespaceAndNewlines("\n 一行目\n二行目 \u3000\n"), "一行目\n二行目");
    EXPECT_EQ(text::trimWhitespaceAndNewlines(" \n"), "");
}

TEST(ShimmerLine, SweepsFromBeforeTheLeadingEdgeToPastTheTrailingOneEveryPointFourteenSeconds) {
    EXPECT_DOUBLE_EQ(shimmerPhase(0), -1);
    EXPECT_DOUBLE_EQ(shimmerPhase(0.7), 0);
    EXPECT_NEAR(shimmerPhase(1.3999), 1, 1e-3);
    EXPECT_NEAR(shimmerPhase(1.4), -1, 1e-9);  // jumps back, does not reverse
    EXPECT_NEAR(shimmerPhase(2.1), 0, 1e-9);
}

}  // namespace
}  // namespace mivo
