// The controller with the real monitor and engine on the simulated desktop:
// every Character of the field takes one 10-point cell, so a highlight that
// lands on the wrong cell shows at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "correction/local_correction_service.hpp"
#include "correction_display/correction_display_adapters.hpp"
#include "correction_display/correction_display_controller.hpp"
#include "display_fakes.hpp"
#include "monitor/accessibility_monitor.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "platform/sim/sim_accessibility.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "settings/mivo_settings_store.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

// Finds every 「をを」 and suggests 「を」.
class DoubledWoRule : public CorrectionRule {
  public:
    std::vector<CorrectionIssue> apply(std::string_view text, const TextRange& sentenceRange,
                                       std::string_view sentenceId) const override {
        std::vector<CorrectionIssue> issues;
        for (const int64_t at : text::findAll(text, "をを")) {
            IssueFields fields;
            fields.start = at;
            fields.end = at + 2;
            fields.category = CorrectionIssue::Category::particle;
            fields.original = "をを";
            fields.suggestion = "を";
            issues.push_back(makeIssue(fields, sentenceRange, sentenceId));
        }
        return issues;
    }
};

class DesktopDisplayTest : public ::testing::Test {
  protected:
    // The field lies at x 100...700, y 200...240 (accessibility
    // coordinates), inside `container` when one is given.
    void setUpField(sim::TextFieldOptions options,
                    std::function<sim::SimId(sim::SimId window)> container = {}) {
        desk.addApplication(pid, "Editor", "com.example.editor");
        window = desk.addWindow(pid, "Untitled");
        options.frame = Rect{100, 200, 600, 40};
        field = desk.addTextField(container ? container(window) : window, "", options);
        desk.activateApplication(pid);
        desk.focus(field);
        desk.clock().advance(0);
        monitor.onSentenceCompleted = [this](const CompletedSentenceCandidate& c) {
            controller.showCorrectionIssues(c);
        };
        monitor.onReplacementCompleted = [this](const std::string& t) {
            rechecked.push_back(t);
            controller.handleReplacementCompleted(t);
        };
        monitor.onCorrectionContextChanged = [this] {
            controller.clearCorrectionUIForContextChange();
        };
        monitor.onFieldMayHaveMoved = [this] { controller.handleFieldMayHaveMoved(); };
        monitor.start();
    }

    sim::SimDesktop desk;
    const Pid pid = 100;
    sim::SimId window = 0;
    sim::SimId field = 0;
    AccessibilityMonitor monitor{desk.ports()};
    sim::MemoryUserDefaults defaults;
    MivoSettingsStore settings{defaults, desk.clock()};
    LocalCorrectionService engine{LocalCorrectionService::Rules{std::make_shared<DoubledWoRule>()}};
    LocalCorrectionChecker checker{engine};
    MonitorCorrectionTextField textField{monitor};
    testing::RecordingHighlight highlight{desk.clock()};
    testing::RecordingPanel panel{desk.clock()};
    CorrectionDisplayController controller{desk.clock(), checker, textField,
                                           highlight,    panel,   settings};
    std::vector<std::string> rechecked;
};

struct PrefixCase {
    const char* name;
    std::string prefix;  // one Character before 宿題をを終えた。
    bool fragmentBacked;
};
void PrintTo(const PrefixCase& c, std::ostream* os) {
    *os << c.name;
}

class PrefixTest : public DesktopDisplayTest, public ::testing::WithParamInterface<PrefixCase> {};

TEST_P(PrefixTest, HighlightLandsOnTheIssuesOwnText) {
    sim::TextFieldOptions options;
    options.fragmentBacked = GetParam().fragmentBacked;
    setUpField(options);
    desk.setText(field, GetParam().prefix + "宿題をを終えた。");
    desk.clock().advance(1);

    ASSERT_EQ(highlight.shown.size(), 1u);
    const auto& a = highlight.shown[0];
    ASSERT_TRUE(a.issue);
    EXPECT_EQ(a.issue->range, (TextRange{3, 5}));
    // Cells 3 and 4 of the line at x 100, y 200 (accessibility), 20 high,
    // on a 900-high screen.
    EXPECT_EQ(a.rect, (Rect{130, 680, 20, 20}));

    // Still there after the follow loop asked again.
    desk.clock().advance(0.5);
    ASSERT_EQ(highlight.shown.size(), 1u);
    EXPECT_EQ(highlight.shown[0].rect, (Rect{130, 680, 20, 20}));
}

