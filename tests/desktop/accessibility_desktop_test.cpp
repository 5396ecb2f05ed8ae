// The AT-SPI backend against a real GTK application: its tree, its text in
// UTF-16 units with characters outside the BMP, selection, caret, bounds on
// screen, writes, notifications and elements that went away.

#include <signal.h>
#include <unistd.h>

#include <vector>

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
    EXPECT_EQ(readString(ax(), app, kAXRoleAttribute), kAXApplicationRole);

    const auto window = readElement(ax(), app, kAXFocusedWindowAttribute);
    ASSERT_TRUE(window.has_value());
    EXPECT_EQ(readString(ax(), *window, kAXRoleAttribute), kAXWindowRole);
    EXPECT_EQ(readString(ax(), *window, kAXTitleAttribute), "Mivo test editor");

    const auto focused = readElement(ax(), app, kAXFocusedUIElementAttribute);
    ASSERT_TRUE(focused.has_value());
    EXPECT_EQ(readString(ax(), *focused, kAXRoleAttribute), kAXTextAreaRole);
    EXPECT_EQ(readBool(ax(), *focused, kAXFocusedAttribute), true);
    EXPECT_EQ(readBool(ax(), *focused, kAXEditableAttribute), true);
    EXPECT_EQ(ax().pid(*focused), editor->pid());

    // Obtained another way, the same object gives an equal handle.
    const auto systemWide =
        readElement(ax(), ax().systemWideElement(), kAXFocusedUIElementAttribute);
    ASSERT_TRUE(systemWide.has_value());
    EXPECT_EQ(*systemWide, *focused);

    const AXElement field = entry(*editor);
    EXPECT_EQ(readBool(ax(), field, kAXFocusedAttribute), false);
    EXPECT_NE(field, *focused);
}

TEST_F(AccessibilityDesktopTest, ReadsTextCountAndCaretInUtf16Units) {
    auto editor = startEditor(EditorOptions().withView(kMixed));
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    EXPECT_EQ(value(view), kMixed);
    EXPECT_EQ(readNumber(ax(), view, kAXNumberOfCharactersAttribute), 7);
    // GTK puts the caret at the end of text set by the program.
    EXPECT_EQ(readRange(ax(), view, kAXSelectedTextRangeAttribute), (Utf16Range{7, 0}));
    EXPECT_EQ(readString(ax(), view, kAXSelectedTextAttribute), "");
}

TEST_F(AccessibilityDesktopTest, StringForRangeCountsUtf16Units) {
    auto editor = startEditor(EditorOptions().withView(kMixed));
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
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
        if (row.expected) {
            ASSERT_TRUE(r.has_value()) << toString(row.range);
            EXPECT_EQ(r->asString(), row.expected) << toString(row.range);
        } else {
            ASSERT_FALSE(r.has_value()) << toString(row.range);
            EXPECT_EQ(r.error(), AXError::illegalArgument) << toString(row.range);
        }
    }
}

TEST_F(AccessibilityDesktopTest, SelectsAndReadsBackRangesAroundNonBmpCharacters) {
    auto editor = startEditor(EditorOptions().withView(kMixed));
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const std::vector<std::pair<Utf16Range, std::string>> rows = {
        {{1, 2}, "\U00020BB7"}, {{3, 3}, "b\U0001F600"}, {{0, 7}, kMixed}, {{0, 1}, "a"}};
    for (const auto& [range, selected] : rows) {
        ASSERT_EQ(ax().setAttributeValue(view, kAXSelectedTextRangeAttribute, AXValue(range)),
                  AXError::success);
        EXPECT_TRUE(waitUntil(
            [&] { return readRange(ax(), view, kAXSelectedTextRangeAttribute) == range; }, 2))
            << toString(range);
        EXPECT_EQ(readString(ax(), view, kAXSelectedTextAttribute), selected);
    }
    // A caret: an empty selection.
    ASSERT_EQ(ax().setAttributeValue(view, kAXSelectedTextRangeAttribute, Utf16Range{3, 0}),
              AXError::success);
    EXPECT_TRUE(waitUntil(
        [&] {
            return readRange(ax(), view, kAXSelectedTextRangeAttribute) == Utf16Range{3, 0};
        },
        2));
    EXPECT_EQ(ax().setAttributeValue(view, kAXSelectedTextRangeAttribute, Utf16Range{2, 0}),
              AXError::illegalArgument);
}

