// The same behaviours as for our own editors and the browsers, against the
// applications people write Japanese in: LibreOffice Writer (a paragraph
// with a bold run), Thunderbird's HTML compose (a document whose own text
// is only embedded objects), GNOME Text Editor (a window opened with
// Ctrl+N, which GTK 4 never marks active) and KWrite (KTextEditor's boxes
// of no height). Each starts once for this process with a private profile.

#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include "app_launch.hpp"
#include "desktop_apps.hpp"
#include "desktop_test_support.hpp"
#include "field/ax_text_extractor.hpp"
#include "monitor/accessibility_monitor.hpp"
#include "outside_bmp_text.hpp"
#include "platform/linux/atspi/atspi_element.hpp"
#include "user_keyboard.hpp"
#include "write_back.hpp"
#include "x_windows.hpp"

namespace mivo::desktop_test {
namespace {

// 😀 and 𠮷 take two UTF-16 units each: 晴れ is at units 7 and 8.
constexpr Utf16Range kToday{4, 2};  // bold in Writer's document

struct Prepared {
    std::unique_ptr<RunningApplication> app;
    bool ready = false;
    std::string failure;
};

std::map<AppKind, Prepared>& applications() {
    static std::map<AppKind, Prepared> running;
    return running;
}

// Stops the applications before the session's bus and window manager go.
class ApplicationsEnvironment : public ::testing::Environment {
  public:
    void TearDown() override { applications().clear(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ApplicationsEnvironment);

// The applications every suite of theirs runs in, and each one's name in
// the tests' names.
constexpr AppKind kEveryApp[] = {AppKind::writer, AppKind::thunderbird, AppKind::textEditor,
                                 AppKind::kwrite};
std::string nameOfApp(const ::testing::TestParamInfo<AppKind>& info) {
    return std::string(appName(info.param));
}

class AppsDesktopTest : public DesktopTest, public ::testing::WithParamInterface<AppKind> {
  protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (!sessionReady())
            return;
        Prepared& p = applications()[GetParam()];
        if (p.app == nullptr) {
            p.app = launch(GetParam(), kText);
            p.ready = p.app->failure().empty() && p.app->joined(60) && prepare(*p.app);
            if (!p.ready && p.failure.empty())
                p.failure = p.app->failure();
        }
        ASSERT_TRUE(p.ready) << appName(GetParam()) << ": " << p.failure;
        app_ = p.app.get();
        ASSERT_TRUE(bringForward());
        ASSERT_TRUE(waitUntil([&] { return field().has_value(); }, 20))
            << appName(GetParam()) << ": no field followed";
    }

    // Brings the text in: a document opened, or a window made and the text
    // pasted into it.
    bool prepare(RunningApplication& app) {
        Prepared& p = applications()[GetParam()];
        const auto fail = [&](std::string why) {
            p.failure = std::move(why);
            return false;
        };
        app_ = &app;
        switch (GetParam()) {
            case AppKind::writer:
            case AppKind::kwrite:
                if (!waitUntil(
                        [&] { return bringForward() && field() && value(*field()) == kText; },
                        60)) {
                    const auto f = field();
                    const auto front = workspace().frontmostApplication();
                    return fail("the document never showed its text; the field " +
                                (f ? readString(ax(), *f, kAXRoleAttribute).value_or("?") +
                                         " reads \"" + value(*f).value_or("<nothing>") + "\""
                                   : std::string("is not found")) +
                                "; in front: " +
                                (front ? front->localizedName.value_or("?") + " pid " +
                                             std::to_string(front->pid)
                                       : std::string("nothing")) +
                                ", the application's pid " + std::to_string(app.pid()));
                }
                return true;
            case AppKind::thunderbird: {
                if (!waitUntil([&] { return bringForward(); }, 60))
                    return fail("the main window never came to the front");
                // A message: Ctrl+N in the main window, again now and then
                // while the window is not ready for keys yet.
                std::optional<AXElement> body;
                auto pressed = std::chrono::steady_clock::now() - std::chrono::seconds(10);
                if (!waitUntil(
                        [&] {
                            if (const auto window = composeWindow())
                                body = findNamed(*window, "Message body", 0);
                            if (body)
                                return true;
                            if (std::chrono::steady_clock::now() - pressed >
                                std::chrono::seconds(4)) {
                                bringForward();
                                pressChord(*session_, {XK_Control_L, XK_n});
                                pressed = std::chrono::steady_clock::now();
                            }
                            return false;
                        },
                        60))
                    return fail("no compose window");
                if (!waitUntil(
                        [&] {
                            ax().setAttributeValue(*body, kAXFocusedAttribute, AXValue(true));
                            return readBool(ax(), *body, kAXFocusedAttribute) == true;
                        },
                        20))
                    return fail("the message body never took the focus");
                if (!pasteText())
                    return fail("the text pasted into the message body never showed");
                return true;
            }
            case AppKind::textEditor: {
                if (!waitUntil([&] { return bringForward() && field().has_value(); }, 40))
                    return fail("the first window showed no field");
                const auto first = field();
                // A second window: GTK 4 marks neither window active now.
                int tries = 0;
                if (!waitUntil(
                        [&] {
                            if (tries++ % 300 == 0)
                                pressChord(*session_, {XK_Control_L, XK_n});
                            const auto f = field();
                            return f && f != first;
                        },
                        20))
                    return fail("the window opened with Ctrl+N was never followed");
                return pasteText();
            }
        }
        return false;
    }

    // Thunderbird's window for a new message.
    std::optional<AXElement> composeWindow() {
        for (const auto& window :
             readElements(ax(), ax().applicationElement(app_->pid()), kAXChildrenAttribute)
                 .value_or(std::vector<AXElement>{})) {
            if (readString(ax(), window, kAXTitleAttribute).value_or("").starts_with("Write"))
                return window;
        }
        return std::nullopt;
    }

    // Pastes `text`; true once the field followed reads it. Nothing is
    // asked of the application until it has fetched the text: while it
    // waits for our clipboard it answers no call of ours, we answer no
    // fetch while we wait for it, and Gecko soon gives the paste up (it
    // fetches late and drops the text). Only then is the field read, so a
    // field that read `text` already is never taken for a paste whose keys
    // have not even gone out yet.
    // With `html`, the paste carries it beside the text and is through
    // once the application fetched it.
    bool pasteText(const std::string& text = kText, const std::string& html = {}) {
        if (!field())
            return false;
        pasteboard().clearContents();
        PasteboardItem item = stringItem(text);
        if (!html.empty())
            item.entries.push_back({"text/html", html});
        if (!pasteboard().writeItems({item}))
            return false;
        const auto fetches = pasteboard().textFetchCount();
        input().postKeyEvent(KeyEvent{kKeyCodeV, true, kEventFlagCommand, {}});
        input().postKeyEvent(KeyEvent{kKeyCodeV, false, kEventFlagCommand, {}});
        if (fetches && !waitUntil([&] { return pasteboard().textFetchCount() > fetches; }, 10))
            return false;
        if (!html.empty())
            return true;
        return waitUntil([&] { return field() && value(*field()) == text; }, 10);
    }

    bool bringForward() { return bringToFront(app_->pid(), 10); }

    // The field followed, holding the checked text again (pasted over all
    // it holds), the caret at its end; nothing when that fails.
    std::optional<AXElement> fieldWithTheCheckedText() {
        const auto f = field();
        if (!f)
            return std::nullopt;
        const auto now = value(*f).value_or("");
        if (ax().setAttributeValue(*f, kAXSelectedTextRangeAttribute,
                                   AXValue(Utf16Range{0, text::utf16Length(now)})) !=
                AXError::success ||
            !pasteText() || placeCaret(*f, text::utf16Length(kText)) != AXError::success)
            return std::nullopt;
        return f;
    }

    // The field the monitor would follow.
    std::optional<AXElement> field() {
        return AXTextExtractor::focusedTextElement(ax(), workspace());
    }

    std::optional<AXElement> findNamed(const AXElement& e, std::string_view name, int depth) {
        if (depth > 30)
            return std::nullopt;
        for (const auto& child :
             readElements(ax(), e, kAXChildrenAttribute).value_or(std::vector<AXElement>{})) {
            if (readString(ax(), child, kAXTitleAttribute) == name &&
                readsWithoutError(ax(), child, kAXNumberOfCharactersAttribute))
                return child;
            if (auto found = findNamed(child, name, depth + 1))
                return found;
        }
        return std::nullopt;
    }

    std::optional<Rect> bounds(const AXElement& e, Utf16Range r) {
        auto v = ax().copyParameterizedAttributeValue(e, kAXBoundsForRangeParameterizedAttribute,
                                                      AXValue(r));
        return v ? v->asRect() : std::nullopt;
    }

    // Applies 晴れ → 雨 (or another issue) through the monitor's ladder; the
    // text it reports.
    std::optional<std::string> correct(const AXElement& target, TextRange range = {5, 7},
                                       std::string original = "晴れ",
                                       std::string suggestion = "雨") {
        AccessibilityMonitor monitor(session_->ports());
        std::optional<std::string> replaced;
        monitor.onReplacementCompleted = [&](const std::string& t) { replaced = t; };
        monitor.start();
        EXPECT_TRUE(waitUntil([&] { return monitor.observedElement() == target; }, 10));
        CorrectionIssue issue;
        issue.id = "issue-1";
        issue.range = range;
        issue.original = std::move(original);
        issue.suggestion = std::move(suggestion);
        monitor.applyReplacement(issue);
        waitUntil([&] { return replaced.has_value(); }, 10);
        monitor.stop();
        if (!replaced) {
            const auto focused = readElement(ax(), ax().applicationElement(app_->pid()),
                                             kAXFocusedUIElementAttribute);
            ADD_FAILURE() << "focused " << (focused == target) << " "
                          << (focused ? readString(ax(), *focused, kAXRoleAttribute).value_or("?")
                                      : "none")
                          << " selection "
                          << toString(readRange(ax(), target, kAXSelectedTextRangeAttribute)
                                          .value_or(Utf16Range{-1, -1}))
                          << " \""
                          << readString(ax(), target, kAXSelectedTextAttribute).value_or("?")
                          << "\"";
            for (const auto& line : session_->log().lines()) {
                if (line.find("applyReplacement") != std::string::npos)
                    ADD_FAILURE() << line;
            }
        }
        return replaced;
    }

    // Whether the characters of `range` are drawn bold, as Writer tells.
    bool isBold(const AXElement& e, Utf16Range range) {
        const auto* ref = linux_desktop::atspiRef(e);
        if (ref == nullptr || ref->accessible() == nullptr)
            return false;
        linux_desktop::GObjectPtr<AtspiText> text(
            atspi_accessible_get_text_iface(ref->accessible()));
        if (text == nullptr)
            return false;
        linux_desktop::GErrorSlot error;
        GHashTable* attributes = atspi_text_get_attribute_run(
            text.get(), static_cast<gint>(range.location), FALSE, nullptr, nullptr, error.out());
        if (attributes == nullptr)
            return false;
        const auto* weight = static_cast<const char*>(g_hash_table_lookup(attributes, "weight"));
        const bool bold = weight != nullptr && std::atoi(weight) >= 600;
        g_hash_table_unref(attributes);
        return bold;
    }

    RunningApplication* app_ = nullptr;
};

TEST_P(AppsDesktopTest, FindsTheFieldAndReadsRangesAfterCharactersOutsideTheBmp) {
    const auto f = field();
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(ax().pid(*f), app_->pid());
    EXPECT_EQ(value(*f), kText);
    EXPECT_EQ(readNumber(ax(), *f, kAXNumberOfCharactersAttribute), text::utf16Length(kText));
    expectRangesReadAndSelectAfterWideCharacters(ax(), *f, 5);
    ax().setAttributeValue(*f, kAXSelectedTextRangeAttribute, AXValue(Utf16Range{0, 0}));
}

TEST_P(AppsDesktopTest, TheHighlightBoxLiesOverItsCharactersInsideTheWindow) {
    const auto f = field();
    ASSERT_TRUE(f.has_value());
    // No selection: selected glyphs are drawn light on dark.
    ASSERT_EQ(ax().setAttributeValue(*f, kAXSelectedTextRangeAttribute, AXValue(Utf16Range{0, 0})),
              AXError::success);
    // Never clicked into: Writer places its window at the screen's origin
    // until then, yet the box lies over the glyphs.
    const auto window = session_->desktop().workspace().windowFrame(app_->pid());
    ASSERT_TRUE(window.has_value());
    std::optional<Rect> sunny;
    std::optional<Rect> today;
    ASSERT_TRUE(waitUntil(
        [&] {
            sunny = bounds(*f, kSunny);
            today = bounds(*f, {4, 3});
            return sunny && today && !sunny->isZero() && !today->isZero();
        },
        10))
        << "晴れ " << toString(sunny.value_or(Rect{})) << " 今日は "
        << toString(today.value_or(Rect{}));
    EXPECT_GE(sunny->x, today->maxX() - 1) << toString(*sunny) << " " << toString(*today);
    EXPECT_GE(sunny->height, 10) << toString(*sunny);
    EXPECT_GE(sunny->x, window->x) << toString(*sunny) << " in " << toString(*window);
    EXPECT_GE(sunny->y, window->y) << toString(*sunny) << " in " << toString(*window);
    EXPECT_LE(sunny->maxX(), window->maxX()) << toString(*sunny) << " in " << toString(*window);
    EXPECT_LE(sunny->maxY(), window->maxY()) << toString(*sunny) << " in " << toString(*window);
    // Where the glyphs of 晴れ are drawn: inside the box, not above or
    // below it (a box a few pixels off leaves ink outside).
    const auto ink = inkRows(*session_, *sunny, 12);
    ASSERT_TRUE(ink.has_value()) << "no glyph under " << toString(*sunny);
    EXPECT_GE(ink->top, sunny->y - 2) << toString(*sunny);
    EXPECT_LE(ink->bottom, sunny->maxY() + 2) << toString(*sunny);
}

TEST_P(AppsDesktopTest, ACorrectionIsVerifiedKeepsFormattingAndCtrlZTakesItBack) {
    const auto f = field();
    ASSERT_TRUE(f.has_value());
    if (GetParam() == AppKind::writer) {
        ASSERT_TRUE(isBold(*f, kToday));
        // Written whole, the paragraph would lose its bold run.
        EXPECT_FALSE(ax().isAttributeSettable(*f, kAXValueAttribute).value_or(true));
        EXPECT_NE(ax().setAttributeValue(*f, kAXValueAttribute, AXValue(kRained)),
                  AXError::success);
    }
    // The user was typing at the end.
    const Utf16Range end{text::utf16Length(kText), 0};
    ASSERT_EQ(ax().setAttributeValue(*f, kAXSelectedTextRangeAttribute, AXValue(end)),
              AXError::success);
    EXPECT_EQ(correct(*f), kRained);
    ASSERT_TRUE(waitForValue(*f, kRained));
    if (GetParam() == AppKind::writer) {
        EXPECT_TRUE(isBold(*f, kToday)) << "the bold run is gone";
        EXPECT_FALSE(isBold(*f, Utf16Range{7, 1}));
        // Nothing left selected: the next key goes on at the end.
        ASSERT_TRUE(pressChord(*session_, {XK_a}));
        EXPECT_TRUE(waitForValue(*f, kRained + "a")) << value(*f).value_or("<nothing>");
        ASSERT_TRUE(pressChord(*session_, {XK_Control_L, XK_z}));
        ASSERT_TRUE(waitUntil([&] { return value(*f) != kRained + "a"; }, 5));
    }
    // Over formatted text (Writer) the correction is a range edit, so that
    // it takes the replaced text's format: two undo steps there. Elsewhere
    // it goes in as a paste over the selection, which undo keeps as one.
    if (GetParam() == AppKind::writer) {
        ASSERT_TRUE(pressChord(*session_, {XK_Control_L, XK_z}));
        ASSERT_TRUE(waitUntil([&] { return value(*f) != kRained; }, 5));
    }
    ASSERT_TRUE(pressChord(*session_, {XK_Control_L, XK_z}));
    EXPECT_TRUE(waitForValue(*f, kText)) << value(*f).value_or("<nothing>");
}

TEST_P(AppsDesktopTest, AReplacementTakesTheFormatOfTheTextItReplaces) {
    if (GetParam() != AppKind::writer)
        GTEST_SKIP() << "only Writer's text carries formatting here";
    const auto f = field();
    ASSERT_TRUE(f.has_value());
    constexpr Utf16Range kWa{6, 1};  // は, regular, right after the bold 今日
    ASSERT_TRUE(isBold(*f, kToday));
    ASSERT_FALSE(isBold(*f, kWa));
    const std::string corrected = "\U0001F600\U00020BB7今日が晴れです。";
    EXPECT_EQ(correct(*f, TextRange{4, 5}, "は", "が"), corrected);
    ASSERT_TRUE(waitForValue(*f, corrected));
    EXPECT_FALSE(isBold(*f, kWa)) << "が took the bold of 日 before it";
    EXPECT_TRUE(isBold(*f, kToday));
    // Back to the document the other tests expect: a range edit is two steps.
    ASSERT_TRUE(pressChord(*session_, {XK_Control_L, XK_z}));
    ASSERT_TRUE(waitUntil([&] { return value(*f) != corrected; }, 5));
    ASSERT_TRUE(pressChord(*session_, {XK_Control_L, XK_z}));
    EXPECT_TRUE(waitForValue(*f, kText)) << value(*f).value_or("<nothing>");
}

TEST_P(AppsDesktopTest, AParagraphTheCaretMovesIntoIsCheckedChangedOrNot) {
    if (GetParam() != AppKind::writer)
        GTEST_SKIP() << "Writer's paragraphs";
    // Two paragraphs above the one with the error: [一][二][kText].
    const std::vector<std::pair<std::vector<unsigned long>, std::string>> steps = {
        {{XK_Control_L, XK_Home}, ""},
        {{XK_Return}, ""},
        {{XK_Return}, ""},
        {{XK_Up}, ""},
        {{XK_Up}, "一行目です。"},
        {{XK_Down}, "二行目です。"},
    };
    // The keys and the typed Characters go through two connections: each
    // key is given time to land before the Characters after it.
    for (const auto& [keys, typed] : steps) {
        ASSERT_TRUE(pressChord(*session_, keys));
        spinFor(0.3);
        if (typed.empty())
            continue;
        ASSERT_NO_FATAL_FAILURE(typeText(typed));
        ASSERT_TRUE(waitUntil([&] { return field() && value(*field()) == typed; }, 10))
            << value(*field()).value_or("<nothing>");
    }
    AccessibilityMonitor monitor(session_->ports());
    std::vector<std::string> checked;
    monitor.onSentenceCompleted = [&](const CompletedSentenceCandidate& c) {
        checked.push_back(c.text);
    };
    monitor.start();
    struct Row {
        std::string what;
        std::vector<std::vector<unsigned long>> chords;
        std::string followed;
    };
    const std::vector<Row> rows = {
        {"Ctrl+Home, Shift+Down, Delete: the paragraph above goes",
         {{XK_Control_L, XK_Home}, {XK_Shift_L, XK_Down}, {XK_Delete}},
         "二行目です。"},
        {"Ctrl+End into the paragraph with the error", {{XK_Control_L, XK_End}}, kText},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        checked.clear();
        for (const auto& chord : row.chords)
            ASSERT_TRUE(pressChord(*session_, chord));
        EXPECT_TRUE(waitUntil(
            [&] {
                const auto& followed = monitor.observedElement();
                return followed && value(*followed) == row.followed &&
                       monitor.lastPolledValue().text == row.followed;
            },
            10))
            << monitor.lastPolledValue().text;
        EXPECT_TRUE(
            waitUntil([&] { return std::ranges::find(checked, row.followed) != checked.end(); }, 4))
            << "not checked";
    }
    monitor.stop();
    // Back to the one paragraph the other tests expect.
    for (const std::vector<unsigned long>& chord :
         {std::vector<unsigned long>{XK_Control_L, XK_Home},
          std::vector<unsigned long>{XK_Shift_L, XK_Down}, std::vector<unsigned long>{XK_Delete}})
        ASSERT_TRUE(pressChord(*session_, chord));
    EXPECT_TRUE(waitUntil([&] { return field() && value(*field()) == kText; }, 10))
        << value(*field()).value_or("<nothing>");
    EXPECT_TRUE(field() && isBold(*field(), kToday));
}

TEST_P(AppsDesktopTest, ShiftHeldAroundApplyReachesTheKeysAndNeverThePaste) {
    // Qt 5 takes Ctrl+Shift+V for no paste, and takes its modifiers afresh
    // when the core keyboard switches over to the user's keyboard: Shift
    // held across the end of the hold must still make "AB". Our own editors
    // have the other rows.
    if (GetParam() != AppKind::kwrite)
        GTEST_SKIP() << "KWrite's own Qt 5";
    std::string why;
    auto hands = UserKeyboard::open(why);
    ASSERT_NE(hands, nullptr) << why;
    for (const Hands& row : kHands) {
        if (!row.shiftAtPress && !row.shiftHeld)
            continue;
        SCOPED_TRACE(row.what);
        const auto f = fieldWithTheCheckedText();
        ASSERT_TRUE(f.has_value());
        ASSERT_NO_FATAL_FAILURE(
            expectHandsAroundApply(session_->ports(), session_->log(), *f, *hands, row, true));
    }
}

TEST_P(AppsDesktopTest, ALineLeftWithinThePauseIsCheckedAndWrittenWhereverTheCaretIs) {
    if (GetParam() != AppKind::writer && GetParam() != AppKind::thunderbird)
        GTEST_SKIP() << "documents of paragraphs";
    // A sentence, Return 0.3 s after its 。, the next line: as e-mail is
    // written.
    const std::string left = "東京で住んでいます。";
    AccessibilityMonitor monitor(session_->ports());
    std::vector<CompletedSentenceCandidate> checked;
    monitor.onSentenceCompleted = [&](const CompletedSentenceCandidate& c) {
        checked.push_back(c);
    };
    std::optional<std::string> replaced;
    monitor.onReplacementCompleted = [&](const std::string& t) { replaced = t; };
    // The monitor's log, for a failure's message.
    const auto log = [&] {
        std::string out;
        for (const auto& line : session_->log().lines())
            out += "\n" + line;
        return out;
    };
    monitor.start();
    // The paragraph there first is checked, as the monitor finds it.
    ASSERT_TRUE(waitUntil(
        [&] {
            return std::ranges::find(checked, kText, &CompletedSentenceCandidate::text) !=
                   checked.end();
        },
        10))
        << "the paragraph there first was never checked" << log();
    ASSERT_TRUE(pressChord(*session_, {XK_Control_L, XK_End}));
    spinFor(0.3);
    ASSERT_TRUE(pressChord(*session_, {XK_Return}));
    spinFor(0.3);
    ASSERT_NO_FATAL_FAILURE(typeText(left));
    spinFor(0.3);
    ASSERT_TRUE(pressChord(*session_, {XK_Return}));
    spinFor(0.3);
    ASSERT_NO_FATAL_FAILURE(typeText("明日も"));
    const auto found = [&] {
        return std::ranges::find(checked, left, &CompletedSentenceCandidate::text);
    };
    EXPECT_TRUE(waitUntil([&] { return found() != checked.end(); }, 5))
        << "the line left was never checked" << log();
    ASSERT_TRUE(waitUntil(
        [&] { return monitor.observedElement() && value(*monitor.observedElement()) == "明日も"; },
        10));
    if (found() != checked.end()) {
        // Applied from the line left, the caret in the line below.
        CorrectionIssue issue;
        issue.id = "left-line";
        issue.range = TextRange{2, 3};
        issue.original = "で";
        issue.suggestion = "に";
        monitor.applyReplacement(issue, found()->block);
        EXPECT_TRUE(waitUntil([&] { return replaced.has_value(); }, 10));
        EXPECT_EQ(replaced, "東京に住んでいます。");
        // The caret is back in the line below, where the user had it.
        spinFor(0.5);
        ASSERT_NO_FATAL_FAILURE(typeText("よ"));
        EXPECT_TRUE(waitUntil(
            [&] {
                return monitor.observedElement() && value(*monitor.observedElement()) == "明日もよ";
            },
            10))
            << "the key went elsewhere";
        // The paragraph checked first, neither written nor the caret's,
        // keeps its check through the write: its boxes stay.
        const auto first = std::ranges::find(checked, kText, &CompletedSentenceCandidate::text);
        ASSERT_NE(first, checked.end());
        if (first->block != 0) {
            EXPECT_TRUE(monitor.boundsForRange(0, 1, first->block).has_value())
                << "the first paragraph's check went with the write";
        }
    }
    // Alt+Tab to another application and back: two seconds after the
    // return every paragraph checked before is checked again (what a
    // context change took away is gone from the list).
    if (found() != checked.end()) {
        auto elsewhere = startEditor({.title = "Elsewhere"});
        ASSERT_NE(elsewhere, nullptr);
        ASSERT_TRUE(bringForward());
        spinFor(2.0);
        monitor.onCorrectionContextChanged = [&] { checked.clear(); };
        XConnection x;
        altTab(x.display());
        ASSERT_TRUE(inFront(elsewhere->pid()));
        spinFor(0.5);
        altTab(x.display());
        ASSERT_TRUE(inFront(app_->pid()));
        spinFor(2.0);
        for (const std::string& again : {kText, std::string("東京に住んでいます。")}) {
            EXPECT_NE(std::ranges::find(checked, again, &CompletedSentenceCandidate::text),
                      checked.end())
                << "not checked again after Alt+Tab: " << again;
        }
        monitor.onCorrectionContextChanged = nullptr;
    }
    // Writer: a second document's window (Ctrl+N) and back (Ctrl+W): every
    // paragraph checked before is checked again, not only the caret's.
    if (GetParam() == AppKind::writer && found() != checked.end()) {
        const auto before = field();
        int tries = 0;
        ASSERT_TRUE(waitUntil(
            [&] {
                if (tries++ % 300 == 0)
                    pressChord(*session_, {XK_Control_L, XK_n});
                const auto f = field();
                return f && f != before;
            },
            30))
            << "no window opened with Ctrl+N";
        spinFor(0.5);
        checked.clear();
        ASSERT_TRUE(pressChord(*session_, {XK_Control_L, XK_w}));
        ASSERT_TRUE(waitUntil([&] { return bringForward() && field() == before; }, 20));
        for (const std::string& again : {kText, std::string("東京に住んでいます。")}) {
            EXPECT_TRUE(waitUntil(
                [&] {
                    return std::ranges::find(checked, again, &CompletedSentenceCandidate::text) !=
                           checked.end();
                },
                5))
                << "not checked again: " << again;
        }
    }
    monitor.stop();
    // Back to the one paragraph the other tests expect.
    if (GetParam() == AppKind::thunderbird) {
        pressChord(*session_, {XK_Control_L, XK_a});
        EXPECT_TRUE(pasteText());
        return;
    }
    for (const std::vector<unsigned long>& chord :
         {std::vector<unsigned long>{XK_Control_L, XK_End},
          std::vector<unsigned long>{XK_Shift_L, XK_Up},
          std::vector<unsigned long>{XK_Shift_L, XK_Up},
          std::vector<unsigned long>{XK_Shift_L, XK_End}, std::vector<unsigned long>{XK_Delete}})
        ASSERT_TRUE(pressChord(*session_, chord));
    EXPECT_TRUE(waitUntil([&] { return field() && value(*field()) == kText; }, 10))
        << value(*field()).value_or("<nothing>");
}

TEST_P(AppsDesktopTest, AParagraphRunningOntoTheNextPageIsWrittenOnAsOne) {
    if (GetParam() != AppKind::writer)
        GTEST_SKIP() << "Writer's pages";
    // Writer exposes the part of a paragraph on the next page as a
    // paragraph object of its own: typing on across the page is no new
    // field, and the part left on the first page is no finished line.
    AccessibilityMonitor monitor(session_->ports());
    std::vector<std::string> checked;
    int contextChanges = 0;
    monitor.onSentenceCompleted = [&](const CompletedSentenceCandidate& c) {
        checked.push_back(c.text);
    };
    monitor.onCorrectionContextChanged = [&] { ++contextChanges; };
    monitor.start();
    ASSERT_TRUE(waitUntil([&] { return field() && value(*field()) == kText; }, 10));
    ASSERT_EQ(placeCaret(*field(), text::utf16Length(kText)), AXError::success);
    spinFor(0.3);
    // The keys and the typed Characters go through two connections: the
    // Returns land before the paragraph is typed.
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(pressChord(*session_, {XK_Return}));
        spinFor(0.02);
    }
    ASSERT_TRUE(waitUntil([&] { return field() && value(*field()).value_or("?").empty(); }, 10));
    spinFor(1.0);
    contextChanges = 0;
    checked.clear();
    std::string paragraph;
    for (int i = 0; i < 24; ++i)
        paragraph += "東京で住んでいます。";
    ASSERT_NO_FATAL_FAILURE(typeText(paragraph));
    ASSERT_TRUE(waitUntil(
        [&] { return field() && paragraph.ends_with(value(*field()).value_or("?")); }, 10));
    const std::string onTheNextPage = value(*field()).value_or("");
    ASSERT_LT(onTheNextPage.size(), paragraph.size()) << "the paragraph stayed on one page";
    EXPECT_TRUE(waitUntil([&] { return !checked.empty(); }, 5));
    spinFor(0.5);
    EXPECT_EQ(contextChanges, 0);
    for (const auto& text : checked)
        EXPECT_TRUE(text.ends_with("。")) << "a cut sentence was checked: " << text;
    monitor.stop();
    // Back to the one paragraph the other tests expect: the caret at its
    // end, everything after it deleted.
    ASSERT_TRUE(pressChord(*session_, {XK_Control_L, XK_Home}));
    ASSERT_TRUE(waitUntil([&] { return field() && value(*field()) == kText; }, 10));
    ASSERT_EQ(placeCaret(*field(), text::utf16Length(kText)), AXError::success);
    spinFor(0.3);
    ASSERT_TRUE(pressChord(*session_, {XK_Shift_L, XK_Control_L, XK_End}));
    ASSERT_TRUE(pressChord(*session_, {XK_Delete}));
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto f = field();
            return f && value(*f) == kText &&
                   readElements(ax(), *readElement(ax(), *f, kAXParentAttribute),
                                kAXChildrenAttribute)
                           .value_or(std::vector<AXElement>{})
                           .size() == 1;
        },
        10))
        << value(*field()).value_or("<nothing>");
    EXPECT_TRUE(field() && isBold(*field(), kToday));
}

