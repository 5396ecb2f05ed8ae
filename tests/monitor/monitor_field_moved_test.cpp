// What tells the display that the followed field may stand elsewhere on
// screen: its caret moving without an edit (a click into the page), and
// nothing else that the monitor handles in its own way.

#include <functional>
#include <ostream>
#include <string>

#include "monitor_scene.hpp"

namespace mivo {
namespace {

struct MovedCase {
    const char* name;
    std::function<void(sim::SimDesktop&, sim::SimId field, sim::SimId window)> act;
    int tellings;
    int contextChanges;
};
void PrintTo(const MovedCase& c, std::ostream* os) {
    *os << c.name;
}

class FieldMovedTest : public MonitorScene, public ::testing::WithParamInterface<MovedCase> {};

TEST_P(FieldMovedTest, OnlyACaretMovedWithoutAnEditTellsTheFieldMayHaveMoved) {
    int tellings = 0;
    monitor.onFieldMayHaveMoved = [&] { ++tellings; };
    monitor.start();
    desk.setText(field, "宿題を終えた。");
    advance(1);
    ASSERT_TRUE(monitor.observedElement().has_value());
    const int changesBefore = contextChanges;

    GetParam().act(desk, field, window);
    advance(0.05);
    EXPECT_EQ(tellings, GetParam().tellings);
    EXPECT_EQ(contextChanges - changesBefore, GetParam().contextChanges);
}

INSTANTIATE_TEST_SUITE_P(
    Acts, FieldMovedTest,
    ::testing::Values(MovedCase{"caretMoved",
                                [](sim::SimDesktop& d, sim::SimId f, sim::SimId) {
                                    d.select(f, {2, 0});
                                },
                                1, 0},
                      MovedCase{"textEdited",
                                [](sim::SimDesktop& d, sim::SimId f, sim::SimId) {
                                    d.setText(f, "宿題を終えた。明日");
                                },
                                0, 0},
                      MovedCase{"anotherFieldFocused",
                                [](sim::SimDesktop& d, sim::SimId, sim::SimId w) {
                                    d.focus(d.addTextField(w, "別の欄"));
                                },
                                0, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mivo
