#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "shared/text.hpp"
#include "tone/tone_warm_buffer.hpp"
#include "tone_scene.hpp"

namespace mivo {
namespace {

constexpr std::string_view kPauseLine = "warmBuffer: IME burst → pause refresh";
constexpr std::string_view kResumeLine = "warmBuffer: IME burst ended → resume refresh";
constexpr std::string_view kIdleLine = "warmBuffer: cleared (idle_60s)";

class WarmBufferTest : public ToneScene {
  protected:
    WarmBufferTest() {
        buffer = std::make_unique<ToneWarmBuffer>(desk.ports(), [this] { return limit; });
        buffer->onLog = [this](const std::string& line) { lines.push_back(line); };
        buffer->onFocusChanged = [this](const ToneWarmBuffer::FocusState& s) {
            states.push_back(s);
        };
    }

    void startOn(sim::SimId field) {
        desk.focus(field);
        buffer->start();
        desk.clock().advance(0);
    }

    // One edit of the field, as the application makes it; its notification
    // is handled at once.
    void edit(sim::SimId field, std::string text) {
        desk.setText(field, std::move(text));
        desk.clock().advance(0);
    }

    // A caret move: one selection notification.
    void moveCaret(sim::SimId field, int64_t to) {
        desk.select(field, Utf16Range{to, 0});
        desk.clock().advance(0);
    }

    int count(std::string_view line) const {
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }

    // Whether a freeze now is served from what the buffer keeps.
    bool servedWarm() {
        const auto s = buffer->freeze();
        return s && !s->isColdPath;
    }

