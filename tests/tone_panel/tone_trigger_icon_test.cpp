#include "tone_panel/tone_trigger_icon.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/sim/virtual_clock.hpp"

namespace mivo {
namespace {

using Tag = SurfaceTagResolver::SurfaceTag;
using FocusState = ToneWarmBuffer::FocusState;

// A window that remembers what was done to it.
struct FakeWindowState {
    int made = 0;
    std::optional<Point> origin;
    bool visible = false;
    double alpha = 1;  // a fresh platform window is opaque until told
    int moves = 0;
    double pixelsPerPoint = 1;  // the screen's scale
    std::function<void()> click;
};

class FakeWindow : public TriggerIconWindow {
  public:
    explicit FakeWindow(std::shared_ptr<FakeWindowState> s) : s_(std::move(s)) {}
    void setFrameOrigin(Point origin) override {
        s_->origin = origin;
        ++s_->moves;
    }
    double pixelsPerPoint() const override { return s_->pixelsPerPoint; }
    bool isVisible() const override { return s_->visible; }
    void orderFront() override { s_->visible = true; }
    void orderOut() override { s_->visible = false; }
    double alpha() const override { return s_->alpha; }
    void setAlpha(double a) override { s_->alpha = a; }

  private:
    std::shared_ptr<FakeWindowState> s_;
};

FocusState qualifying(Rect frame = {100, 200, 300, 40}) {
    FocusState f;
    f.isEligible = true;
    f.elementFrame = frame;
    f.bundleId = "org.gnome.gedit";
    f.surfaceTag = Tag::notesPersonal;
    f.hasTargetCandidate = true;
    return f;
}

class ToneTriggerIconTest : public ::testing::Test {
  protected:
    ToneTriggerIconTest()
        : icon_(clock_, [this](std::function<void()> onClick) {
              // Each window made gets fresh state, like a new platform window.
              state_ = std::make_shared<FakeWindowState>();
              state_->made = ++windowsMade_;
              state_->pixelsPerPoint = scale_;
              state_->click = std::move(onClick);
              return std::make_unique<FakeWindow>(state_);
          }) {}

    bool shown() const { return state_ && state_->visible && state_->alpha > 0.99; }
    bool hidden() const { return !state_ || !state_->visible; }

