// The accessibility monitor on the real backend: a sentence typed into the
// GTK editor reaches the composition root as a completed sentence, and its
// text can be found on the screen.

#include <memory>
#include <optional>
#include <vector>

#include "desktop_test_support.hpp"
#include "monitor/accessibility_monitor.hpp"

namespace mivo::desktop_test {
namespace {

class MonitorDesktopTest : public DesktopTest {
  protected:
    // A monitor on the real backend, observing the editor's text view.
    void startMonitor() {
        monitor = std::make_unique<AccessibilityMonitor>(session_->ports());
        monitor->onSentenceCompleted = [this](const CompletedSentenceCandidate& c) {
            completed.push_back(c);
        };
        monitor->start();
        ASSERT_EQ(monitor->state().kind, MonitorState::Kind::monitoring);
        ASSERT_TRUE(waitUntil([&] { return monitor->observedElement().has_value(); }));
    }

    std::unique_ptr<AccessibilityMonitor> monitor;
    std::vector<CompletedSentenceCandidate> completed;
};

TEST_F(MonitorDesktopTest, ATypedSentenceIsCompletedAndLocatedOnScreen) {
    auto editor = startEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_NO_FATAL_FAILURE(startMonitor());
    EXPECT_EQ(monitor->observedPid(), editor->pid());

    const std::string sentence = "今日は良い天気です。";
    typeText(sentence);
    // The debounce waits 0.75 s after the last change.
    ASSERT_TRUE(waitUntil([&] { return !completed.empty(); }, 8));
    EXPECT_EQ(completed.back().text, sentence);
    EXPECT_EQ(completed.back().boundary, CompletedSentenceCandidate::Boundary::punctuation);
    EXPECT_EQ(completed.back().range.end, 10);

    // The caret was captured, and 天気 is on the screen where the field is,
    // in bottom-left global coordinates.
    ASSERT_TRUE(monitor->currentCaretRect().has_value());
    const auto weather = monitor->boundsForRange(5, 2);
    ASSERT_TRUE(weather.has_value());
    const AXElement view = textView(*editor);
    const auto position = readPoint(ax(), view, kAXPositionAttribute);
    const auto size = readSize(ax(), view, kAXSizeAttribute);
    ASSERT_TRUE(position && size);
    const double fieldTop = 1024 - position->y;  // the screen is 1024 high
    EXPECT_GT(weather->width, 0);
    EXPECT_GE(weather->x, position->x);
    EXPECT_LE(weather->maxY(), fieldTop);
    EXPECT_GE(weather->y, fieldTop - size->height);
    monitor->stop();
    EXPECT_EQ(monitor->state().kind, MonitorState::Kind::idle);
}

TEST_F(MonitorDesktopTest, AnAcceptedCorrectionIsWrittenIntoTheFieldAndVerified) {
    auto editor = startEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_NO_FATAL_FAILURE(startMonitor());
    std::vector<std::string> replaced;
    monitor->onReplacementCompleted = [&](const std::string& text) { replaced.push_back(text); };

    // 𠮷 before the corrected word: Characters and UTF-16 units differ.
    const std::string sentence = "\U00020BB7野さんは今日は晴れですと言った。";
    typeText(sentence);
    ASSERT_TRUE(waitUntil([&] { return !completed.empty(); }, 8));
    ASSERT_EQ(completed.back().text, sentence);

    CorrectionIssue issue;
    issue.id = "issue-1";
    issue.sentenceId = completed.back().id;
    issue.range = TextRange{8, 10};  // 晴れ
    issue.original = "晴れ";
    issue.suggestion = "雨";
    monitor->applyReplacement(issue);

    const std::string expected = "\U00020BB7野さんは今日は雨ですと言った。";
    ASSERT_TRUE(waitUntil([&] { return !replaced.empty(); }, 8))
        << value(textView(*editor)).value_or("<nothing>");
    EXPECT_EQ(replaced.back(), expected);
    EXPECT_EQ(value(textView(*editor)), expected);
    EXPECT_TRUE(session_->log().contains("applyReplacement: verified text changed"));
    monitor->stop();
}

}  // namespace
}  // namespace mivo::desktop_test