// Last of this suite, as it leaves a window open: Writer answers positions
// as if a window it has just opened sat in the screen's corner until the
// user clicks into it; the boxes are right before that all the same. The
// click moves the caret, which tells the monitor that the field may stand
// elsewhere now, and the boxes asked for then are right too.
TEST_P(AppsDesktopTest, InAWindowJustOpenedTheClickThatMendsPositionsIsTold) {
    if (GetParam() != AppKind::writer)
        GTEST_SKIP() << "Writer's own behaviour";
    const auto first = field();
    ASSERT_TRUE(first.has_value());
    int tries = 0;
    ASSERT_TRUE(waitUntil(
        [&] {
            if (tries++ % 300 == 0)
                pressChord(*session_, {XK_Control_L, XK_n});
            const auto f = field();
            return f && f != first;
        },
        30))
        << "no window opened with Ctrl+N";
    ASSERT_TRUE(pasteText());
    const auto f = field();
    ASSERT_TRUE(f.has_value());
    const auto window = session_->desktop().workspace().windowFrame(app_->pid());
    ASSERT_TRUE(window.has_value());
    // Before any click the box lies over its glyphs.
    std::optional<Rect> sunny;
    ASSERT_TRUE(waitUntil(
        [&] {
            sunny = bounds(*f, kSunny);
            return sunny && !sunny->isZero();
        },
        5))
        << "no box before a click";
    const auto ink = inkRows(*session_, *sunny, 12);
    ASSERT_TRUE(ink.has_value()) << "no glyph under " << toString(*sunny);
    EXPECT_GE(ink->top, sunny->y - 2) << toString(*sunny);
    EXPECT_LE(ink->bottom, sunny->maxY() + 2) << toString(*sunny);

    // The caret at the start, so that a click below the text moves it.
    ASSERT_EQ(ax().setAttributeValue(*f, kAXSelectedTextRangeAttribute, AXValue(Utf16Range{0, 0})),
              AXError::success);
    ASSERT_TRUE(waitUntil(
        [&] {
            return readRange(ax(), *f, kAXSelectedTextRangeAttribute) == Utf16Range{0, 0};
        },
        5));
    AccessibilityMonitor monitor(session_->ports());
    int tellings = 0;
    monitor.onFieldMayHaveMoved = [&] { ++tellings; };
    monitor.start();
    ASSERT_TRUE(waitUntil([&] { return monitor.observedElement() == f; }, 10));
    waitUntil([] { return false; }, 0.3);
    tellings = 0;
    const Point middle{window->x + window->width / 2, window->y + window->height / 2};
    ASSERT_TRUE(input().postMouseEvent({MouseEventType::leftMouseDown, middle}));
    ASSERT_TRUE(input().postMouseEvent({MouseEventType::leftMouseUp, middle}));
    EXPECT_TRUE(waitUntil([&] { return tellings > 0; }, 5)) << "the click was not told";
    EXPECT_TRUE(waitUntil(
        [&] {
            sunny = bounds(*f, kSunny);
            return sunny && !sunny->isZero();
        },
        5))
        << "still stale after the click";
    monitor.stop();
}