    sim::VirtualClock clock_;
    std::shared_ptr<FakeWindowState> state_;
    int windowsMade_ = 0;
    double scale_ = 1;
    ToneTriggerIcon icon_;
};

TEST_F(ToneTriggerIconTest, AQualifyingReportFadesTheMarkInAtTheFieldsCorner) {
    icon_.apply(qualifying());
    ASSERT_NE(state_, nullptr);
    EXPECT_TRUE(state_->visible);
    EXPECT_EQ(state_->alpha, 0);  // starts invisible, then fades
    EXPECT_EQ(state_->origin, (Point{100 + 300 - 30, 200 + 8}));
    clock_.advance(0.09);
    EXPECT_GT(state_->alpha, 0.3);
    EXPECT_LT(state_->alpha, 0.7);
    clock_.advance(0.09);
    EXPECT_TRUE(shown());
}

TEST_F(ToneTriggerIconTest, OnAScaledScreenTheCornerInsetsScaleWithTheMark) {
    // The field comes in X pixels; the mark's 30 and 8 points are 1.5 or 2
    // X pixels each there, or the larger mark would hang past the field.
    struct Row {
        double scale;
        Point origin;
    };
    const std::vector<Row> rows{
        {1, {100 + 300 - 30, 200 + 8}},
        {1.5, {100 + 300 - 45, 200 + 12}},
        {2, {100 + 300 - 60, 200 + 16}},
    };
    for (const Row& row : rows) {
        scale_ = row.scale;
        icon_.stop();
        icon_.apply(qualifying());
        ASSERT_NE(state_, nullptr);
        EXPECT_EQ(state_->origin, row.origin) << "scale " << row.scale;
    }
}

TEST_F(ToneTriggerIconTest, HidesWhereARewriteMakesNoSense) {
    struct Row {
        const char* name;
        void (*change)(FocusState&);
        bool hides;
    };
    const std::vector<Row> rows{
        {"not eligible", [](FocusState& f) { f.isEligible = false; }, true},
        {"secure field", [](FocusState& f) { f.isSecureField = true; }, true},
        {"code or terminal", [](FocusState& f) { f.surfaceTag = Tag::codeOrTerminal; }, true},
        {"unknown surface", [](FocusState& f) { f.surfaceTag = Tag::unknown; }, true},
        {"input method composing", [](FocusState& f) { f.imeActive = true; }, true},
        {"no text", [](FocusState& f) { f.hasTargetCandidate = false; }, true},
        {"Slack", [](FocusState& f) { f.bundleId = "com.tinyspeck.slackmacgap"; }, true},
        {"Discord", [](FocusState& f) { f.bundleId = "com.hnc.Discord"; }, true},
        {"Teams", [](FocusState& f) { f.bundleId = "com.microsoft.teams2"; }, true},
        {"LINE", [](FocusState& f) { f.bundleId = "jp.naver.line.mac"; }, true},
        {"no frame", [](FocusState& f) { f.elementFrame.reset(); }, true},
        {"another chat application",
         [](FocusState& f) {
             f.surfaceTag = Tag::chatMessaging;
             f.bundleId = "org.telegram.desktop";
         },
         false},
        {"mail", [](FocusState& f) { f.surfaceTag = Tag::emailClient; }, false},
        {"no bundle", [](FocusState& f) { f.bundleId.reset(); }, false},
    };
    for (const Row& row : rows) {
        icon_.apply(qualifying());
        clock_.advance(0.5);
        ASSERT_TRUE(shown()) << row.name;
        FocusState report = qualifying();
        row.change(report);
        icon_.apply(report);
        clock_.advance(0.5);
        EXPECT_EQ(hidden(), row.hides) << row.name;
    }
}

TEST_F(ToneTriggerIconTest, StaysHiddenWhileThePanelIsOpenAndReturnsAfter) {
    icon_.apply(qualifying());
    clock_.advance(0.5);
    icon_.setPanelOpen(true);
    clock_.advance(0.5);
    EXPECT_TRUE(hidden());
    const Rect moved{50, 60, 200, 30};
    icon_.apply(qualifying(moved));  // recorded, not shown
    clock_.advance(0.5);
    EXPECT_TRUE(hidden());
    icon_.setPanelOpen(false);
    clock_.advance(0.5);
    EXPECT_TRUE(shown());
    EXPECT_EQ(state_->origin, (Point{50 + 200 - 30, 60 + 8}));
}

TEST_F(ToneTriggerIconTest, TheSameFrameTwiceDoesNotMoveTheWindowAgain) {
    icon_.apply(qualifying());
    icon_.apply(qualifying());
    EXPECT_EQ(state_->moves, 1);
    icon_.apply(qualifying({0, 0, 100, 40}));
    EXPECT_EQ(state_->moves, 2);
}

TEST_F(ToneTriggerIconTest, AWindowMadeAfterStopIsPlacedEvenForTheSameFrame) {
    icon_.apply(qualifying());
    clock_.advance(0.5);
    icon_.stop();
    EXPECT_EQ(icon_.window(), nullptr);
    icon_.apply(qualifying());
    ASSERT_EQ(state_->made, 2);
    EXPECT_EQ(state_->origin, (Point{370, 208}));
}

TEST_F(ToneTriggerIconTest, AShowDuringAFadeOutLeavesTheWindowOnScreen) {
    icon_.apply(qualifying());
    clock_.advance(0.5);
    FocusState secure = qualifying();
    secure.isSecureField = true;
    icon_.apply(secure);
    clock_.advance(0.1);
    icon_.apply(qualifying());
    clock_.advance(0.5);  // the fade-out's completion has run meanwhile
    EXPECT_TRUE(shown());
}

TEST_F(ToneTriggerIconTest, AClickLogsThenTriggers) {
    std::vector<std::string> events;
    icon_.onLog = [&](const std::string& line) { events.push_back(line); };
    icon_.onTrigger = [&] { events.push_back("trigger"); };
    icon_.apply(qualifying());
    state_->click();
    EXPECT_EQ(events, (std::vector<std::string>{"TONE-003: icon clicked → trigger", "trigger"}));

    icon_.onLog = nullptr;
    icon_.onTrigger = nullptr;
    state_->click();  // nothing set: nothing happens
    EXPECT_EQ(events.size(), 2u);
}

TEST(ToneTriggerIconLifetime, AClickAfterTheIconIsGoneDoesNothing) {
    sim::VirtualClock clock;
    std::function<void()> click;
    bool triggered = false;
    {
        ToneTriggerIcon icon(clock, [&](std::function<void()> onClick) {
            click = std::move(onClick);
            auto state = std::make_shared<FakeWindowState>();
            return std::make_unique<FakeWindow>(state);
        });
        icon.onTrigger = [&] { triggered = true; };
        icon.apply(qualifying());
    }
    click();
    clock.advance(1);
    EXPECT_FALSE(triggered);
}

}  // namespace
}  // namespace mivo
