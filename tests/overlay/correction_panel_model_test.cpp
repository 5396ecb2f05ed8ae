// The panel's own state: which issue it shows and hands back.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "overlay/correction_panel_model.hpp"
#include "overlay_test_support.hpp"

namespace mivo {
namespace {

using overlay_test::issue;

TEST(CorrectionPanelModelTest, HandsBackTheSelectedIssueAlone) {
    std::vector<std::string> out;
    const auto record = [&](const char* what) {
        return [&out, what](const std::vector<CorrectionIssue>& issues) {
            std::string line = what;
            for (const auto& i : issues)
                line += " " + i.id;
            out.push_back(line);
        };
    };
    CorrectionPanelModel model(
        {issue("1", "a", "b", 0, 1), issue("2", "c", "d", 1, 2), issue("3", "e", "f", 2, 3)},
        record("apply"), record("dismiss"), nullptr);
    EXPECT_EQ(model.selectedIssue().id, "1");
    EXPECT_TRUE(model.showsPicker());
    model.toggleExplanation();
    model.select(2);
    EXPECT_EQ(model.selectedIssue().id, "3");
    EXPECT_TRUE(model.showExplanation()) << "selecting keeps the explanation unfolded";
    model.select(3);
    EXPECT_EQ(model.selectedIndex(), 2u) << "no row past the end";
    model.apply();
    model.dismiss();
    model.hoverChanged(true);  // no handler: nothing happens
    EXPECT_EQ(out, (std::vector<std::string>{"apply 3", "dismiss 3"}));
}

TEST(CorrectionPanelModelTest, TheToggleNamesWhatItWillDo) {
    CorrectionPanelModel model({issue("1", "a", "b", 0, 1)}, nullptr, nullptr, nullptr);
    EXPECT_FALSE(model.showsPicker());
    EXPECT_EQ(model.explanationToggleLabel(), "Why?");
    model.toggleExplanation();
    EXPECT_EQ(model.explanationToggleLabel(), "Hide explanation");
    model.toggleExplanation();
    EXPECT_EQ(model.explanationToggleLabel(), "Why?");
}

TEST(CorrectionPanelModelTest, AnEmptyListStillReadsSafely) {
    int applied = 0;
    CorrectionPanelModel model(
        {}, [&](const auto& issues) { applied += issues.size(); }, nullptr, nullptr);
    EXPECT_EQ(model.selectedIssue().suggestion, "");
    model.apply();
    EXPECT_EQ(applied, 1);
}

}  // namespace
}  // namespace mivo
