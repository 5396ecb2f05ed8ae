// The AT-SPI backend against a real GTK application: its tree, its text in
// UTF-16 units with characters outside the BMP, selection, caret, bounds on
// screen, writes, notifications and elements that went away.

#include <signal.h>
#include <unistd.h>

#include <vector>

#include <QElapsedTimer>

#include "desktop_test_support.hpp"

namespace mivo::desktop_test {
namespace {

// 𠮷 (U+20BB7) and 😀 (U+1F600) take two UTF-16 units each: a𠮷b😀c is 5
// code points and 7 UTF-16 units.
const std::string kMixed = "a\U00020BB7b\U0001F600c";

using AccessibilityDesktopTest = DesktopTest;

TEST_F(AccessibilityDesktopTest, FindsTheFocusedTextViewFromTheApplicationAndSystemWide) {
    auto editor = startEditor();
    ASSERT_NE(editor, nullptr);
    const AXElement app = ax().applicationElement(editor->pid());
    const auto window = readElement(ax(), app, kAXFocusedWindowAttribute);
    ASSERT_TRUE(window.has_value());
    EXPECT_EQ(readString(ax(), *window, kAXRoleAttribute), kAXWindowRole);
    EXPECT_EQ(readString(ax(), *window, kAXTitleAttribute), "Mivo test editor");

    const auto focused = readElement(ax(), app, kAXFocusedUIElementAttribute);
    ASSERT_TRUE(focused.has_value());
    EXPECT_EQ(readBool(ax(), *focused, kAXEditableAttribute), true);
    EXPECT_EQ(ax().pid(*focused), editor->pid());
    // Obtained another way, the same object gives an equal handle.
    EXPECT_EQ(readElement(ax(), ax().systemWideElement(), kAXFocusedUIElementAttribute), focused);
    const AXElement field = entry(*editor);
    EXPECT_EQ(readBool(ax(), field, kAXFocusedAttribute), false);
    EXPECT_NE(field, *focused);
    // Log lines name the roles as the bus does: GTK 3's view and entry are
    // both "text", the window a "frame".
    EXPECT_EQ(readString(ax(), *focused, kAXRoleDescriptionAttribute), "text");
    EXPECT_EQ(readString(ax(), *window, kAXRoleDescriptionAttribute), "frame");
}

TEST_F(AccessibilityDesktopTest, ReadsSelectsAndBoundsRangesInUtf16Units) {
    auto editor = startEditor({.viewText = kMixed});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    EXPECT_EQ(value(view), kMixed);
    EXPECT_EQ(readNumber(ax(), view, kAXNumberOfCharactersAttribute), 7);
    // GTK puts the caret at the end of text set by the program.
    EXPECT_EQ(readRange(ax(), view, kAXSelectedTextRangeAttribute), (Utf16Range{7, 0}));

    struct Row {
        Utf16Range range;
        std::optional<std::string> expected;  // nothing: refused as an illegal argument
    };
    const std::vector<Row> rows = {
        {{0, 1}, "a"},          {{1, 2}, "\U00020BB7"}, {{3, 3}, "b\U0001F600"}, {{0, 7}, kMixed},
        {{7, 0}, ""},           {{2, 1}, std::nullopt},  // starts between the halves of 𠮷
        {{4, 1}, std::nullopt},                          // ends between the halves of 😀
        {{6, 2}, std::nullopt},                          // past the end
    };
    for (const auto& row : rows) {
        const auto r = ax().copyParameterizedAttributeValue(
            view, kAXStringForRangeParameterizedAttribute, AXValue(row.range));
        const AXError set =
            ax().setAttributeValue(view, kAXSelectedTextRangeAttribute, AXValue(row.range));
        if (!row.expected) {
            ASSERT_FALSE(r.has_value()) << toString(row.range);
            EXPECT_EQ(r.error(), AXError::illegalArgument) << toString(row.range);
            EXPECT_EQ(set, AXError::illegalArgument) << toString(row.range);
            continue;
        }
        ASSERT_TRUE(r.has_value()) << toString(row.range);
        EXPECT_EQ(r->asString(), row.expected) << toString(row.range);
        ASSERT_EQ(set, AXError::success) << toString(row.range);
        EXPECT_TRUE(waitUntil(
            [&] { return readRange(ax(), view, kAXSelectedTextRangeAttribute) == row.range; }, 2))
            << toString(row.range);
        EXPECT_EQ(readString(ax(), view, kAXSelectedTextAttribute), row.expected);
    }

    const auto position = readPoint(ax(), view, kAXPositionAttribute);
    const auto size = readSize(ax(), view, kAXSizeAttribute);
    ASSERT_TRUE(position && size);
    const Rect frame{position->x, position->y, size->width, size->height};
    const auto bounds = [&](Utf16Range r) {
        auto v = ax().copyParameterizedAttributeValue(view, kAXBoundsForRangeParameterizedAttribute,
                                                      AXValue(r));
        return v ? v->asRect() : std::nullopt;
    };
    const auto a = bounds({0, 1});
    const auto kanji = bounds({1, 2});
    const auto caretAtEnd = bounds({7, 0});
    ASSERT_TRUE(a && kanji && caretAtEnd);
    for (const Rect& r : {*a, *kanji}) {
        // Accessibility coordinates: the text lies inside the field's frame.
        EXPECT_GT(r.width, 0) << toString(r);
        EXPECT_GT(r.height, 0) << toString(r);
        EXPECT_GE(r.x, frame.x) << toString(r);
        EXPECT_GE(r.y, frame.y) << toString(r);
        EXPECT_LE(r.maxX(), frame.maxX()) << toString(r);
        EXPECT_LE(r.maxY(), frame.maxY()) << toString(r);
    }
    EXPECT_GE(kanji->x, a->maxX());
    // The caret at the end is a bar at the right edge of the last character.
    EXPECT_EQ(caretAtEnd->width, 0);
    EXPECT_GE(caretAtEnd->x, kanji->maxX());
    EXPECT_FALSE(bounds({2, 1}).has_value());
}

TEST_F(AccessibilityDesktopTest, ObserversHearChangesUntilRemovedAndWritesLand) {
    auto editor = startEditor({.viewText = "abc"});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    std::vector<std::pair<AXElement, std::string>> heard;
    auto observer = ax().createObserver(editor->pid(), [&](const AXElement& e, std::string_view n) {
        heard.emplace_back(e, std::string(n));
    });
    ASSERT_TRUE(observer.has_value());
    auto& o = **observer;
    EXPECT_EQ(o.addNotification(view, kAXValueChangedNotification), AXError::success);
    EXPECT_EQ(o.addNotification(view, kAXValueChangedNotification),
              AXError::notificationAlreadyRegistered);
    EXPECT_EQ(o.addNotification(view, kAXSelectedTextChangedNotification), AXError::success);
    EXPECT_EQ(o.addNotification(ax().applicationElement(editor->pid()),
                                kAXFocusedUIElementChangedNotification),
              AXError::success);
    const auto heardOf = [&](const AXElement& e, std::string_view n) {
        return std::any_of(heard.begin(), heard.end(),
                           [&](const auto& h) { return h.first == e && h.second == n; });
    };
    typeText("d");
    EXPECT_TRUE(waitUntil([&] { return heardOf(view, kAXValueChangedNotification); }));
    EXPECT_TRUE(waitUntil([&] { return heardOf(view, kAXSelectedTextChangedNotification); }));

    // Removed, it is heard no more.
    EXPECT_EQ(o.removeNotification(view, kAXValueChangedNotification), AXError::success);
    EXPECT_EQ(o.removeNotification(view, kAXValueChangedNotification),
              AXError::notificationNotRegistered);
    heard.clear();

    // Writes: the whole value, then 晴れ at UTF-16 {3, 2} replaced by 雨 with
    // the caret after it.
    ASSERT_EQ(
        ax().setAttributeValue(view, kAXValueAttribute, AXValue("今日は晴れです。\U0001F600")),
        AXError::success);
    ASSERT_TRUE(waitForValue(view, "今日は晴れです。\U0001F600"));
    ASSERT_EQ(ax().setAttributeValue(view, kAXSelectedTextRangeAttribute, Utf16Range{3, 2}),
              AXError::success);
    ASSERT_EQ(ax().setAttributeValue(view, kAXSelectedTextAttribute, AXValue("雨")),
              AXError::success);
    EXPECT_TRUE(waitForValue(view, "今日は雨です。\U0001F600"));
    EXPECT_TRUE(waitUntil(
        [&] {
            return readRange(ax(), view, kAXSelectedTextRangeAttribute) == Utf16Range{4, 0};
        },
        2));
    EXPECT_FALSE(heardOf(view, kAXValueChangedNotification));

    // Focus moving to the entry is heard through the application element.
    const AXElement field = entry(*editor);
    ASSERT_EQ(ax().setAttributeValue(field, kAXFocusedAttribute, AXValue(true)), AXError::success);
    EXPECT_TRUE(waitUntil([&] { return heardOf(field, kAXFocusedUIElementChangedNotification); }));
}

TEST_F(AccessibilityDesktopTest, ElementsThatWentAwayAreInvalid) {
    auto editor = startEditor({.entryText = "gone soon", .viewText = "bye"});
    ASSERT_NE(editor, nullptr);
    const AXElement field = entry(*editor);
    const AXElement view = textView(*editor);
    const Pid pid = editor->pid();
    const auto invalid = [&](const AXElement& e, std::string_view attribute) {
        const auto r = ax().copyAttributeValue(e, attribute);
        return !r && r.error() == AXError::invalidUIElement;
    };
    // A widget destroyed in a running application; its neighbour lives on.
    ASSERT_EQ(::kill(pid, SIGUSR1), 0);
    EXPECT_TRUE(waitUntil([&] { return invalid(field, kAXRoleAttribute); }));
    EXPECT_EQ(value(view), "bye");
    EXPECT_TRUE(session_->elementsWithRole(pid, kAXTextFieldRole).empty());
    // A quit application: its elements and the application element itself.
    editor->kill();
    EXPECT_TRUE(waitUntil([&] { return invalid(view, kAXValueAttribute); }));
    EXPECT_TRUE(invalid(view, kAXRoleAttribute));
    EXPECT_EQ(ax().setAttributeValue(view, kAXValueAttribute, AXValue("x")),
              AXError::invalidUIElement);
    EXPECT_TRUE(invalid(ax().applicationElement(pid), kAXRoleAttribute));
}

TEST_F(AccessibilityDesktopTest, ANotificationsReadsTakeTheTextOnce) {
    auto editor = startEditor({.viewText = kMixed});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    auto& backend = session_->desktop().accessibility();
    spinFor(0.05);
    const uint64_t before = backend.remoteTextReads();
    // What a value notification's handler asks, in one turn of the loop.
    EXPECT_EQ(value(view), kMixed);
    EXPECT_EQ(readNumber(ax(), view, kAXNumberOfCharactersAttribute), 7);
    EXPECT_TRUE(readRange(ax(), view, kAXSelectedTextRangeAttribute).has_value());
    EXPECT_TRUE(readString(ax(), view, kAXSelectedTextAttribute).has_value());
    EXPECT_TRUE(ax().copyParameterizedAttributeValue(view, kAXStringForRangeParameterizedAttribute,
                                                     AXValue(Utf16Range{0, 1})));
    EXPECT_EQ(backend.remoteTextReads(), before + 1);
    // The next turn reads afresh: the text may have changed meanwhile.
    spinFor(0.05);
    typeText("d");
    EXPECT_TRUE(waitForValue(view, kMixed + "d"));
}

TEST_F(AccessibilityDesktopTest, AHungApplicationCostsOneTimeOutNotOnePerCall) {
    auto editor = startEditor({.viewText = "止まる"});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    ASSERT_EQ(value(view), "止まる");
    spinFor(0.05);
    ASSERT_EQ(::kill(editor->pid(), SIGSTOP), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(value(view).has_value());
    // Bounded by the call time-out, whatever the application does.
    EXPECT_LT(timer.elapsed(), 5000);
    timer.restart();
    for (int i = 0; i < 10; ++i) {
        spinFor(0.01);
        EXPECT_FALSE(value(view).has_value());
        EXPECT_FALSE(readRange(ax(), view, kAXSelectedTextRangeAttribute).has_value());
    }
    // Left alone: no call waits for it again.
    EXPECT_LT(timer.elapsed(), 1000);
    ::kill(editor->pid(), SIGCONT);
}

TEST_F(AccessibilityDesktopTest, NeverAsksItsOwnProcess) {
    const Pid self = static_cast<Pid>(getpid());
    EXPECT_FALSE(ax().copyAttributeValue(ax().applicationElement(self), kAXRoleAttribute));
    EXPECT_FALSE(ax().createObserver(self, [](const AXElement&, std::string_view) {}));
}

}  // namespace
}  // namespace mivo::desktop_test