INSTANTIATE_TEST_SUITE_P(Applications, AppsDesktopTest, ::testing::ValuesIn(kEveryApp), nameOfApp);

// Thunderbird's message body is followed through the paragraph that holds
// the caret: moving into the next paragraph moves the monitor there.
class ThunderbirdParagraphsTest : public AppsDesktopTest {
  protected:
    // The body's paragraphs that have text, in order.
    std::vector<AXElement> paragraphs() {
        std::vector<AXElement> out;
        const auto window = composeWindow();
        const auto body = window ? findNamed(*window, "Message body", 0) : std::nullopt;
        if (!body)
            return out;
        for (const auto& child :
             readElements(ax(), *body, kAXChildrenAttribute).value_or(std::vector<AXElement>{})) {
            if (!value(child).value_or("").empty())
                out.push_back(child);
        }
        return out;
    }

    // What the body holds, for a failure's message.
    std::string describeBody() {
        std::string out = "field \"" + (field() ? value(*field()).value_or("?") : "none") + "\";";
        const auto window = composeWindow();
        const auto body = window ? findNamed(*window, "Message body", 0) : std::nullopt;
        if (!body)
            return out + " no body";
        for (const auto& child :
             readElements(ax(), *body, kAXChildrenAttribute).value_or(std::vector<AXElement>{}))
            out += " [" + readString(ax(), child, kAXRoleAttribute).value_or("?") + " \"" +
                   value(child).value_or("?") + "\"]";
        return out;
    }

