#include "shell/other_applications.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace mivo {
namespace {

// The window manager's windows, minimised and restored on request.
class FakeWindows : public TopLevelWindows {
  public:
    std::vector<TopLevelWindow> normalWindowsOnCurrentDesktop() override { return windows; }
    bool minimize(WindowId id) override {
        minimized.push_back(id);
        return set(id, true);
    }
    bool restore(WindowId id) override {
        restored.push_back(id);
        return set(id, false);
    }
    bool set(WindowId id, bool minimizedNow) {
        auto w = std::ranges::find_if(windows, [&](const auto& x) { return x.id == id; });
        if (w == windows.end())
            return false;
        w->minimized = minimizedNow;
        return true;
    }

    std::vector<TopLevelWindow> windows;
    std::vector<WindowId> minimized;
    std::vector<WindowId> restored;
};

constexpr Pid kMivo = 10;

TEST(OtherApplications, HidesOthersAndBringsBackOnlyWhatItHid) {
    FakeWindows wm;
    wm.windows = {
        {1, 20, false},            // an editor
        {2, kMivo, false},         // Mivo's settings window
        {3, 30, true},             // minimised by the user before
        {4, std::nullopt, false},  // a window that names no process
        {5, 20, false},            // the editor's second window, on top
    };
    OtherApplications others(wm, kMivo);
    others.hideOthers();
    EXPECT_EQ(wm.minimized, (std::vector<WindowId>{1, 4, 5}));

    others.showAll();
    // Bottom first, so the top window ends on top again; the user's own
    // minimised window stays so.
    EXPECT_EQ(wm.restored, (std::vector<WindowId>{1, 4, 5}));
    EXPECT_TRUE(wm.windows[2].minimized);
}

TEST(OtherApplications, ShowAllLeavesWhatChangedSinceAndForgetsAfterwards) {
    FakeWindows wm;
    wm.windows = {{1, 20, false}, {2, 21, false}, {3, 22, false}};
    OtherApplications others(wm, kMivo);
    others.hideOthers();
    wm.set(1, false);  // the user brought it back already
    std::erase_if(wm.windows, [](const auto& w) { return w.id == 2; });  // closed
    others.showAll();
    EXPECT_EQ(wm.restored, (std::vector<WindowId>{3}));

    // A later minimise by the user is not undone by another "Show All".
    wm.set(3, true);
    others.showAll();
    EXPECT_EQ(wm.restored, (std::vector<WindowId>{3}));
}

TEST(OtherApplications, ASecondHideOthersKeepsTheFirstOnesToBringBack) {
    FakeWindows wm;
    wm.windows = {{1, 20, false}};
    OtherApplications others(wm, kMivo);
    others.hideOthers();
    wm.windows.push_back({2, 21, false});  // opened meanwhile
    others.hideOthers();
    EXPECT_EQ(wm.minimized, (std::vector<WindowId>{1, 2}));
    others.showAll();
    EXPECT_EQ(wm.restored, (std::vector<WindowId>{1, 2}));
}

// The user brings a hidden window back by hand, then asks again: it goes
// again, and the next "Show All" brings back both, in stacking order.
TEST(OtherApplications, ASecondHideOthersHidesWhatTheUserBroughtBackSince) {
    FakeWindows wm;
    wm.windows = {{1, 20, false}, {2, 21, false}};
    OtherApplications others(wm, kMivo);
    others.hideOthers();
    wm.set(2, false);  // restored from the task bar
    others.hideOthers();
    EXPECT_EQ(wm.minimized, (std::vector<WindowId>{1, 2, 2}));
    EXPECT_TRUE(wm.windows[1].minimized);
    others.showAll();
    EXPECT_EQ(wm.restored, (std::vector<WindowId>{1, 2}));
}

// After a second "Hide Others" a window the user minimised in between is
// still the user's: only what Mivo minimised comes back.
TEST(OtherApplications, ShowAllAfterTwoHidesLeavesTheUsersOwnMinimisedWindow) {
    FakeWindows wm;
    wm.windows = {{1, 20, false}, {2, 21, false}};
    OtherApplications others(wm, kMivo);
    others.hideOthers();
    wm.windows.push_back({3, 22, true});  // opened and minimised by the user
    others.hideOthers();
    others.showAll();
    EXPECT_EQ(wm.restored, (std::vector<WindowId>{1, 2}));
    EXPECT_TRUE(wm.windows[2].minimized);
}

}  // namespace
}  // namespace mivo
