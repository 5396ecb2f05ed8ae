// The accessibility monitor on the real backend: a sentence typed into the
// GTK editor reaches the composition root as a completed sentence, and its
// text can be found on the screen.

#include <optional>
#include <vector>

#include "desktop_test_support.hpp"
#include "monitor/accessibility_monitor.hpp"

namespace mivo::desktop_test {
namespace {

using MonitorDesktopTest = DesktopTest;

TEST_F(MonitorDesktopTest, ATypedSentenceIsCompletedAndLocatedOnScreen) {
    auto editor = startEditor();
    ASSERT_NE(editor, nullptr);
    AccessibilityMonitor monitor(session_->ports());
    std::vector<CompletedSentenceCandidate> completed;
    monitor.onSentenceCompleted = [&](const CompletedSentenceCandidate& c) {
        completed.push_back(c);
    };
    ASSERT_TRUE(monitor.isPermissionGranted());
    monitor.start();
    ASSERT_EQ(monitor.state().kind, MonitorState::Kind::monitoring);
    ASSERT_TRUE(waitUntil([&] { return monitor.observedElement().has_value(); }));
    EXPECT_EQ(monitor.debugObservedRole(), kAXTextAreaRole);
    EXPECT_EQ(monitor.observedPid(), editor->pid());

    const std::string sentence = "今日は良い天気です。";
    typeText(sentence);
    // The debounce waits 0.75 s after the last change.
    ASSERT_TRUE(waitUntil([&] { return !completed.empty(); }, 8))
        << "monitor log:\n"
        << [&] {
               std::string all;
               for (const auto& line : session_->log().lines())
                   all += line + "\n";
               return all;
           }();
    EXPECT_EQ(completed.back().text, sentence);
    EXPECT_EQ(completed.back().boundary, CompletedSentenceCandidate::Boundary::punctuation);
    EXPECT_EQ(completed.back().range.end, 10);

    // The caret was captured, and 天気 is on the screen where the field is,
    // in bottom-left global coordinates.
    ASSERT_TRUE(monitor.currentCaretRect().has_value());
    const auto weather = monitor.boundsForRange(5, 2);
    ASSERT_TRUE(weather.has_value());
    const AXElement view = textView(*editor);
    const auto position = readPoint(ax(), view, kAXPositionAttribute);
    const auto size = readSize(ax(), view, kAXSizeAttribute);
    ASSERT_TRUE(position && size);
    const double screenHeight = 1024;
    const double fieldTop = screenHeight - position->y;
    const double fieldBottom = screenHeight - position->y - size->height;
    EXPECT_GT(weather->width, 0);
    EXPECT_GE(weather->x, position->x);
    EXPECT_LE(weather->maxY(), fieldTop);
    EXPECT_GE(weather->y, fieldBottom);
    monitor.stop();
    EXPECT_EQ(monitor.state().kind, MonitorState::Kind::idle);
}

TEST_F(MonitorDesktopTest, AnAcceptedCorrectionIsWrittenIntoTheFieldAndVerified) {
    auto editor = startEditor();
    ASSERT_NE(editor, nullptr);
    AccessibilityMonitor monitor(session_->ports());
    std::vector<CompletedSentenceCandidate> completed;
    std::vector<std::string> replaced;
    monitor.onSentenceCompleted = [&](const CompletedSentenceCandidate& c) {
        completed.push_back(c);
    };
    monitor.onReplacementCompleted = [&](const std::string& text) { replaced.push_back(text); };
    monitor.start();
    ASSERT_TRUE(waitUntil([&] { return monitor.observedElement().has_value(); }));

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
    monitor.applyReplacement(issue);

    const std::string expected = "\U00020BB7野さんは今日は雨ですと言った。";
    ASSERT_TRUE(waitUntil([&] { return !replaced.empty(); }, 8))
        << value(textView(*editor)).value_or("<nothing>");
    EXPECT_EQ(replaced.back(), expected);
    EXPECT_EQ(value(textView(*editor)), expected);
    EXPECT_TRUE(session_->log().contains("applyReplacement: verified text changed"));
    monitor.stop();
}

}  // namespace
}  // namespace mivo::desktop_test