    // The body back to the one paragraph the other tests expect.
    void TearDown() override {
        if (app_ != nullptr) {
            pressChord(*session_, {XK_Control_L, XK_a});
            EXPECT_TRUE(pasteText()) << "the body was not put back: " << describeBody();
        }
        AppsDesktopTest::TearDown();
    }
};

TEST_P(ThunderbirdParagraphsTest,
       TheMonitorFollowsTheCaretFromParagraphToParagraphAndCorrectsThere) {
    // The second paragraph starts as the first: a correction written into
    // the wrong one would read just as right.
    const std::string second = kText + "明日も。";
    const std::string secondRained = kRained + "明日も。";
    pressChord(*session_, {XK_Control_L, XK_a});
    ASSERT_TRUE(pasteText()) << describeBody();
    ASSERT_TRUE(pressChord(*session_, {XK_Control_L, XK_End}));
    ASSERT_TRUE(pressChord(*session_, {XK_Return}));
    ASSERT_TRUE(pasteText(second)) << describeBody();
    std::vector<AXElement> both;
    ASSERT_TRUE(waitUntil(
        [&] {
            both = paragraphs();
            return both.size() == 2 && value(both[0]) == kText && value(both[1]) == second;
        },
        10))
        << describeBody();
    ASSERT_TRUE(pressChord(*session_, {XK_Control_L, XK_Home}));
    ASSERT_TRUE(waitUntil([&] { return field() == both[0]; }, 10));

    AccessibilityMonitor monitor(session_->ports());
    std::optional<std::string> replaced;
    monitor.onReplacementCompleted = [&](const std::string& t) { replaced = t; };
    monitor.start();
    ASSERT_TRUE(waitUntil(
        [&] {
            return monitor.observedElement() == both[0] && monitor.lastPolledValue().text == kText;
        },
        10));

    // Down into the second paragraph, then back up into the first, which
    // was followed before and left.
    struct Row {
        std::string move;
        std::vector<unsigned long> keys;
        std::size_t into;
        std::string before;
        std::string first;
        std::string secondAfter;
    };
    const std::vector<Row> rows = {
        {"Ctrl+End", {XK_Control_L, XK_End}, 1, second, kText, secondRained},
        {"Up", {XK_Up}, 0, kText, kRained, secondRained},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.move);
        ASSERT_TRUE(pressChord(*session_, row.keys));
        EXPECT_TRUE(waitUntil(
            [&] {
                return monitor.observedElement() == both[row.into] &&
                       monitor.lastPolledValue().text == row.before;
            },
            10))
            << "follows paragraph " << row.into + 1 << ": "
            << (monitor.observedElement() == both[row.into]) << ", read \""
            << monitor.lastPolledValue().text << "\"";
        CorrectionIssue issue;
        issue.id = "issue-" + row.move;
        issue.range = TextRange{5, 7};
        issue.original = "晴れ";
        issue.suggestion = "雨";
        replaced.reset();
        monitor.applyReplacement(issue);
        EXPECT_TRUE(waitUntil([&] { return replaced.has_value(); }, 10));
        EXPECT_EQ(replaced, row.into == 0 ? row.first : row.secondAfter);
        EXPECT_TRUE(waitUntil(
            [&] { return value(both[0]) == row.first && value(both[1]) == row.secondAfter; }, 5))
            << describeBody();
    }
    monitor.stop();
}

