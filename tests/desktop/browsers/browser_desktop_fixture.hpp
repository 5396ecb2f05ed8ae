#pragma once

// The browser suites' fixture: Firefox ESR and Chromium showing a local page
// with a field for each behaviour, the ways to focus, type into and read its
// fields, and the correction display's windows replaced by recorders.

#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <set>
#include <vector>
#include "apps/desktop_apps.hpp"
#include "browsers/shared_browser_test.hpp"
#include "correction/local_correction_service.hpp"
#include "correction_display/correction_display_adapters.hpp"
#include "correction_display/correction_display_controller.hpp"
#include "field/ax_geometry.hpp"
#include "field/ax_text_extractor.hpp"
#include "field/pasteboard_guard.hpp"
#include "field/synthetic_input.hpp"
#include "monitor/accessibility_monitor.hpp"
#include "monitor_test_access.hpp"
#include "outside_bmp_text.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "settings/mivo_settings_store.hpp"
#include "user_keyboard.hpp"
#include "write_back.hpp"

namespace mivo::desktop_test {

inline const std::string kObject = "\uFFFC";

// What the highlight windows were last asked to show: the boxes of the
// display controller, without drawing them.
class ShownHighlights : public HighlightDisplay {
  public:
    void show(const std::vector<HighlightAnnotation>& annotations) override { shown = annotations; }
    void hide() override { shown.clear(); }
    void hide(const std::set<std::string>& issueIDs) override {
        std::erase_if(shown, [&](const HighlightAnnotation& a) {
            return a.issue && issueIDs.contains(a.issue->id);
        });
    }
    std::vector<HighlightAnnotation> shown;
};

class NoPanel : public CorrectionPanelDisplay {
  public:
    void show(const std::vector<CorrectionIssue>&, std::optional<Rect>) override {}
    void hide() override {}
    std::optional<Rect> frame() const override { return std::nullopt; }
    void showNotice(const std::string&, std::optional<Rect>) override {}
};

// The display controller wired to `monitor` as the application wires it,
// with the real engine; the highlight windows record what they show and
// `onChecked` hears each sentence checked.
struct WiredDisplay {
    WiredDisplay(AccessibilityMonitor& monitor, Scheduler& scheduler,
                 std::function<void(const CompletedSentenceCandidate&)> onChecked = {})
        : settings(defaults, scheduler),
          checker(engine),
          textField(monitor),
          display(scheduler, checker, textField, highlight, panel, settings) {
        monitor.onSentenceCompleted = [this, onChecked](const CompletedSentenceCandidate& c) {
            if (onChecked)
                onChecked(c);
            display.showCorrectionIssues(c);
        };
        monitor.onCorrectionContextChanged = [this] {
            display.clearCorrectionUIForContextChange();
        };
        monitor.onCheckSkipped = [this](uint64_t block) { display.handleCheckSkipped(block); };
        monitor.onFieldMayHaveMoved = [this] { display.handleFieldMayHaveMoved(); };
    }
    WiredDisplay(const WiredDisplay&) = delete;
    WiredDisplay& operator=(const WiredDisplay&) = delete;

    sim::MemoryUserDefaults defaults;
    MivoSettingsStore settings;
    LocalCorrectionService engine;
    LocalCorrectionChecker checker;
    MonitorCorrectionTextField textField;
    ShownHighlights highlight;
    NoPanel panel;
    CorrectionDisplayController display;
};

class BrowserDesktopTest : public SharedBrowserTest {
  protected:
    void setUpWithSession() override {
        ASSERT_NO_FATAL_FAILURE(openBrowser(MIVO_BROWSER_PAGE, "read"));
        ASSERT_NO_FATAL_FAILURE(waitUntilKeysArrive());
    }

    // A browser that has just shown its page may not yet take keys (Firefox
    // drops the first ones): keys typed into a spare field show it does.
    void waitUntilKeysArrive() {
        if (browser_->takesKeys)
            return;
        const AXElement warm = focus("warm");
        int attempt = 0;
        browser_->takesKeys = waitUntil(
            [&] {
                if (value(warm).value_or("").find('k') != std::string::npos)
                    return true;
                if (attempt++ % 100 == 0)
                    typeText("k");
                return false;
            },
            30);
        ASSERT_TRUE(browser_->takesKeys) << browserName(GetParam()) << " takes no keys";
    }

    // The page's field labelled `label`.
    // Focuses the field, as a click would, and waits until the browser
    // says so.
    AXElement focus(std::string_view label) {
        auto f = field(label);
        EXPECT_TRUE(f.has_value()) << label;
        if (!f)
            return AXElement();
        EXPECT_EQ(ax().setAttributeValue(*f, kAXFocusedAttribute, AXValue(true)), AXError::success);
        EXPECT_TRUE(waitUntil(
            [&] {
                const auto focused = AXTextExtractor::focusedTextElement(ax(), workspace());
                return focused && *focused == *f;
            },
            10))
            << label;
        return *f;
    }

