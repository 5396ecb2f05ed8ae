// Synthetic input through XTest into the real editor, the key-down monitor,
// and a paste that leaves the clipboard as it found it.

#include <cmath>

#include "desktop_test_support.hpp"
#include "platform/linux/atspi_element.hpp"
#include "platform/linux/gobject_ptr.hpp"

namespace mivo::desktop_test {
namespace {

using InputDesktopTest = DesktopTest;

TEST_F(InputDesktopTest, TypesJapaneseAndNonBmpCharactersIntoTheFocusedField) {
    auto editor = startEditor();
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    // More Characters than spare key codes are taken in turn, so the
    // remapped key codes come round again.
    const std::string typed = "今日は\U00020BB7野家で\U0001F600、Mivoを使いました。abcXYZ改行なし";
    typeText(typed);
    ASSERT_TRUE(waitForValue(view, typed)) << value(view).value_or("<nothing>");
    const auto length = text::utf16Length(typed);
    EXPECT_EQ(readRange(ax(), view, kAXSelectedTextRangeAttribute), (Utf16Range{length, 0}));
    EXPECT_EQ(readNumber(ax(), view, kAXNumberOfCharactersAttribute), length);
}

TEST_F(InputDesktopTest, DeleteRemovesTheCharacterBeforeTheCaretOrTheSelection) {
    auto editor = startEditor(EditorOptions().withView("ab\U0001F600"));
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const auto pressDelete = [&] {
        ASSERT_TRUE(input().postKeyEvent(KeyEvent{kKeyCodeDelete, true, 0, {}}));
        ASSERT_TRUE(input().postKeyEvent(KeyEvent{kKeyCodeDelete, false, 0, {}}));
    };
    pressDelete();
    ASSERT_TRUE(waitForValue(view, "ab")) << value(view).value_or("<nothing>");
    ASSERT_EQ(ax().setAttributeValue(view, kAXSelectedTextRangeAttribute, Utf16Range{0, 1}),
              AXError::success);
    pressDelete();
    EXPECT_TRUE(waitForValue(view, "b")) << value(view).value_or("<nothing>");
}

TEST_F(InputDesktopTest, PastesAndPutsTheClipboardBack) {
    auto editor = startEditor(EditorOptions().withView("今日は晴れです。"));
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    Pasteboard& pb = pasteboard();

    // What the user had copied.
    pb.clearContents();
    ASSERT_TRUE(pb.writeItems({stringItem("ユーザーの\U0001F4CB")}));
    const auto saved = pb.items();
    ASSERT_EQ(pasteboardString(pb), "ユーザーの\U0001F4CB");

    // The paste: the suggestion on the clipboard, over a selection, Ctrl+V.
    const int64_t before = pb.changeCount();
    pb.clearContents();
    ASSERT_TRUE(pb.writeItems({stringItem("雨")}));
    const int64_t afterWrite = pb.changeCount();
    EXPECT_GT(afterWrite, before);
    ASSERT_EQ(ax().setAttributeValue(view, kAXSelectedTextRangeAttribute, Utf16Range{3, 2}),
              AXError::success);
    ASSERT_TRUE(input().postKeyEvent(KeyEvent{kKeyCodeV, true, kEventFlagCommand, {}}));
    ASSERT_TRUE(input().postKeyEvent(KeyEvent{kKeyCodeV, false, kEventFlagCommand, {}}));
    ASSERT_TRUE(waitForValue(view, "今日は雨です。")) << value(view).value_or("<nothing>");

    // Nobody else copied meanwhile: the count is still ours, and the saved
    // items go back.
    EXPECT_EQ(pb.changeCount(), afterWrite);
    pb.clearContents();
    ASSERT_TRUE(pb.writeItems(saved));
    EXPECT_EQ(pasteboardString(pb), "ユーザーの\U0001F4CB");
}

TEST_F(InputDesktopTest, ClipboardCountsWhatOtherApplicationsCopy) {
    auto editor = startEditor(EditorOptions().withView("他のアプリ\U0001F4CB"));
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    Pasteboard& pb = pasteboard();
    pb.clearContents();
    ASSERT_TRUE(pb.writeItems({stringItem("ours")}));
    const int64_t ours = pb.changeCount();

    // The editor copies its first three Characters itself, as a user's
    // Ctrl+C there would.
    const auto* ref = linux_desktop::atspiRef(view);
    ASSERT_NE(ref, nullptr);
    linux_desktop::GObjectPtr<AtspiEditableText> editable(
        atspi_accessible_get_editable_text_iface(ref->accessible()));
    ASSERT_NE(editable, nullptr);
    linux_desktop::GErrorSlot error;
    ASSERT_TRUE(atspi_editable_text_copy_text(editable.get(), 0, 3, error.out()));
    ASSERT_FALSE(error.failed()) << error.message();

    EXPECT_TRUE(waitUntil([&] { return pb.changeCount() > ours; }));
    EXPECT_TRUE(waitUntil([&] { return pasteboardString(pb) == "他のア"; }))
        << pasteboardString(pb).value_or("<nothing>");
}

TEST_F(InputDesktopTest, KeyDownMonitorHearsKeysOfEveryApplicationUntilDisabled) {
    auto editor = startEditor();
    ASSERT_NE(editor, nullptr);
    int keyDowns = 0;
    auto monitor = input().installKeyDownMonitor([&](KeyDownMonitorEvent e) {
        if (e == KeyDownMonitorEvent::keyDown)
            ++keyDowns;
    });
    ASSERT_TRUE(monitor.has_value());
    typeText("あい");
    EXPECT_TRUE(waitUntil([&] { return keyDowns >= 2; }));
    (*monitor)->setEnabled(false);
    spinFor(0.2);
    const int heard = keyDowns;
    typeText("う");
    ASSERT_TRUE(waitForValue(textView(*editor), "あいう"));
    spinFor(0.2);
    EXPECT_EQ(keyDowns, heard);
}

TEST_F(InputDesktopTest, MouseDragSelectsTheTextUnderIt) {
    auto editor = startEditor(EditorOptions().withEntry("drag over me"));
    ASSERT_NE(editor, nullptr);
    const AXElement field = entry(*editor);
    const auto bounds = [&](Utf16Range r) {
        auto v = ax().copyParameterizedAttributeValue(
            field, kAXBoundsForRangeParameterizedAttribute, AXValue(r));
        return v ? v->asRect() : std::nullopt;
    };
    // From the middle of "d" to the middle of "g" of "drag".
    const auto first = bounds({0, 1});
    const auto last = bounds({3, 1});
    ASSERT_TRUE(first && last);
    const Point from{first->x + first->width / 2, first->midY()};
    const Point to{last->maxX() - 1, last->midY()};
    ASSERT_TRUE(input().postMouseEvent({MouseEventType::leftMouseDown, from}));
    for (int k = 1; k <= 8; ++k) {
        const Point p{from.x + (to.x - from.x) * k / 8, from.y};
        ASSERT_TRUE(input().postMouseEvent({MouseEventType::leftMouseDragged, p}));
    }
    ASSERT_TRUE(input().postMouseEvent({MouseEventType::leftMouseUp, to}));
    EXPECT_TRUE(waitUntil([&] {
        const auto selected = readString(ax(), field, kAXSelectedTextAttribute);
        return selected && selected->starts_with("ra") && selected->size() >= 3;
    })) << readString(ax(), field, kAXSelectedTextAttribute).value_or("<nothing>");
}

}  // namespace
}  // namespace mivo::desktop_test
