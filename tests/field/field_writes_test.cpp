#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "field/ax_text_extractor.hpp"
#include "field/field_writes.hpp"
#include "sim_scene.hpp"

namespace mivo {
namespace {

using Outcome = field_writes::ValueWrite::Outcome;

constexpr std::string_view kRead = "今日は晴れです。";
constexpr std::string_view kNew = "今日は雨です。";

struct GuardCase {
    const char* why;
    std::function<void(sim::SimDesktop&, sim::SimId)> before;  // after the read, before the write
    bool fragmentBacked;
    Outcome outcome;
    std::string fieldAfter;
};

class WholeValueWriteTest : public SimScene {};

TEST_F(WholeValueWriteTest, AWholeValueIsWrittenOnlyWhereNoTextCanBeLost) {
    const auto nothing = [](sim::SimDesktop&, sim::SimId) {};
    const GuardCase cases[] = {
        {"a plain field that still reads as read", nothing, false, Outcome::written,
         "今日は雨です。"},
        {"the user typed on since the read",
         [](sim::SimDesktop& d, sim::SimId f) { d.setText(f, "今日は晴れです。明日も"); }, false,
         Outcome::declined, "今日は晴れです。明日も"},
        {"the text is shown by static-text children", nothing, true, Outcome::fragmentBacked,
         "今日は晴れです。"},
        {"the value cannot be read",
         [](sim::SimDesktop& d, sim::SimId f) {
             d.setAttributeError(f, "AXValue", AXError::cannotComplete);
         },
         false, Outcome::noValue, "今日は晴れです。"},
        {"the field refuses the write",
         [](sim::SimDesktop& d, sim::SimId f) {
             d.setWriteQuirk(f, "AXValue", sim::WriteQuirk::fail(AXError::cannotComplete));
         },
         false, Outcome::refused, "今日は晴れです。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        sim::TextFieldOptions options;
        options.fragmentBacked = c.fragmentBacked;
        const sim::SimId field = desk.addTextField(window, std::string(kRead), options);
        c.before(desk, field);
        const auto write = field_writes::replaceWholeValue(ax, el(field), kRead, std::string(kNew));
        EXPECT_EQ(write.outcome, c.outcome);
        EXPECT_EQ(write.written(), c.outcome == Outcome::written);
        EXPECT_EQ(desk.text(field), c.fieldAfter);
        if (c.outcome == Outcome::refused) {
            EXPECT_EQ(write.error, AXError::cannotComplete);
        }
    }
}

TEST_F(WholeValueWriteTest, TheNewValueIsMadeFromTheValueReadRightBeforeTheWrite) {
    const sim::SimId field = desk.addTextField(window, "晴れ");
    int builds = 0;
    const auto write = field_writes::writeWholeValue(ax, el(field), [&](const std::string& value) {
        ++builds;
        return std::optional<std::string>(value + "のち雨");
    });
    ASSERT_TRUE(write.written());
    EXPECT_EQ(builds, 1);
    EXPECT_EQ(write.before, "晴れ");
    EXPECT_EQ(desk.text(field), "晴れのち雨");
}

struct ReadingCase {
    const char* why;
    std::string selectedReading;  // what "AXSelectedText" gives
    std::string expected;
    bool reads;
};

class SelectionReadingTest : public SimScene {};

TEST_F(SelectionReadingTest, OnlyTheReadingIsTrimmed) {
    const ReadingCase cases[] = {
        {"read exactly", "晴れ", "晴れ", true},
        {"white space around the reading", " 晴れ\n", "晴れ", true},
        {"an expected text with white space is read exactly", " 晴れ", " 晴れ", true},
        {"its white space is not made up", "晴れ", " 晴れ", false},
        {"another text", "雨", "晴れ", false},
    };
    // The field's own selection reads as none of them.
    const sim::SimId field = desk.addTextField(window, "今日は晴れ");
    desk.focus(field);
    desk.select(field, {0, 2});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        desk.setAttribute(field, "AXSelectedText", AXValue(c.selectedReading));
        EXPECT_EQ(AXTextExtractor::selectionReadsAs(ax, el(field), c.expected), c.reads);
        EXPECT_EQ(AXTextExtractor::selectedRangeReadsAs(ax, el(field), {0, 2}, c.expected),
                  c.reads);
    }
}

TEST_F(SelectionReadingTest, AJustSelectedRangeIsReadWithoutTheSentenceEndAfterIt) {
    // Without "AXSelectedText" the best reading of the selection takes the
    // 。 after it in; the range itself reads as what was selected.
    const sim::SimId field = desk.addTextField(window, "今日は晴れ。");
    desk.focus(field);
    desk.select(field, {3, 2});
    desk.setAttributeAbsent(field, "AXSelectedText");
    EXPECT_TRUE(AXTextExtractor::selectedRangeReadsAs(ax, el(field), {3, 2}, "晴れ"));
    EXPECT_TRUE(AXTextExtractor::selectionReadsAs(ax, el(field), "晴れ。"));
    EXPECT_FALSE(AXTextExtractor::selectionReadsAs(ax, el(field), "晴れ"));
}

}  // namespace
}  // namespace mivo
