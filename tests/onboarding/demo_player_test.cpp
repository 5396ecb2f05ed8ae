#include <gmock/gmock.h>

#include <vector>

#include "onboarding/demo_player.hpp"
#include "onboarding/demo_scene.hpp"
#include "platform/sim/virtual_clock.hpp"

namespace mivo {
namespace {

using Phase = DemoPlayer::Phase;

TEST(DemoPlayer, TimelineLastsTwelvePointFourSeconds) {
    double total = 0;
    for (const auto& step : DemoPlayer::timeline) {
        total += step.seconds;
    }
    EXPECT_NEAR(total, DemoPlayer::loopSeconds, 1e-9);
}

TEST(DemoPlayer, PhaseAtChosenTimesLoopsEveryTwelvePointFourSeconds) {
    struct Case {
        double at;
        Phase expected;
    };
    const std::vector<Case> cases = {
        {0.0, Phase::typing},       {1.59, Phase::typing},       {1.6, Phase::underline},
        {2.59, Phase::underline},   {2.6, Phase::tooltip},       {4.6, Phase::applied},
        {6.2, Phase::selected},     {7.5, Phase::tonePolite},    {8.9, Phase::toneBusiness},
        {10.6, Phase::toneApplied}, {12.39, Phase::toneApplied}, {12.4, Phase::typing},
        {14.0, Phase::underline},   {24.8, Phase::typing},       {30.0, Phase::applied},
    };
    sim::VirtualClock clock;
    DemoPlayer player(clock);
    player.start();
    double now = 0;
    for (const Case& c : cases) {
        clock.advance(c.at - now);
        now = c.at;
        EXPECT_EQ(player.phase(), c.expected) << "at " << c.at << " s";
    }
}

TEST(DemoPlayer, OnlyTheFirstPhaseOfAStartIsShownWithoutAnimation) {
    sim::VirtualClock clock;
    DemoPlayer player(clock);
    std::vector<std::pair<Phase, bool>> changes;
    player.onPhaseChanged = [&](Phase phase, bool animated) {
        changes.emplace_back(phase, animated);
    };
    player.start();
    clock.advance(DemoPlayer::loopSeconds);
    ASSERT_EQ(changes.size(), 9u);  // the start, seven steps, the wrap to typing
    EXPECT_EQ(changes.front(), std::make_pair(Phase::typing, false));
    for (std::size_t i = 1; i < changes.size(); ++i) {
        EXPECT_TRUE(changes[i].second) << i;
    }
    EXPECT_EQ(changes.back(), std::make_pair(Phase::typing, true));
}

TEST(DemoPlayer, LeavingAndReturningRestartsWithOneLoopOnly) {
    sim::VirtualClock clock;
    DemoPlayer player(clock);
    int changes = 0;
    player.onPhaseChanged = [&](Phase, bool) { ++changes; };
    player.start();
    clock.advance(3.0);  // in the tooltip phase
    EXPECT_EQ(player.phase(), Phase::tooltip);
    player.stop();
    clock.advance(30.0);
    EXPECT_EQ(player.phase(), Phase::tooltip);
    EXPECT_FALSE(player.isRunning());

    player.start();
    EXPECT_EQ(player.phase(), Phase::typing);
    // Started again without a stop in between: still one pending step.
    clock.advance(1.0);
    player.start();
    EXPECT_EQ(clock.pendingCount(), 1u);
    changes = 0;
    clock.advance(DemoPlayer::loopSeconds);
    EXPECT_EQ(changes, 8);  // a doubled loop would step twice as often
    EXPECT_EQ(player.phase(), Phase::typing);
}

TEST(DemoPlayer, APlayerThatIsGoneLeavesNoStepBehind) {
    sim::VirtualClock clock;
    {
        DemoPlayer player(clock);
        player.start();
        EXPECT_EQ(clock.pendingCount(), 1u);
    }
    clock.advance(DemoPlayer::loopSeconds);  // would touch the freed player
    EXPECT_EQ(clock.pendingCount(), 0u);
}

TEST(DemoScene, CaretUnderlineAndBubbleOnlyInTheirPhases) {
    struct Case {
        Phase phase;
        bool caret;
        bool underline;
        bool bubble;
        const char* word;
    };
    const std::vector<Case> cases = {
        {Phase::typing, true, false, false, "送ます"},
        {Phase::underline, false, true, false, "送ます"},
        {Phase::tooltip, false, true, true, "送ます"},
        {Phase::applied, false, false, false, "送ります"},
    };
    for (const Case& c : cases) {
        const DemoScene scene = demoScene(c.phase);
        EXPECT_FALSE(scene.toneStage);
        EXPECT_EQ(scene.caretVisible, c.caret) << static_cast<int>(c.phase);
        EXPECT_EQ(scene.underlineVisible, c.underline) << static_cast<int>(c.phase);
        EXPECT_EQ(scene.bubbleVisible, c.bubble) << static_cast<int>(c.phase);
        EXPECT_EQ(scene.correctedWord, c.word);
        EXPECT_EQ(scene.correctedWordIsSuccess, c.phase == Phase::applied);
        EXPECT_EQ(scene.pillLabel, "Auto-correct");
    }
}

TEST(DemoScene, ToneStageSentencesAndChips) {
    struct Case {
        Phase phase;
        const char* sentence;
        DemoScene::Chip chip;
        bool selection;
        bool success;
        bool chipRow;
    };
    const std::vector<Case> cases = {
        {Phase::selected, "明日送るね", DemoScene::Chip::none, true, false, true},
        {Phase::tonePolite, "明日送ります", DemoScene::Chip::polite, false, false, true},
        {Phase::toneBusiness, "明日お送りいたします。", DemoScene::Chip::business, false, false,
         true},
        {Phase::toneApplied, "明日お送りいたします。", DemoScene::Chip::none, false, true, false},
    };
    for (const Case& c : cases) {
        const DemoScene scene = demoScene(c.phase);
        EXPECT_TRUE(scene.toneStage);
        // The pill names the business tone throughout, even while "Polite" is on.
        EXPECT_EQ(scene.pillLabel, "Tone · Business");
        EXPECT_EQ(scene.toneSentence, c.sentence);
        EXPECT_EQ(scene.activeChip, c.chip);
        EXPECT_EQ(scene.toneSelectionVisible, c.selection);
        EXPECT_EQ(scene.toneSentenceIsSuccess, c.success);
        EXPECT_EQ(scene.chipRowVisible, c.chipRow);
        EXPECT_FALSE(scene.caretVisible || scene.underlineVisible || scene.bubbleVisible);
    }
}

TEST(Squiggle, ArchesAlternateFromUpAndTheLastEndsAtTheRightEdge) {
    struct Case {
        double minX;
        double maxX;
        std::vector<double> ends;
    };
    const std::vector<Case> cases = {
        {10, 10, {}},    // no width: only the starting point
        {10, 14, {14}},  // narrower than 6: one arch, to the edge
        {0, 6, {6}},    {0, 12, {6, 12}}, {5, 18, {11, 17, 18}},  // the last arch cut short
    };
    for (const Case& c : cases) {
        const auto arches = squiggleArches(c.minX, c.maxX, 20.0);
        ASSERT_EQ(arches.size(), c.ends.size()) << c.minX << ".." << c.maxX;
        double start = c.minX;
        for (std::size_t i = 0; i < arches.size(); ++i) {
            EXPECT_DOUBLE_EQ(arches[i].startX, start);
            EXPECT_DOUBLE_EQ(arches[i].endX, c.ends[i]);
            EXPECT_DOUBLE_EQ(arches[i].controlX, (start + c.ends[i]) / 2);
            // y grows downwards: the first arch bows up, then they alternate.
            EXPECT_DOUBLE_EQ(arches[i].controlY, i % 2 == 0 ? 18.2 : 21.8);
            start = c.ends[i];
        }
    }
}

}  // namespace
}  // namespace mivo
