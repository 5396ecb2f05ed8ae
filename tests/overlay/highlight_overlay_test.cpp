// The highlight overlay over recording windows: when windows are rebuilt,
// what hover reports, and what removal reports.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "overlay/highlight_overlay.hpp"
#include "overlay_test_support.hpp"

namespace mivo {
namespace {

using overlay_test::FakeHighlightWindows;
using overlay_test::issue;
using Severity = CorrectionIssue::Severity;

std::vector<HighlightAnnotation> twoIssues() {
    return {
        {Rect{100, 500, 40, 16}, Severity::critical, issue("a", "を", "が", 2, 3)},
        {Rect{160, 500, 30, 16}, Severity::style, issue("b", "食べれる", "食べられる", 5, 9)},
    };
}

class HighlightOverlayTest : public ::testing::Test {
  protected:
    HighlightOverlayTest() {
        overlay.onHoverIssue = [this](const CorrectionIssue& i, const Rect& r) {
            events.push_back("hover " + i.id + " " + toString(r));
        };
        overlay.onHoverEnded = [this](const CorrectionIssue& i) {
            events.push_back("end " + i.id);
        };
    }

    FakeHighlightWindows windows;
    HighlightOverlay overlay{windows};
    std::vector<std::string> events;
};

TEST_F(HighlightOverlayTest, AKeptHighlightKeepsItsWindowAndOnlyNewOnesAreMade) {
    struct Case {
        const char* name;
        std::function<void(std::vector<HighlightAnnotation>&)> change;
        std::size_t made;  // windows made for the second show
        int moved;         // kept windows moved
    };
    const std::vector<Case> cases = {
        {"every rectangle jitters by 0.3",
         [](auto& a) {
             for (auto& x : a)
                 x.rect = Rect{x.rect.x + 0.3, x.rect.y - 0.3, x.rect.width + 0.3, x.rect.height};
         },
         0, 0},
        {"only the issue ids differ",
         [](auto& a) {
             a[0].issue->id = "a2";
             a[1].issue->sentenceId = "s2";
         },
         0, 0},
        {"one rectangle moves by 0.5", [](auto& a) { a[1].rect.x += 0.5; }, 0, 1},
        {"one rectangle grows by 0.5", [](auto& a) { a[0].rect.height += 0.5; }, 0, 1},
        {"the document scrolled",
         [](auto& a) {
             for (auto& x : a)
                 x.rect.y += 40;
         },
         0, 2},
        {"another severity", [](auto& a) { a[0].severity = Severity::unnatural; }, 1, 0},
        {"another order", [](auto& a) { std::swap(a[0], a[1]); }, 0, 0},
        {"another range", [](auto& a) { a[0].issue->range.end = 4; }, 1, 0},
        {"another category",
         [](auto& a) { a[0].issue->category = CorrectionIssue::Category::grammar; }, 1, 0},
        {"one highlight fewer", [](auto& a) { a.pop_back(); }, 0, 0},
        {"the issue taken away", [](auto& a) { a[0].issue.reset(); }, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHighlightWindows w;
        HighlightOverlay o{w};
        o.show(twoIssues());
        ASSERT_EQ(w.records.size(), 2u);
        auto changed = twoIssues();
        c.change(changed);
        o.show(changed);
        EXPECT_EQ(w.records.size(), 2u + c.made);
        // One window per highlight, never two.
        EXPECT_EQ(w.alive().size(), changed.size());
        EXPECT_EQ(w.records[0]->moves + w.records[1]->moves, c.moved);
        for (const auto& r : w.alive()) {
            const bool covers = std::ranges::any_of(changed, [&](const HighlightAnnotation& a) {
                return r->frame == paddedFrame(a.rect);
            });
            EXPECT_TRUE(covers || c.moved == 0) << "every window on its text";
        }
    }
}

TEST_F(HighlightOverlayTest, FieldsHoldingTheOldSeparatorDoNotPassForEachOther) {
    // Joined with "|", both would read "a|b|c|particle|2|3".
    auto first = twoIssues();
    first[0].issue->original = "a|b";
    first[0].issue->suggestion = "c";
    auto second = twoIssues();
    second[0].issue->original = "a";
    second[0].issue->suggestion = "b|c";
    overlay.show(first);
    overlay.show(second);
    // The first is another highlight: a window of its own.
    EXPECT_EQ(windows.records.size(), 3u);
    EXPECT_FALSE(windows.records[0]->alive);
}

TEST_F(HighlightOverlayTest, WindowsCoverTheTextWithTwoPixelsToSpare) {
    overlay.show(twoIssues());
    ASSERT_EQ(windows.records.size(), 2u);
    EXPECT_EQ(windows.records[0]->frame, (Rect{98, 498, 44, 20}));
    EXPECT_EQ(windows.records[0]->severity, Severity::critical);
    EXPECT_EQ(windows.records[1]->frame, (Rect{158, 498, 34, 20}));
    EXPECT_EQ(windows.records[1]->severity, Severity::style);
    // A rectangle measured with a negative size covers the same text.
    overlay.show({{Rect{140, 516, -40, -16}, Severity::critical, std::nullopt}});
    EXPECT_EQ(windows.records.back()->frame, (Rect{98, 498, 44, 20}));
}

TEST_F(HighlightOverlayTest, ADismissAfterAnIdenticalRecheckRemovesTheHighlightForGood) {
    overlay.show(twoIssues());
    // The sentence is checked again: same findings, new ids, rectangles
    // measured again.
    auto again = twoIssues();
    again[0].issue->id = "a-new";
    again[0].rect.x += 0.2;
    again[1].issue->id = "b-new";
    overlay.show(again);
    ASSERT_EQ(windows.records.size(), 2u) << "unchanged highlights keep their windows";
    EXPECT_EQ(overlay.shownIssueIDs(), (std::vector<std::optional<std::string>>{"a-new", "b-new"}));

    // Hovering the kept window reports the issue of the newest check.
    windows.records[0]->hover(true);
    EXPECT_EQ(events, (std::vector<std::string>{"hover a-new (100.2, 500.0, 40.0, 16.0)"}));

    // The owner dismisses by the new id, and drops it from what it shows.
    overlay.hide({"a-new"});
    EXPECT_FALSE(windows.records[0]->alive);
    EXPECT_TRUE(windows.records[1]->alive);
    overlay.show({again[1]});
    EXPECT_EQ(windows.alive().size(), 1u);
    EXPECT_EQ(overlay.shownIssueIDs(), (std::vector<std::optional<std::string>>{"b-new"}));
}

TEST_F(HighlightOverlayTest, RemovingAHoveredHighlightReportsTheEndOfTheHover) {
    struct Case {
        const char* name;
        std::function<void(HighlightOverlay&)> remove;
    };
    const std::vector<Case> cases = {
        {"hide()", [](HighlightOverlay& o) { o.hide(); }},
        {"hide(ids)", [](HighlightOverlay& o) { o.hide({"a"}); }},
        {"a rebuild without it", [](HighlightOverlay& o) { o.show({twoIssues()[1]}); }},
        {"an empty show", [](HighlightOverlay& o) { o.show({}); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        overlay.hide();
        overlay.show(twoIssues());
        windows.records[windows.records.size() - 2]->hover(true);
        c.remove(overlay);
        EXPECT_EQ(events,
                  (std::vector<std::string>{"hover a (100.0, 500.0, 40.0, 16.0)", "end a"}));
    }
}

TEST_F(HighlightOverlayTest, RemovingHighlightsNobodyHoversReportsNothing) {
    overlay.show(twoIssues());
    windows.records[0]->hover(true);
    windows.records[0]->hover(false);
    overlay.hide();
    EXPECT_EQ(events, (std::vector<std::string>{"hover a (100.0, 500.0, 40.0, 16.0)", "end a"}));
}

TEST_F(HighlightOverlayTest, APointerRestingOnANewHighlightIsReportedOnce) {
    struct Case {
        Point pointer;
        bool inside;
    };
    // The first highlight's padded frame is (98, 498, 44, 20).
    const std::vector<Case> cases = {
        {{98, 498}, true},       // minimum edges are inside
        {{141.9, 517.9}, true},  // just short of the maximum edges
        {{142, 505}, false},     // on the maximum x edge
        {{120, 518}, false},     // on the maximum y edge
        {{97.9, 505}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toString(Rect{c.pointer.x, c.pointer.y, 0, 0}));
        FakeHighlightWindows w;
        w.pointer = c.pointer;
        HighlightOverlay o{w};
        std::vector<Rect> reported;
        o.onHoverIssue = [&](const CorrectionIssue&, const Rect& r) { reported.push_back(r); };
        o.show(twoIssues());
        EXPECT_EQ(reported.size(), c.inside ? 1u : 0u);
        EXPECT_EQ(w.records[0]->hovered, c.inside);
        if (c.inside) {
            EXPECT_EQ(reported[0], (Rect{100, 500, 40, 16})) << "the unpadded rectangle";
            // The window system may announce the same entry once more.
            w.records[0]->hover(true);
            EXPECT_EQ(reported.size(), 1u);
        }
    }
}

TEST_F(HighlightOverlayTest, AnAnonymousHighlightNeverHoversAndIsNotRemovedById) {
    overlay.show(Rect{100, 200.5, 30, 14}, Severity::unnatural);
    ASSERT_EQ(windows.records.size(), 1u);
    EXPECT_EQ(windows.records[0]->frame, (Rect{98, 198.5, 34, 18}));
    EXPECT_FALSE(windows.records[0]->hover) << "no hover function";
    windows.pointer = Point{110, 205};
    overlay.show(Rect{100, 200.5, 30, 14}, Severity::unnatural);
    EXPECT_EQ(windows.records.size(), 1u) << "the same rectangle keeps its window";
    overlay.hide({""});
    overlay.hide({"a"});
    EXPECT_EQ(windows.alive().size(), 1u);
    EXPECT_TRUE(events.empty());
    // Known by its exact rectangle: any move rebuilds it.
    overlay.show(Rect{100.25, 200.5, 30, 14}, Severity::unnatural);
    EXPECT_EQ(windows.records.size(), 2u);
}

TEST_F(HighlightOverlayTest, HideByIdKeepsTheOthersInOrder) {
    auto three = twoIssues();
    three.push_back({Rect{200, 500, 20, 16}, Severity::unnatural, issue("c", "x", "y", 10, 11)});
    overlay.show(three);
    overlay.hide(std::set<std::string>{});
    EXPECT_EQ(windows.alive().size(), 3u);
    overlay.hide({"b"});
    EXPECT_EQ(overlay.shownIssueIDs(), (std::vector<std::optional<std::string>>{"a", "c"}));
    EXPECT_TRUE(windows.records[0]->alive);
    EXPECT_FALSE(windows.records[1]->alive);
    EXPECT_TRUE(windows.records[2]->alive);
}

TEST_F(HighlightOverlayTest, AnEmptyShowWithNothingShownDoesNothing) {
    overlay.show({});
    EXPECT_TRUE(windows.records.empty());
    overlay.show(twoIssues());
    overlay.show({});
    EXPECT_TRUE(windows.alive().empty());
    EXPECT_EQ(overlay.count(), 0u);
}

TEST_F(HighlightOverlayTest, AHoverHandlerMayHideEverything) {
    overlay.onHoverIssue = [this](const CorrectionIssue&, const Rect&) { overlay.hide(); };
    overlay.show(twoIssues());
    windows.records[1]->hover(true);
    EXPECT_TRUE(windows.alive().empty());
    EXPECT_EQ(events, (std::vector<std::string>{"end b"}));
}

TEST_F(HighlightOverlayTest, ANewTitleUnderTheHighlightsIsReportedOnlyWhileTheyShow) {
    int reports = 0;
    overlay.onViewChanged = [&] { ++reports; };
    ASSERT_TRUE(windows.viewChanged);
    windows.viewChanged();
    EXPECT_EQ(reports, 0) << "nothing shown";
    overlay.show(twoIssues());
    windows.viewChanged();
    EXPECT_EQ(reports, 1);
}

}  // namespace
}  // namespace mivo
