#include <gtest/gtest.h>

#include "field/ax_text_extractor.hpp"
#include "platform/ax_reads.hpp"
#include "platform/sim/sim_workspace.hpp"
#include "sim_scene.hpp"

namespace mivo {
namespace {

using namespace AXTextExtractor;

class ElementSearchTest : public SimScene {
  protected:
    std::optional<AXElement> focusedField() { return focusedTextElement(ax, desk.workspace()); }
};

TEST_F(ElementSearchTest, TwoUnfocusedFieldsGiveNoElementUntilOneIsFocused) {
    const auto row = desk.addElement(window, "AXGroup");
    const auto left = desk.addTextField(row, "左");
    desk.addTextField(row, "右");
    EXPECT_FALSE(focusedField());

    desk.focus(left);
    EXPECT_EQ(focusedField(), el(left));
}

TEST_F(ElementSearchTest, TheOnlyFieldOfTheWindowIsTakenWithoutFocus) {
    const auto field = desk.addTextField(nest(window, 3), "唯一");
    desk.addStaticText(window, "ラベル");
    EXPECT_EQ(focusedField(), el(field));
}

TEST_F(ElementSearchTest, AFocusedEditableElementIsTakenAtOnce) {
    desk.addTextField(window, "他");
    const auto field = desk.addTextField(window, "本文");
    desk.focus(field);
    EXPECT_EQ(focusedField(), el(field));
}

TEST_F(ElementSearchTest, AFocusedContainerIsSearchedForItsField) {
    const auto web = desk.addElement(window, "AXWebArea");
    const auto field = desk.addTextField(nest(web, 2), "記事");
    desk.addTextField(window, "検索");  // outside the focused container
    desk.focus(web);
    EXPECT_EQ(focusedField(), el(field));
}

TEST_F(ElementSearchTest, WithoutAFrontmostApplicationTheSystemWideFocusIsUsed) {
    const Pid panelPid = 200;
    const auto panel = desk.addWindow(panelPid, "Panel");
    const auto box = desk.addElement(panel, "AXGroup");
    const auto field = desk.addTextField(box, "パネル");
    desk.quitApplication(pid);
    ASSERT_FALSE(desk.workspace().frontmostApplication());

    desk.setAttribute(desk.systemWide(), "AXFocusedUIElement", AXValue(el(field)));
    EXPECT_EQ(focusedField(), el(field));
    // A focused container is searched below.
    desk.setAttribute(desk.systemWide(), "AXFocusedUIElement", AXValue(el(box)));
    EXPECT_EQ(focusedField(), el(field));
    desk.setAttributeError(desk.systemWide(), "AXFocusedUIElement", AXError::noValue);
    EXPECT_FALSE(focusedField());
}

struct DepthCase {
    const char* why;
    int levels;       // groups between the window and the field's parent
    bool throughWeb;  // the second group is a web area
    bool found;
};

TEST_F(ElementSearchTest, SearchDepthFromTheWindowIsBounded) {
    const DepthCase cases[] = {
        {"fourteen groups deep", 14, false, true},
        {"fifteen groups deep", 15, false, false},
        {"a web area below the top lets the search go one further", 15, true, true},
        {"but not two", 16, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        sim::SimDesktop d;
        const auto w = d.addWindow(pid, "w");
        d.activateApplication(pid);
        auto parent = w;
        for (int i = 0; i < c.levels; ++i)
            parent = d.addElement(parent, c.throughWeb && i == 1 ? "AXWebArea" : "AXGroup");
        const auto field = d.addTextField(parent, "深い");
        const auto found = focusedTextElement(d.accessibility(), d.workspace());
        EXPECT_EQ(found.has_value(), c.found);
        if (found) {
            EXPECT_EQ(*found, d.element(field));
        }
    }
}

struct EditingCase {
    const char* why;
    const char* role;
    std::optional<AXResult> value;  // nullopt: unsupported
    bool range;
    bool count;
    bool rangeSettable;
    std::optional<bool> editable;
    bool expected;
};

TEST_F(ElementSearchTest, EditingTest) {
    const AXResult text = AXValue("本文");
    const AXResult number = AXValue(3);
    const EditingCase cases[] = {
        {"text role with a string value", "AXTextField", text, false, false, false, {}, true},
        {"text role with range and count", "AXTextArea", {}, true, true, false, {}, true},
        {"text role with a range only", "AXSearchField", {}, true, false, false, {}, false},
        {"text role whose value is a number", "AXComboBox", number, true, false, false, {}, false},
        {"container with value and range", "AXWindow", text, true, true, true, {}, false},
        {"container that says it is editable", "AXWebArea", text, true, true, false, true, true},
        {"container editable false", "AXScrollArea", text, true, true, true, false, false},
        {"other role with value and range", "AXGroup", text, true, false, false, {}, true},
        // A page's panel or section: a text, a caret, and not editable.
        {"other role that says it is not editable", "AXGroup", text, true, true, true, false,
         false},
        {"other role that says it is editable", "AXGroup", text, true, true, false, true, true},
        {"other role, settable range and count", "AXGroup", {}, true, true, true, {}, true},
        {"other role, range and count not settable", "AXGroup", {}, true, true, false, {}, false},
        {"other role with a value only", "AXStaticText", text, false, true, true, {}, false},
        {"no role at all, value and range", "", text, true, false, false, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto e = desk.addElement(window, c.role);
        if (c.value)
            desk.setAttribute(e, "AXValue", **c.value);
        if (c.range)
            desk.setAttribute(e, "AXSelectedTextRange", AXValue(Utf16Range{0, 0}), c.rangeSettable);
        if (c.count)
            desk.setAttribute(e, "AXNumberOfCharacters", AXValue(2));
        if (c.editable)
            desk.setAttribute(e, "AXEditable", AXValue(*c.editable));
        EXPECT_EQ(elementSupportsTextEditing(ax, el(e)), c.expected);
    }
}

TEST_F(ElementSearchTest, AnAbsentValueStillCountsAsReadWithoutError) {
    const auto e = desk.addElement(window, "AXTextArea");
    desk.setAttributeAbsent(e, "AXSelectedTextRange");
    desk.setAttributeAbsent(e, "AXNumberOfCharacters");
    EXPECT_TRUE(elementSupportsTextEditing(ax, el(e)));
    desk.setAttributeError(e, "AXNumberOfCharacters", AXError::noValue);
    EXPECT_FALSE(elementSupportsTextEditing(ax, el(e)));
}

}  // namespace
}  // namespace mivo