TEST_F(AccessibilityDesktopTest, BoundsOfRangesLieOnTheFieldInReadingOrder) {
    auto editor = startEditor(EditorOptions().withView(kMixed));
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const auto position = readPoint(ax(), view, kAXPositionAttribute);
    const auto size = readSize(ax(), view, kAXSizeAttribute);
    ASSERT_TRUE(position && size);
    const Rect frame{position->x, position->y, size->width, size->height};
    EXPECT_GT(frame.width, 100);
    EXPECT_GT(frame.height, 50);

    const auto bounds = [&](Utf16Range r) {
        auto v = ax().copyParameterizedAttributeValue(view, kAXBoundsForRangeParameterizedAttribute,
                                                      AXValue(r));
        return v ? v->asRect() : std::nullopt;
    };
    const auto a = bounds({0, 1});
    const auto kanji = bounds({1, 2});
    const auto all = bounds({0, 7});
    const auto caretAtEnd = bounds({7, 0});
    ASSERT_TRUE(a && kanji && all && caretAtEnd);
    for (const Rect& r : {*a, *kanji, *all}) {
        EXPECT_FALSE(r.isZero()) << toString(r);
        EXPECT_GT(r.width, 0) << toString(r);
        EXPECT_GT(r.height, 0) << toString(r);
        // Accessibility coordinates: the text lies inside the field's frame.
        EXPECT_GE(r.x, frame.x) << toString(r);
        EXPECT_GE(r.y, frame.y) << toString(r);
        EXPECT_LE(r.maxX(), frame.maxX()) << toString(r);
        EXPECT_LE(r.maxY(), frame.maxY()) << toString(r);
    }
    EXPECT_GE(kanji->x, a->maxX());
    EXPECT_GE(all->width, a->width + kanji->width);
    // The caret at the end is a bar at the right edge of the last character.
    EXPECT_EQ(caretAtEnd->width, 0);
    EXPECT_GE(caretAtEnd->x, kanji->maxX());
    EXPECT_FALSE(bounds({2, 1}).has_value());
}

TEST_F(AccessibilityDesktopTest, WritesTheWholeValueAndTheSelectedText) {
    auto editor = startEditor(EditorOptions().withView("x"));
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    EXPECT_EQ(ax().isAttributeSettable(view, kAXValueAttribute), true);
    EXPECT_EQ(ax().isAttributeSettable(view, kAXSelectedTextRangeAttribute), true);
    EXPECT_EQ(ax().isAttributeSettable(view, kAXSelectedTextAttribute), true);

    ASSERT_EQ(
        ax().setAttributeValue(view, kAXValueAttribute, AXValue("今日は晴れです。\U0001F600")),
        AXError::success);
    ASSERT_TRUE(waitForValue(view, "今日は晴れです。\U0001F600"));
    // 晴れ at UTF-16 {3, 2}, replaced by 雨.
    ASSERT_EQ(ax().setAttributeValue(view, kAXSelectedTextRangeAttribute, Utf16Range{3, 2}),
              AXError::success);
    ASSERT_EQ(ax().setAttributeValue(view, kAXSelectedTextAttribute, AXValue("雨")),
              AXError::success);
    EXPECT_TRUE(waitForValue(view, "今日は雨です。\U0001F600"));
    // The caret after the inserted text.
    EXPECT_TRUE(waitUntil(
        [&] {
            return readRange(ax(), view, kAXSelectedTextRangeAttribute) == Utf16Range{4, 0};
        },
        2));
}