TEST_P(ThunderbirdParagraphsTest, TwoCorrectionsAboveTheCaretLeaveTheKeysAtTheEndOfTheLastLine) {
    // A message written line by line, then lines 2 and 3 corrected from
    // the top: the second write took its caret from the line the first
    // wrote, and the keys typed after it went into line 3.
    const std::vector<std::string> lines = {kText, "東京で住んでいます。", "大阪で住んでいます。",
                                            "本を読みました。"};
    AccessibilityMonitor monitor(session_->ports());
    std::vector<CompletedSentenceCandidate> checked;
    monitor.onSentenceCompleted = [&](const CompletedSentenceCandidate& c) {
        checked.push_back(c);
    };
    std::optional<std::string> replaced;
    monitor.onReplacementCompleted = [&](const std::string& t) { replaced = t; };
    pressChord(*session_, {XK_Control_L, XK_a});
    ASSERT_TRUE(pasteText()) << describeBody();
    monitor.start();
    ASSERT_TRUE(pressChord(*session_, {XK_Control_L, XK_End}));
    for (std::size_t i = 1; i < lines.size(); ++i) {
        spinFor(0.3);
        ASSERT_TRUE(pressChord(*session_, {XK_Return}));
        spinFor(0.3);
        ASSERT_NO_FATAL_FAILURE(typeText(lines[i]));
        ASSERT_TRUE(waitUntil(
            [&] {
                const auto now = paragraphs();
                return now.size() == i + 1 && value(now.back()) == lines[i];
            },
            10))
            << describeBody();
    }
    for (const std::size_t line : {1, 2}) {
        const auto check = [&] {
            return std::ranges::find(checked, lines[line], &CompletedSentenceCandidate::text);
        };
        ASSERT_TRUE(waitUntil([&] { return check() != checked.end(); }, 10))
            << "never checked: " << lines[line] << " " << describeBody();
        CorrectionIssue issue;
        issue.id = "line-" + std::to_string(line);
        issue.range = TextRange{2, 3};
        issue.original = "で";
        issue.suggestion = "に";
        replaced.reset();
        monitor.holdKeysForApply();
        monitor.applyReplacement(issue, check()->block);
        EXPECT_TRUE(waitUntil([&] { return replaced.has_value(); }, 10)) << describeBody();
        spinFor(0.8);
    }
    ASSERT_NO_FATAL_FAILURE(typeText("xy"));
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto now = paragraphs();
            return now.size() == 4 && value(now[1]) == "東京に住んでいます。" &&
                   value(now[2]) == "大阪に住んでいます。" && value(now[3]) == lines[3] + "xy";
        },
        10))
        << describeBody();
    monitor.stop();
}

