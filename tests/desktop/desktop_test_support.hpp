#pragma once

// The base of every desktop test: the session, a running editor whose text
// view has the focus, and input posted the way the services post it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "desktop_session.hpp"
#include "platform/ax_reads.hpp"
#include "shared/text.hpp"

namespace mivo::desktop_test {

class DesktopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        session_ = DesktopSession::instance();
        if (session_ == nullptr) {
            const std::string& reason = DesktopSession::unavailableReason();
            // Outside a display the suite has nothing to test; inside one, a
            // session that does not come up is a failure.
            if (reason.starts_with("no X display") || reason.starts_with("no session bus"))
                GTEST_SKIP() << reason;
            FAIL() << reason;
        }
        session_->log().clear();
    }

    // The session is up and the test goes on: for the SetUp of a suite
    // built on this one.
    bool sessionReady() const { return session_ != nullptr && !HasFatalFailure() && !IsSkipped(); }

    // Starts an editor; the test fails when it does not come up.
    std::unique_ptr<TestEditor> startEditor(const EditorOptions& options = {}) {
        auto editor = session_->startEditor(options);
        EXPECT_NE(editor, nullptr) << "the test editor did not come up with its text view focused: "
                                   << session_->lastStartFailure();
        return editor;
    }

    AXElement textView(const TestEditor& editor) {
        auto focused = session_->focusedElement(editor.pid());
        EXPECT_TRUE(focused.has_value());
        return focused.value_or(AXElement());
    }

    AXElement entry(const TestEditor& editor) {
        auto fields = session_->elementsWithRole(editor.pid(), kAXTextFieldRole);
        EXPECT_EQ(fields.size(), 1u);
        return fields.empty() ? AXElement() : fields.front();
    }

    std::optional<std::string> value(const AXElement& e) {
        return readString(ax(), e, kAXValueAttribute);
    }

    // Types each Character as one key press carrying its UTF-16 units.
    void typeText(std::string_view typed) {
        for (const auto& character : text::characters(typed)) {
            KeyEvent down{kKeyCodeUnicodeCarrier, true, 0, text::toUtf16(character)};
            KeyEvent up = down;
            up.keyDown = false;
            ASSERT_TRUE(input().postKeyEvent(down));
            ASSERT_TRUE(input().postKeyEvent(up));
        }
    }

    // Puts the caret at `offset` (UTF-16 units) in `e`, as a click there
    // would, and waits until the field reports it there. The browsers take
    // the caret over the bus at once but move it a moment later (their page
    // runs apart from their accessibility), and a user's click lands long
    // before the user reaches for anything else: a write started in that
    // moment would take the old caret for the user's.
    AXError placeCaret(const AXElement& e, int offset) {
        const Utf16Range caret{offset, 0};
        const AXError placed =
            ax().setAttributeValue(e, kAXSelectedTextRangeAttribute, AXValue(caret));
        if (placed != AXError::success)
            return placed;
        return waitUntil([&] { return readRange(ax(), e, kAXSelectedTextRangeAttribute) == caret; })
                   ? AXError::success
                   : AXError::cannotComplete;
    }

    // Replaces the whole text of `e` with `text` through a range write (GTK
    // 4 refuses whole-value writes, which would wipe its undo history);
    // true once it reads so.
    bool replaceWholeText(const AXElement& e, const std::string& text) {
        const std::string before = value(e).value_or("");
        return ax().setAttributeValue(e, kAXSelectedTextRangeAttribute,
                                      AXValue(Utf16Range{0, text::utf16Length(before)})) ==
                   AXError::success &&
               ax().setAttributeValue(e, kAXSelectedTextAttribute, AXValue(text)) ==
                   AXError::success &&
               waitForValue(e, text);
    }

    bool waitForValue(const AXElement& e, std::string_view expected, double seconds = 5) {
        return waitUntil([&] { return value(e) == expected; }, seconds);
    }

    // Brings the application of `pid` to the front, asking again now and
    // then (a request may come before its window is managed); true once it
    // is there.
    bool bringToFront(Pid pid, double seconds) {
        int polls = 0;
        return waitUntil(
            [&] {
                const auto front = workspace().frontmostApplication();
                if (front && front->pid == pid)
                    return true;
                if (polls++ % 50 == 0)
                    workspace().activate(pid);
                return false;
            },
            seconds);
    }

    // Whether the application of `pid` comes to the front within
    // `seconds`, asking nothing of it (the user's own way there is tested).
    bool inFront(Pid pid, double seconds = 5) {
        return waitUntil(
            [&] {
                const auto front = workspace().frontmostApplication();
                return front && front->pid == pid;
            },
            seconds);
    }

    Accessibility& ax() { return session_->desktop().accessibility(); }
    InputEvents& input() { return session_->desktop().input(); }
    Workspace& workspace() { return session_->desktop().workspace(); }
    Pasteboard& pasteboard() { return session_->desktop().pasteboard(); }
    Scheduler& scheduler() { return session_->desktop().scheduler(); }

    DesktopSession* session_ = nullptr;
};

}  // namespace mivo::desktop_test
