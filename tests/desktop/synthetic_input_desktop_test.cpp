// The monitor's synthetic input on the real desktop: a selection made
// through the accessibility bus, then the suggestion pasted (the user's
// clipboard put back afterwards), typed, or a mouse drag pasted over.

#include <optional>
#include <string>

#include "desktop_test_support.hpp"
#include "field/synthetic_input.hpp"
// Last: Xlib's macros (None, Bool, Status) clash with GoogleTest.
#include "stand_in_xim_server.hpp"

namespace mivo::desktop_test {
namespace {

class SyntheticInputDesktopTest : public DesktopTest {
  protected:
    std::unique_ptr<SyntheticInput> inputFor(const TestEditor& editor, const AXElement& field) {
        const Pid pid = editor.pid();
        return std::make_unique<SyntheticInput>(session_->ports(), [field, pid] {
            return InputTarget{field, pid, pid};
        });
    }

    // An editor holding 今日は晴れです。 with 晴れ (kSunnyToday) selected
    // through the input aimed at its text view.
    void openWithSunnySelected() {
        editor_ = startEditor({.viewText = "今日は晴れです。"});
        ASSERT_NE(editor_, nullptr);
        view_ = textView(*editor_);
        input_ = inputFor(*editor_, view_);
        ASSERT_TRUE(input_->selectReplacementRange(kSunnyToday, "晴れ", view_, "test"));
    }

    static constexpr Utf16Range kSunnyToday{3, 2};
    std::unique_ptr<TestEditor> editor_;
    AXElement view_;
    std::unique_ptr<SyntheticInput> input_;
};

TEST_F(SyntheticInputDesktopTest, PastesOverTheSelectionAndPutsTheUsersClipboardBack) {
    auto editor = startEditor({.viewText = "\U00020BB7野さんは晴れです。"});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    auto input = inputFor(*editor, view);
    Pasteboard& pb = pasteboard();
    pb.clearContents();
    ASSERT_TRUE(pb.writeItems({stringItem("ユーザーのコピー")}));

    // 晴れ: Characters 5 and 6, UTF-16 units 6 and 7.
    const Utf16Range range{6, 2};
    ASSERT_TRUE(input->selectReplacementRange(range, "晴れ", view, "test"));
    ASSERT_TRUE(input->pasteTextIntoFocusedElement("雨", SelectedTarget{view, range, "晴れ"}));
    ASSERT_TRUE(waitForValue(view, "\U00020BB7野さんは雨です。"))
        << value(view).value_or("<nothing>");
    // The restore comes 0.4 s after the paste.
    EXPECT_TRUE(waitUntil([&] { return pasteboardString(pb) == "ユーザーのコピー"; }, 3))
        << pasteboardString(pb).value_or("<nothing>");
}

TEST_F(SyntheticInputDesktopTest, TypesOverTheSelection) {
    ASSERT_NO_FATAL_FAILURE(openWithSunnySelected());
    ASSERT_TRUE(input_->typeTextIntoFocusedElement("曇り\U0001F325",
                                                   SelectedTarget{view_, kSunnyToday, "晴れ"}));
    EXPECT_TRUE(waitForValue(view_, "今日は曇り\U0001F325です。"))
        << value(view_).value_or("<nothing>");
}

TEST_F(SyntheticInputDesktopTest, UnderAnInputMethodLettersAreNotTypedButKanaAre) {
    StandInXimServer ibus("ibus");
    ASSERT_TRUE(ibus.running());
    ASSERT_NO_FATAL_FAILURE(openWithSunnySelected());
    // A converter would turn "ame" into あめ or a conversion: none of the
    // text goes in, not even the 曇 before the letters.
    ASSERT_TRUE(
        input_->typeTextIntoFocusedElement("曇ame", SelectedTarget{view_, kSunnyToday, "晴れ"}));
    ASSERT_TRUE(waitUntil([&] {
        return session_->log().contains(
            "the ibus input method would convert typed letters; the text is not typed");
    }));
    ASSERT_TRUE(waitUntil(
        [&] { return session_->log().contains("unicode typing into focused element failed"); }));
    EXPECT_EQ(value(view_), "今日は晴れです。");

    // Kana and kanji have no key a converter knows: they are typed.
    ASSERT_TRUE(
        input_->typeTextIntoFocusedElement("曇り", SelectedTarget{view_, kSunnyToday, "晴れ"}));
    EXPECT_TRUE(waitForValue(view_, "今日は曇りです。")) << value(view_).value_or("<nothing>");
}

TEST_F(SyntheticInputDesktopTest, MouseDragSelectsTheExpectedTextBeforePasting) {
    auto editor = startEditor({.viewText = "今日は晴れです。"});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    auto input = inputFor(*editor, view);
    // The rectangle of 晴れ in screen coordinates (y up), as the monitor's
    // geometry gives it.
    const auto quartz = ax().copyParameterizedAttributeValue(
        view, kAXBoundsForRangeParameterizedAttribute, AXValue(Utf16Range{3, 2}));
    ASSERT_TRUE(quartz && quartz->asRect());
    const Rect r = *quartz->asRect();
    const auto screens = session_->desktop().screens().screens();
    ASSERT_FALSE(screens.empty());
    const double height = screens.front().frame.height;
    const Rect rect{r.x, height - r.y - r.height, r.width, r.height};
    ASSERT_TRUE(input->pasteTextIntoRect("雨", rect, std::string("晴れ"), view));
    EXPECT_TRUE(waitForValue(view, "今日は雨です。")) << value(view).value_or("<nothing>");
}

}  // namespace
}  // namespace mivo::desktop_test