TEST_P(ThunderbirdParagraphsTest, TextTypedStraightIntoTheBodyBesideAParagraphIsFollowedThere) {
    // After everything was deleted the body holds what comes next itself
    // ("Body Text"); a paragraph made later stands beside it.
    pressChord(*session_, {XK_Control_L, XK_a});
    ASSERT_TRUE(pressChord(*session_, {XK_BackSpace}));
    const auto window = composeWindow();
    const auto body = window ? findNamed(*window, "Message body", 0) : std::nullopt;
    ASSERT_TRUE(body.has_value());
    ASSERT_TRUE(pasteText(kText + "\n明日も。", kText + "<p>明日も。</p>"));
    ASSERT_TRUE(
        waitUntil([&] { return value(*body).value_or("").starts_with(kText + "\uFFFC"); }, 10))
        << describeBody();
    std::vector<AXElement> inside;
    ASSERT_TRUE(waitUntil(
        [&] {
            inside = paragraphs();
            return inside.size() == 1 && value(inside[0]) == "明日も。";
        },
        10))
        << describeBody();

    AccessibilityMonitor monitor(session_->ports());
    std::optional<std::string> replaced;
    monitor.onReplacementCompleted = [&](const std::string& t) { replaced = t; };
    ax().setAttributeValue(inside[0], kAXSelectedTextRangeAttribute, AXValue(Utf16Range{0, 0}));
    monitor.start();
    EXPECT_TRUE(waitUntil([&] { return monitor.observedElement() == inside[0]; }, 10))
        << "the paragraph with the caret is not followed";
    // The caret back into the body's own text: followed there, and the
    // correction goes in there.
    ax().setAttributeValue(*body, kAXSelectedTextRangeAttribute, AXValue(Utf16Range{4, 0}));
    ASSERT_TRUE(waitUntil([&] { return monitor.observedElement() == body; }, 10))
        << "the body's own text is not followed: " << describeBody();
    CorrectionIssue issue = sunnyToRained();
    monitor.applyReplacement(issue);
    EXPECT_TRUE(waitUntil([&] { return replaced.has_value(); }, 10));
    EXPECT_TRUE(
        waitUntil([&] { return value(*body).value_or("").starts_with(kRained + "\uFFFC"); }, 5))
        << describeBody();
    EXPECT_EQ(value(inside[0]), "明日も。");
    monitor.stop();
}