TEST_F(AccessibilityDesktopTest, ObserversHearValueSelectionAndFocusChanges) {
    auto editor = startEditor(EditorOptions().withView("abc"));
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const AXElement app = ax().applicationElement(editor->pid());
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
    EXPECT_EQ(o.addNotification(app, kAXFocusedUIElementChangedNotification), AXError::success);

    const auto heardOf = [&](const AXElement& e, std::string_view n) {
        return std::any_of(heard.begin(), heard.end(),
                           [&](const auto& h) { return h.first == e && h.second == n; });
    };
    typeText("d");
    EXPECT_TRUE(waitUntil([&] { return heardOf(view, kAXValueChangedNotification); }));
    EXPECT_TRUE(waitUntil([&] { return heardOf(view, kAXSelectedTextChangedNotification); }));

    // Focus moving to the entry is heard through the application element.
    const AXElement field = entry(*editor);
    ASSERT_EQ(ax().setAttributeValue(field, kAXFocusedAttribute, AXValue(true)), AXError::success);
    EXPECT_TRUE(waitUntil([&] { return heardOf(field, kAXFocusedUIElementChangedNotification); }));

    // Removed, it is heard no more.
    EXPECT_EQ(o.removeNotification(view, kAXValueChangedNotification), AXError::success);
    EXPECT_EQ(o.removeNotification(view, kAXValueChangedNotification),
              AXError::notificationNotRegistered);
    heard.clear();
    ASSERT_EQ(ax().setAttributeValue(view, kAXValueAttribute, AXValue("changed")),
              AXError::success);
    ASSERT_TRUE(waitForValue(view, "changed"));
    spinFor(0.3);
    EXPECT_FALSE(heardOf(view, kAXValueChangedNotification));
}

TEST_F(AccessibilityDesktopTest, ElementsOfAQuitApplicationAreInvalid) {
    auto editor = startEditor(EditorOptions().withTitle("Short-lived").withView("bye"));
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const Pid pid = editor->pid();
    ASSERT_EQ(value(view), "bye");
    editor->kill();
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto r = ax().copyAttributeValue(view, kAXValueAttribute);
            return !r && r.error() == AXError::invalidUIElement;
        },
        5));
    const auto role = ax().copyAttributeValue(view, kAXRoleAttribute);
    ASSERT_FALSE(role.has_value());
    EXPECT_EQ(role.error(), AXError::invalidUIElement);
    EXPECT_EQ(ax().setAttributeValue(view, kAXValueAttribute, AXValue("x")),
              AXError::invalidUIElement);
    // The application's element for a process that is gone names nothing.
    const auto appRole = ax().copyAttributeValue(ax().applicationElement(pid), kAXRoleAttribute);
    ASSERT_FALSE(appRole.has_value());
    EXPECT_EQ(appRole.error(), AXError::invalidUIElement);
}

TEST_F(AccessibilityDesktopTest, AWidgetDestroyedInARunningApplicationIsInvalid) {
    auto editor = startEditor(EditorOptions().withEntry("gone soon").withView("stays"));
    ASSERT_NE(editor, nullptr);
    const AXElement field = entry(*editor);
    const AXElement view = textView(*editor);
    ASSERT_EQ(value(field), "gone soon");
    ASSERT_EQ(::kill(editor->pid(), SIGUSR1), 0);
    EXPECT_TRUE(waitUntil([&] {
        const auto r = ax().copyAttributeValue(field, kAXRoleAttribute);
        return !r && r.error() == AXError::invalidUIElement;
    })) << "the entry still reads as "
        << readString(ax(), field, kAXRoleAttribute).value_or("<error>");
    // Its neighbour lives on.
    EXPECT_EQ(value(view), "stays");
    EXPECT_TRUE(session_->elementsWithRole(editor->pid(), kAXTextFieldRole).empty());
}

TEST_F(AccessibilityDesktopTest, NeverAsksItsOwnProcess) {
    const Pid self = static_cast<Pid>(getpid());
    const auto role = ax().copyAttributeValue(ax().applicationElement(self), kAXRoleAttribute);
    EXPECT_FALSE(role.has_value());
    EXPECT_FALSE(ax().createObserver(self, [](const AXElement&, std::string_view) {}));
}

}  // namespace
}  // namespace mivo::desktop_test