    // Focuses a rich-text field of several lines, whose followed element
    // is the line with the caret rather than the field itself.
    AXElement focusRich(std::string_view label) {
        auto f = field(label);
        EXPECT_TRUE(f.has_value()) << label;
        if (!f)
            return AXElement();
        EXPECT_EQ(ax().setAttributeValue(*f, kAXFocusedAttribute, AXValue(true)), AXError::success);
        EXPECT_TRUE(
            waitUntil([&] { return readBool(ax(), *f, kAXFocusedAttribute).value_or(false); }, 10))
            << label;
        return *f;
    }

    // Types `lines` into `root` with Return between them. The Characters
    // and the Return go through two connections, and either may overtake
    // the other: each waits for the one before it. Chromium under load now
    // and then never showed a key of a line, the keys after it shown (its
    // key code had just been given the keysym): each Character waits for
    // the one before it to show, and one that does not is typed again, as
    // the user would.
    void typeLines(const AXElement& root, const std::vector<std::string>& lines) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i > 0) {
                ASSERT_TRUE(pressChord(*session_, {XK_Return}));
                spinFor(0.3);
            }
            std::string typed;
            for (const auto& character : text::characters(lines[i])) {
                typed += character;
                for (int attempt = 0; attempt < 2; ++attempt) {
                    ASSERT_NO_FATAL_FAILURE(typeText(character));
                    if (waitUntil([&] { return holdsLine(root, typed); }, 3))
                        break;
                }
            }
            ASSERT_TRUE(waitUntil([&] { return holdsLine(root, lines[i]); }, 10))
                << describeRich(root);
        }
    }

    // Types `key` into `root`, and once more when it shows nowhere in it:
    // Chromium under load now and then never showed a key typed (see
    // typeLines). Where it shows is for the test to judge.
    void typeKey(const AXElement& root, const std::string& key) {
        const auto shown = [&] {
            std::size_t count = 0;
            std::string text = value(root).value_or("");
            for (const auto& child :
                 readElements(ax(), root, kAXChildrenAttribute).value_or(std::vector<AXElement>{}))
                text += value(child).value_or("");
            for (auto at = text.find(key); at != std::string::npos;
                 at = text.find(key, at + key.size()))
                ++count;
            return count;
        };
        const std::size_t before = shown();
        for (int attempt = 0; attempt < 2; ++attempt) {
            ASSERT_NO_FATAL_FAILURE(typeText(key));
            if (waitUntil([&] { return shown() > before; }, 3))
                return;
        }
    }

    // Whether a line of `root` (or its own text) reads `line`.
    bool holdsLine(const AXElement& root, const std::string& line) {
        if (value(root).value_or("").ends_with(line))
            return true;
        for (const auto& child :
             readElements(ax(), root, kAXChildrenAttribute).value_or(std::vector<AXElement>{})) {
            if (value(child) == line)
                return true;
        }
        return false;
    }

    // The lines of a rich-text field and the log of the monitor, for a
    // failure's message.
    std::string describeRich(const AXElement& root) {
        std::string out = "field \"" + value(root).value_or("?") + "\";";
        for (const auto& child :
             readElements(ax(), root, kAXChildrenAttribute).value_or(std::vector<AXElement>{}))
            out += " [" + readString(ax(), child, kAXRoleDescriptionAttribute).value_or("?") +
                   " \"" + value(child).value_or("?") + "\"]";
        for (const auto& line : session_->log().lines()) {
            if (line.find("observe:") != std::string::npos ||
                line.find("analyze") != std::string::npos ||
                line.find("apply") != std::string::npos || line.find("input:") != std::string::npos)
                out += "\n" + line;
        }
        return out;
    }

    std::optional<Rect> bounds(const AXElement& e, Utf16Range r) {
        auto v = ax().copyParameterizedAttributeValue(e, kAXBoundsForRangeParameterizedAttribute,
                                                      AXValue(r));
        return v ? v->asRect() : std::nullopt;
    }

    // Pastes `lines` joined by line feeds as the user's Ctrl+V would, and
    // waits until the last one shows. The browser is asked nothing until it
    // has fetched the text: while it waits for our clipboard it answers no
    // call of ours, and Gecko soon gives such a paste up.
    void pasteLines(const AXElement& root, const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& line : lines)
            text += (text.empty() ? "" : "\n") + line;
        pasteboard().clearContents();
        ASSERT_TRUE(pasteboard().writeItems({stringItem(text)}));
        const auto fetches = pasteboard().textFetchCount();
        ASSERT_TRUE(pressChord(*session_, {XK_Control_L, XK_v}));
        if (fetches) {
            ASSERT_TRUE(waitUntil([&] { return pasteboard().textFetchCount() > fetches; }, 10))
                << "the paste was never fetched";
        }
        ASSERT_TRUE(waitUntil([&] { return holdsLine(root, lines.back()); }, 10))
            << describeRich(root);
    }

    // What is wrong with `shown`, if anything, for boxes over the で of
    // each line of `lines` in `root` and no others: empty when right.
    std::string boxesOnEachDe(const AXElement& root, const std::vector<std::string>& lines,
                              const std::vector<HighlightAnnotation>& shown) {
        std::string wrong;
        if (shown.size() != lines.size())
            wrong += std::to_string(shown.size()) + " boxes; ";
        const auto children =
            readElements(ax(), root, kAXChildrenAttribute).value_or(std::vector<AXElement>{});
        for (const auto& line : lines) {
            // A line of its own, or one of the lines beside the blocks in
            // the field's own text (Firefox's lines pasted at once).
            const auto element = std::ranges::find_if(
                children, [&](const AXElement& child) { return value(child) == line; });
            const std::string own = value(root).value_or("");
            const auto inOwn = own.find(line);
            if (element == children.end() && inOwn == std::string::npos) {
                wrong += "no line " + line + "; ";
                continue;
            }
            const std::string before = element != children.end()
                                           ? line.substr(0, line.find("で"))
                                           : own.substr(0, inOwn + line.find("で"));
            const auto glyph = AXTextExtractor::directBoundsForRange(
                ax(), session_->desktop().screens(), {text::utf16Length(before), 1},
                element != children.end() ? *element : root);
            if (!glyph || glyph->isZero()) {
                wrong += "no glyph in " + line + "; ";
                continue;
            }
            const bool over = std::ranges::any_of(shown, [&](const HighlightAnnotation& a) {
                return std::abs(a.rect.x - glyph->x) <= 1 && std::abs(a.rect.y - glyph->y) <= 1 &&
                       std::abs(a.rect.width - glyph->width) <= 1;
            });
            if (!over)
                wrong += "no box over the で of " + line + " at " + toString(*glyph) + "; ";
        }
        if (!wrong.empty())
            for (const auto& a : shown)
                wrong += "box " + toString(a.rect) + "; ";
        return wrong;
    }

    // The box the monitor gives for the Character after `before` in the
    // checked `line` stands where the followed element draws that
    // Character's glyph.
    void expectBoxedAfter(AccessibilityMonitor& monitor, const std::string& line,
                          const std::string& before) {
        const auto at = line.find(before);
        ASSERT_NE(at, std::string::npos) << line;
        const text::CharacterText t{line};
        const int64_t error = text::characterCount(line.substr(0, at + before.size()));
        const Utf16Range units{t.utf16Offset(error),
                               t.utf16Offset(error + 1) - t.utf16Offset(error)};
        const auto& followed = monitor.observedElement();
        ASSERT_TRUE(followed.has_value());
        const auto glyph = bounds(*followed, units);
        ASSERT_TRUE(glyph && !glyph->isZero()) << t.slice(error, error + 1);
        const auto box = monitor.boundsForRange(error, 1);
        ASSERT_TRUE(box.has_value()) << t.slice(error, error + 1);
        EXPECT_NEAR(box->x, glyph->x, 1)
            << "box " << toString(*box) << " over " << t.slice(error, error + 1) << " at "
            << toString(*glyph) << ", " << (box->x - glyph->x) / std::max(1.0, glyph->width)
            << " glyphs off";
        EXPECT_NEAR(box->width, glyph->width, 1) << toString(*box) << " " << toString(*glyph);
    }

    // Applies 晴れ → `suggestion` through the monitor's ladder; the text it
    // reports.
    std::optional<std::string> correct(const AXElement& target, TextRange range,
                                       const std::string& suggestion = "雨") {
        AccessibilityMonitor monitor(session_->ports());
        std::optional<std::string> replaced;
        monitor.onReplacementCompleted = [&](const std::string& t) { replaced = t; };
        EXPECT_TRUE(startFollowing(monitor, target, 10));
        CorrectionIssue issue;
        issue.id = "issue-1";
        issue.range = range;
        issue.original = "晴れ";
        issue.suggestion = suggestion;
        monitor.applyReplacement(issue);
        waitUntil([&] { return replaced.has_value(); }, 10);
        monitor.stop();
        if (!replaced) {
            for (const auto& line : session_->log().lines()) {
                if (line.find("applyReplacement") != std::string::npos)
                    ADD_FAILURE() << line;
            }
        }
        return replaced;
    }
};

}  // namespace mivo::desktop_test