INSTANTIATE_TEST_SUITE_P(Applications, ThunderbirdParagraphsTest,
                         ::testing::Values(AppKind::thunderbird), nameOfApp);

// Every row writes the text anew, without Writer's bold run, and ends with
// it corrected: the applications' last rows, after every other test of
// theirs.
class AppsInputDesktopTest : public AppsDesktopTest {};

TEST_P(AppsInputDesktopTest, EveryInputDuringTheWriteFollowsIt) {
    std::string why;
    auto hands = UserHands::open(why);
    ASSERT_TRUE(hands.has_value()) << why;
    for (const DuringTheWrite& row : kDuringTheWrite) {
        // In KWrite the caret ends at the end of the user's Ctrl+A, nothing
        // selected, as the README says.
        if (GetParam() == AppKind::kwrite && row.source == During::selectAll)
            continue;
        SCOPED_TRACE(row.what);
        const auto f = fieldWithTheCheckedText();
        ASSERT_TRUE(f.has_value());
        ASSERT_NO_FATAL_FAILURE(expectEveryInputFollowsTheWrite(
            session_->ports(), session_->log(), *f, {*hands->keyboard, *hands->pointer}, row));
    }
}

TEST_P(AppsInputDesktopTest, AStoppedApplicationNeverTakesKeysOverOurSelection) {
    // Writer takes the correction through its text interface at once,
    // before any stop: no selection of ours ever waits in it.
    if (GetParam() == AppKind::writer)
        GTEST_SKIP();
    std::string why;
    auto hands = UserKeyboard::open(why);
    ASSERT_NE(hands, nullptr) << why;
    for (const Stop& row : kStops) {
        SCOPED_TRACE(row.what);
        const auto f = fieldWithTheCheckedText();
        ASSERT_TRUE(f.has_value());
        ASSERT_NO_FATAL_FAILURE(expectAStoppedApplicationNeverTakesKeysOverOurSelection(
            session_->ports(), session_->log(), *f, *hands, row));
    }
}

INSTANTIATE_TEST_SUITE_P(Applications, AppsInputDesktopTest, ::testing::ValuesIn(kEveryApp),
                         nameOfApp);

}  // namespace
}  // namespace mivo::desktop_test