    int64_t limit = 1000;
    std::unique_ptr<ToneWarmBuffer> buffer;
    std::vector<std::string> lines;
    std::vector<ToneWarmBuffer::FocusState> states;
};

TEST_F(WarmBufferTest, ABurstOfSevenChangesPausesOnceAndTheNextChangeResumes) {
    const auto field = focusedField("今日は晴れ。明日は雨。", 11);
    startOn(field);
    // Seven caret moves, 0.03 s apart: one notification each.
    for (int i = 0; i < 7; ++i) {
        if (i > 0)
            desk.clock().advance(0.03);
        moveCaret(field, i);
        // The pause starts with the sixth change inside 0.25 s.
        EXPECT_EQ(count(kPauseLine), i >= 5 ? 1 : 0) << "after change " << i + 1;
    }
    // The refresh the fifth change scheduled (at 0.12 s) still runs, 0.25 s
    // after it; the sixth and seventh scheduled none.
    desk.clock().advance(0.12 + 0.25 - 0.18 - 0.001);
    EXPECT_FALSE(servedWarm());
    desk.clock().advance(0.002);
    EXPECT_TRUE(servedWarm());

    // 0.3 s after the seventh the window holds one change: resume, refresh.
    desk.clock().advance(0.48 - 0.371);
    moveCaret(field, 9);
    EXPECT_EQ(count(kResumeLine), 1);
    desk.clock().advance(0.25);
    EXPECT_EQ(buffer->freeze()->targetText, "明日は雨。");
    EXPECT_EQ(count(kPauseLine), 1);
}

TEST_F(WarmBufferTest, WithoutAnInputMethodFastTypingIsNoBurst) {
    // Synthetic typing (a test, a text expander): seven changes in 0.18 s
    // with no input method running refresh as any typing does.
    desk.input().setInputMethodRunning(false);
    const auto field = focusedField("今日は晴れ。明日は雨。", 11);
    startOn(field);
    for (int i = 0; i < 7; ++i) {
        if (i > 0)
            desk.clock().advance(0.03);
        moveCaret(field, i);
    }
    EXPECT_EQ(count(kPauseLine), 0);
    desk.clock().advance(0.25);
    EXPECT_TRUE(servedWarm());
}

TEST_F(WarmBufferTest, FiveChangesInAWindowNeverPauseAndTheRefreshFollowsTheLast) {
    const auto field = focusedField("今日は晴れ。明日は雨。", 11);
    startOn(field);
    for (int i = 0; i < 5; ++i) {
        if (i > 0)
            desk.clock().advance(0.05);
        moveCaret(field, i);
    }
    EXPECT_EQ(count(kPauseLine), 0);
    desk.clock().advance(0.249);
    EXPECT_FALSE(servedWarm());
    desk.clock().advance(0.002);
    EXPECT_TRUE(servedWarm());
}

TEST_F(WarmBufferTest, TheCacheIsDroppedOnceBetween60And61IdleSeconds) {
    const auto field = focusedField("");
    startOn(field);
    desk.clock().advance(0.5);
    edit(field, "今日は晴れ。");
    desk.clock().advance(60);
    EXPECT_EQ(count(kIdleLine), 0);
    EXPECT_TRUE(servedWarm());
    desk.clock().advance(1);
    EXPECT_EQ(count(kIdleLine), 1);
    EXPECT_FALSE(servedWarm());
    desk.clock().advance(120);
    EXPECT_EQ(count(kIdleLine), 1);
}

TEST_F(WarmBufferTest, AnOverlongSelectionIsKeptOneCharacterPastTheLimit) {
    std::string long1500;
    for (int i = 0; i < 1500; ++i)
        long1500 += "あ";
    const auto field = focusedField(long1500);
    startOn(field);
    desk.select(field, Utf16Range{0, 1500});
    desk.clock().advance(0.3);
    const auto s = buffer->freeze();
    ASSERT_TRUE(s.has_value());
    EXPECT_TRUE(s->isSelection);
    EXPECT_EQ(text::characterCount(s->targetText), 1001);
}

TEST_F(WarmBufferTest, TheLiveSelectionComesTrimmedWithTheFieldAsTarget) {
    const auto field = focusedField("前の文。  abc  です");
    startOn(field);
    desk.select(field, Utf16Range{4, 7});
    const auto s = buffer->freeze();
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->targetText, "abc");
    EXPECT_FALSE(s->isColdPath);
    EXPECT_EQ(s->targetElement, el(field));
    EXPECT_EQ(s->bundleId, "com.example.editor");
    EXPECT_TRUE(s->elementFrame.has_value());
}

TEST_F(WarmBufferTest, WithNothingKeptAFreezeReadsTheSentenceAtTheCaret) {
    const auto field = focusedField("今日は晴れ。明日は雨。", 3);
    startOn(field);
    const auto s = buffer->freeze();
    ASSERT_TRUE(s.has_value());
    EXPECT_TRUE(s->isColdPath);
    EXPECT_EQ(s->targetText, "今日は晴れ。");
    EXPECT_EQ(s->followingContext, "明日は雨。");
}

TEST_F(WarmBufferTest, ATerminalGivesNoSnapshotEvenWithASelection) {
    const Pid terminal = 200;
    desk.addApplication(terminal, "Terminal", "com.apple.Terminal");
    const auto termWindow = desk.addWindow(terminal, "bash");
    const auto field = desk.addTextField(termWindow, "ls -la。");
    desk.focus(field);
    startOn(focusedField("今日は晴れ。"));
    desk.activateApplication(terminal);
    desk.clock().advance(0);
    desk.select(field, Utf16Range{0, 2});
    desk.clock().advance(0.3);
    EXPECT_EQ(buffer->freeze(), std::nullopt);
    ASSERT_FALSE(states.empty());
    EXPECT_FALSE(states.back().isEligible);
}

TEST_F(WarmBufferTest, FocusStatesCarryTheKindOfTheFrontApplication) {
    using Tag = SurfaceTagResolver::SurfaceTag;
    const struct {
        const char* bundle;
        Tag tag;
        bool eligible;
    } cases[] = {
        {"com.apple.Notes", Tag::notesPersonal, true},
        {"org.mozilla.thunderbird", Tag::emailClient, true},
        // Unknown applications stay eligible here; whoever shows something
        // beside the field decides what unknown means.
        {"com.example.other", Tag::unknown, true},
        {"com.apple.Terminal", Tag::codeOrTerminal, false},
    };
    startOn(focusedField("今日は晴れ。"));
    Pid next = 300;
    for (const auto& c : cases) {
        const Pid app = next++;
        desk.addApplication(app, c.bundle, c.bundle);
        const auto appWindow = desk.addWindow(app, "Window");
        desk.focus(desk.addTextField(appWindow, "明日は雨。"));
        states.clear();
        desk.activateApplication(app);
        desk.clock().advance(0);
        ASSERT_FALSE(states.empty()) << c.bundle;
        EXPECT_EQ(states.back().surfaceTag, c.tag) << c.bundle;
        EXPECT_EQ(states.back().bundleId, c.bundle);
        EXPECT_EQ(states.back().isEligible, c.eligible) << c.bundle;
    }
}

TEST_F(WarmBufferTest, APasswordFieldGivesNoSnapshotAndIsNotEligible) {
    const auto field = focusedField("hunter2。");
    makeSecure(field);
    startOn(field);
    desk.select(field, Utf16Range{0, 7});
    desk.clock().advance(0.3);
    EXPECT_EQ(buffer->freeze(), std::nullopt);
    ASSERT_FALSE(states.empty());
    EXPECT_TRUE(states.back().isSecureField);
    EXPECT_FALSE(states.back().isEligible);
    EXPECT_FALSE(states.back().hasTargetCandidate);
}

TEST_F(WarmBufferTest, ChangesOfApplicationAndFocusAndRequestsClearTheCache) {
    const auto field = focusedField("");
    startOn(field);
    edit(field, "今日は晴れ。");
    desk.clock().advance(0.3);
    ASSERT_TRUE(servedWarm());

    const auto other = desk.addTextField(window, "");
    desk.focus(other);
    desk.clock().advance(0);
    EXPECT_EQ(count("warmBuffer: cleared (focus_changed)"), 2);  // at start and now
    EXPECT_FALSE(servedWarm());

    edit(other, "明日は雨。");
    desk.clock().advance(0.3);
    ASSERT_TRUE(servedWarm());
    buffer->discardAfterRequest();
    EXPECT_FALSE(servedWarm());

    const Pid second = 300;
    desk.addApplication(second, "Mail", "com.apple.mail");
    desk.activateApplication(second);
    desk.clock().advance(0);
    EXPECT_EQ(count("warmBuffer: cleared (app_changed)"), 2);
}

TEST_F(WarmBufferTest, StartNeedsTrustAndHappensOnce) {
    desk.setTrusted(false);
    buffer->start();
    EXPECT_EQ(count("warmBuffer: started"), 0);
    EXPECT_EQ(count("warmBuffer: AX permission not granted — not starting"), 1);
    desk.setTrusted(true);
    buffer->start();
    buffer->start();
    EXPECT_EQ(count("warmBuffer: started"), 1);
    buffer->stop();
    buffer->stop();
    EXPECT_EQ(count("warmBuffer: cleared (stop)"), 1);
    EXPECT_EQ(desk.accessibility().observerCount(), 0u);
}

// Mivo's own window in front: nothing followed, nothing asked of the bus
// about it, no line; the field of the application before it is let go.
TEST_F(WarmBufferTest, MivosOwnWindowIsNotFollowed) {
    const Pid own = 300;
    desk.addApplication(own, "Mivo", "mivo");
    desk.setObserverCreationFails(own, true);
    buffer->setOwnProcessId(own);
    const auto field = focusedField("今日は晴れ。", 2);
    startOn(field);
    moveCaret(field, 3);
    desk.clock().advance(0.3);
    ASSERT_TRUE(servedWarm());
    const std::size_t observers = desk.accessibility().observerCount();
    desk.activateApplication(own);
    desk.clock().advance(0);
    EXPECT_EQ(count("warmBuffer: focus observer create failed pid=300"), 0);
    EXPECT_LT(desk.accessibility().observerCount(), observers);
    EXPECT_FALSE(servedWarm());
}

TEST_F(WarmBufferTest, WithoutAFocusObserverTheColdReadStillServes) {
    desk.setObserverCreationFails(pid, true);
    startOn(focusedField("今日は晴れ。", 2));
    EXPECT_EQ(count("warmBuffer: focus observer create failed pid=100"), 1);
    const auto s = buffer->freeze();
    ASSERT_TRUE(s.has_value());
    EXPECT_TRUE(s->isColdPath);
    EXPECT_EQ(s->targetText, "今日は晴れ。");
}

}  // namespace
}  // namespace mivo