INSTANTIATE_TEST_SUITE_P(Characters, PrefixTest,
                         ::testing::Values(PrefixCase{"kana", "あ", false},
                                           PrefixCase{"emoji", "😀", false},
                                           PrefixCase{"combiningMark", "か\u3099", false},
                                           PrefixCase{"surrogatePairKanji", "𠮷", false},
                                           PrefixCase{"emojiSequence", "👨\u200d👩\u200d👧", false},
                                           PrefixCase{"emojiFragments", "😀", true},
                                           PrefixCase{"combiningMarkFragments", "か\u3099", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DesktopDisplayTest, CaretWindowCountsFromItsOwnStart) {
    setUpField({});
    // No value: the monitor reads the 400 units before the caret, which
    // start 31 units into the field.
    desk.setAttributeAbsent(field, "AXValue");
    std::string before;
    for (int i = 0; i < 420; ++i)
        before += "あ";
    desk.setText(field, before + "\n😀宿題をを終えた。");
    desk.clock().advance(1);

    ASSERT_EQ(highlight.shown.size(), 1u);
    EXPECT_EQ(highlight.shown[0].issue->range, (TextRange{393, 395}));
    // Second line, cells 3 and 4.
    EXPECT_EQ(highlight.shown[0].rect, (Rect{130, 660, 20, 20}));
}

TEST_F(DesktopDisplayTest, ApplyWritesBackAndChecksTheNewTextFromZero) {
    setUpField({});
    desk.setText(field, "😀宿題をを終えた。");
    desk.clock().advance(1);
    ASSERT_EQ(highlight.shown.size(), 1u);

    controller.handleApply({*highlight.shown[0].issue});
    EXPECT_TRUE(highlight.shown.empty());
    desk.clock().advance(2);

    EXPECT_EQ(desk.text(field), "😀宿題を終えた。");
    EXPECT_EQ(rechecked, (std::vector<std::string>{"😀宿題を終えた。"}));
    EXPECT_TRUE(highlight.shown.empty());
    EXPECT_TRUE(controller.currentHoverCorrectionIssues().empty());
}

TEST_F(DesktopDisplayTest, AClearedAndRetypedFieldNeverShowsOrTakesTheOldCorrection) {
    setUpField({});
    desk.setText(field, "宿題をを終えた。");
    desk.clock().advance(1);
    ASSERT_EQ(highlight.shown.size(), 1u);
    const CorrectionIssue old = *highlight.shown[0].issue;  // をを at 2

    // Everything selected and deleted, a new sentence typed faster than a
    // check: its をを stands elsewhere, and cells 2 and 3 hold other text.
    for (const std::string typed : {"", "今日", "今日は本", "今日は本をを", "今日は本をを読む"}) {
        SCOPED_TRACE(typed);
        desk.setText(field, typed);
        desk.clock().advance(0.25);
        EXPECT_TRUE(highlight.shown.empty());
    }
    // The panel still offered the old correction: nothing is written.
    controller.handleApply({old});
    monitor.applyReplacement(old);
    desk.clock().advance(2);
    EXPECT_EQ(desk.text(field), "今日は本をを読む");

    // The next check finds the new one.
    desk.setText(field, "今日は本をを読む。");
    desk.clock().advance(1);
    ASSERT_EQ(highlight.shown.size(), 1u);
    EXPECT_EQ(highlight.shown[0].issue->range, (TextRange{4, 6}));
}

// A rich-text field whose Return made a block of each line: each line
// finished is checked and keeps its boxes wherever the caret goes.
struct DocumentCase {
    const char* name;
    // What the user does once both lines are written, the caret in the
    // second; the boxes left, by the line of their text (1, 2).
    std::function<void(sim::SimDesktop&, sim::SimId window, sim::SimId document, sim::SimId first)>
        then;
    std::vector<int> boxedLines;
};
void PrintTo(const DocumentCase& c, std::ostream* os) {
    *os << c.name;
}

class DocumentDisplayTest : public DesktopDisplayTest {
  protected:
    // Lines of 20 points from y 200 (accessibility), cells of 10. Writer's
    // paragraphs take the focus with the caret, and the user goes on into
    // a third.
    void writeTwoLines(bool writerParagraphs = false) {
        setUpField({});
        first = desk.addTextField(field, "", {.frame = Rect{100, 200, 600, 20}});
        second = desk.addTextField(field, "", {.frame = Rect{100, 220, 600, 20}});
        if (writerParagraphs) {
            third = desk.addTextField(field, "", {.frame = Rect{100, 240, 600, 20}});
            desk.setAttribute(field, std::string(kAXEditableAttribute), AXValue(true));
        }
        desk.setText(field, writerParagraphs ? "\uFFFC\uFFFC\uFFFC" : "\uFFFC\uFFFC");
        const auto caretInto = [&](sim::SimId line) {
            if (writerParagraphs)
                desk.focus(line);
            else
                desk.moveCaretIntoBlock(field, line);
        };
        caretInto(first);
        desk.clock().advance(1);
        // Return 0.3 s after 。, well within the pause a check waits for.
        desk.setText(first, "宿題をを終えた。");
        desk.clock().advance(0.3);
        caretInto(second);
        desk.clock().advance(0.2);
        desk.setText(second, "本をを読んだ。");
        desk.clock().advance(1.5);
        if (writerParagraphs) {
            caretInto(third);
            desk.clock().advance(1.5);
        }
    }
    std::vector<int> boxedLines() const {
        std::vector<int> lines;
        for (const auto& a : highlight.shown)
            lines.push_back(a.rect.y == 680 ? 1 : a.rect.y == 660 ? 2 : 0);
        std::ranges::sort(lines);
        return lines;
    }
    sim::SimId first = 0;
    sim::SimId second = 0;
    sim::SimId third = 0;
};

TEST_F(DocumentDisplayTest, TheDocumentsOwnTextBesideABlockIsBoxedAndWrittenAsABlock) {
    // A first line typed before any Return, the paragraphs of a template
    // below it: the caret in the field's own text.
    for (const bool caretMovedByTheBrowser : {false, true}) {
        // Chromium moves the caret into the next block while the write goes
        // into the line (the next key then went to the start of line 2).
        SCOPED_TRACE(caretMovedByTheBrowser ? "the caret moved into the block mid-write"
                                            : "the caret left alone");
        setUpField({});
        const auto block =
            desk.addTextField(field, "本をを読んだ。", {.frame = Rect{100, 220, 600, 20}});
        desk.setText(field, "\uFFFC");
        desk.select(field, Utf16Range{0, 0});
        desk.clock().advance(1);
        desk.typeText("宿題をを終えた。");
        desk.clock().advance(1.5);
        ASSERT_EQ(highlight.shown.size(), 1u);
        EXPECT_EQ(highlight.shown[0].issue->range, (TextRange{2, 4}));
        EXPECT_EQ(highlight.shown[0].rect, (Rect{120, 680, 20, 20}));
        rechecked.clear();

        controller.handleApply({*highlight.shown[0].issue});
        if (caretMovedByTheBrowser) {
            desk.clock().advance(0.05);
            desk.moveCaretIntoBlock(field, block);
        }
        desk.clock().advance(3);
        EXPECT_EQ(desk.text(field), "宿題を終えた。\uFFFC");
        EXPECT_EQ(desk.text(block), "本をを読んだ。");
        EXPECT_EQ(rechecked, (std::vector<std::string>{"宿題を終えた。"}));
        // The caret is back at the end of the line written.
        EXPECT_EQ(monitor.observedElement(), desk.element(field));
        EXPECT_EQ(desk.selection(field), (Utf16Range{7, 0}));
        EXPECT_FALSE(desk.log().contains("focus changed mid-apply"));
        desk.quitApplication(pid);
        desk.clock().advance(1.1);
        desk.log().clear();
    }
}

class DocumentTest : public DocumentDisplayTest,
                     public ::testing::WithParamInterface<DocumentCase> {};

TEST_F(DocumentDisplayTest, ApplyIntoTheLineTheCaretIsNotInWritesThereAndPutsTheCaretBack) {
    // The caret comes back whether the write left it with the user (the
    // line's text set whole) or in the line written.
    struct Case {
        const char* why;
        bool caretMovedByTheWrite;
        // The line written is followed for the write without the focus,
        // which stays in the user's paragraph.
        bool writerParagraphs;
    };
    const Case cases[] = {
        {"caret left alone", false, false},
        {"caret moved by the write", true, false},
        {"Writer's paragraphs, the caret in a third", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const bool caretMovedByTheWrite = c.caretMovedByTheWrite;
        writeTwoLines(c.writerParagraphs);
        ASSERT_EQ(highlight.shown.size(), 2u);
        const auto inFirst = std::ranges::find_if(
            highlight.shown, [](const HighlightAnnotation& a) { return a.rect.y == 680; });
        ASSERT_NE(inFirst, highlight.shown.end());
        const sim::SimId userLine = c.writerParagraphs ? third : second;
        const Utf16Range userCaret = desk.selection(userLine);
        rechecked.clear();

        controller.handleApply({*inFirst->issue});
        if (caretMovedByTheWrite)
            desk.moveCaretIntoBlock(field, first);
        desk.clock().advance(4);

        EXPECT_EQ(desk.text(first), "宿題を終えた。");
        EXPECT_EQ(desk.text(second), "本をを読んだ。");
        EXPECT_EQ(rechecked, (std::vector<std::string>{"宿題を終えた。"}));
        // The caret is back in the line the user was writing, where it was.
        EXPECT_EQ(desk.selection(userLine), userCaret);
        if (!c.writerParagraphs) {
            EXPECT_EQ(monitor.observedElement(), desk.element(second));
        }
        // The other line's box stayed throughout.
        EXPECT_EQ(boxedLines(), (std::vector<int>{2}));
        desk.quitApplication(pid);
        desk.clock().advance(1.1);
    }
}

TEST_P(DocumentTest, EveryFinishedLineKeepsItsBoxesWhereverTheCaretIs) {
    writeTwoLines();
    // Both errors boxed at once, each on its own text: をを is cells 2-3
    // of the first line and 1-2 of the second.
    ASSERT_EQ(highlight.shown.size(), 2u);
    for (const auto& a : highlight.shown)
        EXPECT_EQ(a.rect.x, a.rect.y == 680 ? 120 : 110);
    EXPECT_EQ(boxedLines(), (std::vector<int>{1, 2}));
    GetParam().then(desk, window, field, first);
    desk.clock().advance(1.5);
    EXPECT_EQ(boxedLines(), GetParam().boxedLines);
    EXPECT_EQ(controller.currentHoverCorrectionIssues().size(), GetParam().boxedLines.size());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DocumentTest,
    ::testing::Values(
        DocumentCase{"nothingMore", [](auto&, auto, auto, auto) {}, {1, 2}},
        DocumentCase{"upIntoTheFirstLine",
                     [](sim::SimDesktop& d, auto, auto document, auto first) {
                         d.moveCaretIntoBlock(document, first);
                     },
                     {1, 2}},
        DocumentCase{
            "aThirdLineWritten",
            [](sim::SimDesktop& d, auto, auto document, auto) {
                const auto third = d.addTextField(document, "", {.frame = Rect{100, 240, 600, 20}});
                d.setText(document, "\uFFFC\uFFFC\uFFFC");
                d.moveCaretIntoBlock(document, third);
                d.clock().advance(0.2);
                d.setText(third, "明日も");
            },
            {1, 2}},
        DocumentCase{"theFirstLineChangedBeforeItsError",
                     [](sim::SimDesktop& d, auto, auto, auto first) {
                         d.setText(first, "私の宿題をを終えた");
                     },
                     {2}},
        DocumentCase{"outOfTheDocument",
                     [](sim::SimDesktop& d, auto window, auto document, auto) {
                         d.moveCaretIntoBlock(document, 0);
                         d.focus(d.addTextField(window, "", {.frame = Rect{100, 400, 600, 20}}));
                     },
                     {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DesktopDisplayTest, AnotherApplicationInFrontClearsTheHighlights) {
    setUpField({});
    desk.setText(field, "宿題をを終えた。");
    desk.clock().advance(1);
    ASSERT_EQ(highlight.shown.size(), 1u);
    controller.handleHoverIssue(*highlight.shown[0].issue, highlight.shown[0].rect);
    ASSERT_TRUE(panel.visible);

    desk.addApplication(200, "Other", "com.example.other");
    desk.activateApplication(200);
    desk.clock().advance(0);
    EXPECT_TRUE(highlight.shown.empty());
    EXPECT_FALSE(panel.visible);
}

// What stands between the field and the screen: a page scrolled under the
// browser's toolbar, a scrolled pane, a window, or a container that cuts
// nothing. The issue's text lies on the field's first line, y 200...220.
struct ClipCase {
    const char* name;
    std::string role;            // the field's container, inside the window
    std::optional<Rect> frame;   // its frame (accessibility coordinates)
    std::optional<Rect> window;  // the window's frame, when not the default
    bool shown;
};
void PrintTo(const ClipCase& c, std::ostream* os) {
    *os << c.name;
}

class ClipTest : public DesktopDisplayTest, public ::testing::WithParamInterface<ClipCase> {};

TEST_P(ClipTest, ABoxIsDrawnOnlyWhereItsTextCanBeSeen) {
    const auto& c = GetParam();
    setUpField({}, [&](sim::SimId window) {
        if (c.window)
            desk.setFrame(window, *c.window);
        return desk.addElement(window, c.role, c.frame);
    });
    desk.setText(field, "宿題をを終えた。");
    desk.clock().advance(1);
    EXPECT_EQ(highlight.shown.size(), c.shown ? 1u : 0u);
    // Nor on any later ask.
    desk.clock().advance(1.5);
    EXPECT_EQ(highlight.shown.size(), c.shown ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Ancestors, ClipTest,
    ::testing::Values(
        ClipCase{"pageScrolledUnderTheToolbar", "AXWebArea", Rect{0, 215, 1200, 585}, std::nullopt,
                 false},
        ClipCase{"pageShowingIt", "AXWebArea", Rect{0, 100, 1200, 700}, std::nullopt, true},
        ClipCase{"paneScrolledPastIt", "AXScrollArea", Rect{0, 0, 1200, 205}, std::nullopt, false},
        ClipCase{"aboveTheWindow", "AXGroup", std::nullopt, Rect{0, 230, 1200, 570}, false},
        // A page's sections may be smaller than what they hold.
        ClipCase{"sectionCutsNothing", "AXGroup", Rect{0, 215, 1200, 5}, std::nullopt, true},
        ClipCase{"pageWithoutAFrame", "AXWebArea", std::nullopt, std::nullopt, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Like Writer in a fresh window: the field answers no box (its positions
// are stale) until the user clicks into it.
TEST_F(DesktopDisplayTest, ABoxRefusedUntilAClickShowsAtTheClick) {
    bool stale = true;
    setUpField({});
    desk.setParameterizedHook(
        field, [&](std::string_view attribute, const AXValue&) -> std::optional<AXResult> {
            if (stale && attribute == kAXBoundsForRangeParameterizedAttribute)
                return AXValue(Rect{});
            return std::nullopt;
        });
    desk.setText(field, "宿題をを終えた。");
    desk.clock().advance(5);
    EXPECT_TRUE(highlight.shown.empty());

    stale = false;
    // The click moves the caret: asked at once, or one follow interval
    // after the last ask (4.92 s) at the latest.
    desk.select(field, Utf16Range{1, 0});
    desk.clock().advance(0.05);
    ASSERT_EQ(highlight.shown.size(), 1u);
    EXPECT_EQ(highlight.shown[0].rect, (Rect{120, 680, 20, 20}));
}

}  // namespace
}  // namespace mivo

namespace mivo {
namespace {

// A writing session: a document of some length, and at its end one
// sentence after another with a mistake that is checked, then applied,
// dismissed or typed past. Nothing Mivo keeps may grow with the cycles.
enum class Answer { apply, dismiss, typePast };
struct SessionCase {
    const char* name;
    Answer answer;
    bool fragmentBacked;
};
void PrintTo(const SessionCase& c, std::ostream* os) {
    *os << c.name;
}

class SessionTest : public DesktopDisplayTest, public ::testing::WithParamInterface<SessionCase> {
  protected:
    // The cycle's own sentence: a different text every time.
    static std::string sentence(int cycle) {
        static const char* const digits[] = {"〇", "一", "二", "三", "四",
                                             "五", "六", "七", "八", "九"};
        std::string number;
        for (const char digit : std::to_string(cycle))
            number += digits[digit - '0'];
        return "宿題をを" + number + "回目に終えた。";
    }

    void runCycle(const std::string& document, int cycle) {
        desk.setText(field, document + sentence(cycle));
        desk.clock().advance(1);
        ASSERT_EQ(highlight.shown.size(), 1u) << "cycle " << cycle;
        const CorrectionIssue issue = *highlight.shown[0].issue;
        switch (GetParam().answer) {
            case Answer::apply:
                controller.handleApply({issue});
                break;
            case Answer::dismiss:
                controller.handleDismiss({issue});
                break;
            case Answer::typePast:
                break;
        }
        desk.clock().advance(2);
        rechecked.clear();
        desk.log().clear();
    }
};

TEST_P(SessionTest, ManyCyclesKeepNothingPerCycle) {
    sim::TextFieldOptions options;
    options.fragmentBacked = GetParam().fragmentBacked;
    setUpField(options);
    // The document on the first line, the sentence typed on the second,
    // where the field shows it; the whole a little short of the longest
    // text that is checked.
    std::string document;
    for (int sentence = 0; sentence < 20; ++sentence)
        document += "今日は良い天気なので、散歩に出かけました。";
    document += "\n";
    // What stays installed between cycles: steps due later, observers of
    // the field and of its application.
    struct Kept {
        std::size_t steps = 0;
        std::size_t observers = 0;
        std::size_t registrations = 0;
    };
    const auto kept = [&] {
        return Kept{desk.clock().pendingCount(), desk.accessibility().observerCount(),
                    desk.accessibility().registrationCount()};
    };
    constexpr int warmUp = 10;
    constexpr int cycles = 150;
    Kept settled;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        ASSERT_NO_FATAL_FAILURE(runCycle(document, cycle));
        if (cycle == warmUp)
            settled = kept();
        EXPECT_LE(controller.currentHoverCorrectionIssues().size(), 1u) << "cycle " << cycle;
    }
    const Kept last = kept();
    EXPECT_EQ(last.steps, settled.steps);
    EXPECT_EQ(last.observers, settled.observers);
    EXPECT_EQ(last.registrations, settled.registrations);
}

INSTANTIATE_TEST_SUITE_P(Answers, SessionTest,
                         ::testing::Values(SessionCase{"apply", Answer::apply, false},
                                           SessionCase{"dismiss", Answer::dismiss, false},
                                           SessionCase{"typePast", Answer::typePast, false},
                                           SessionCase{"applyInFragments", Answer::apply, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mivo
