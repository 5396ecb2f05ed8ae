// One read of the field per burst: a keystroke reaches the monitor as a
// key-down and notifications of the text and the caret, and the field's
// text is read once after them, never for a caret that only moved.

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "monitor_scene.hpp"

namespace mivo {
namespace {

enum class Action {
    typedKey,
    caretMove,
    applicationChange,
    unannouncedChange,
    keyWithoutDetails,
};

class BurstTest : public MonitorScene {
  protected:
    BurstTest() {
        desk.setText(field, "今日は良い天気です。");
        advance(0);
        monitor.start();
        advance(3);
        // The field's text as it stood was checked on attaching: only what
        // comes after counts here.
        candidates.clear();
        candidateTimes.clear();
    }

    uint64_t wholeReads() { return desk.accessibilityCalls().count("copyAttributeValue(AXValue)"); }

    void act(Action action) {
        switch (action) {
            case Action::typedKey:
                desk.typeText("あ");
                break;
            case Action::caretMove:
                desk.select(field, {3, 0});
                break;
            case Action::applicationChange:
                desk.setText(field, "明日は雨でしょう。");
                break;
            case Action::unannouncedChange:
                // Nothing tells of it: the poll finds it by the field's new
                // length.
                desk.setAttribute(field, "AXValue", AXValue("雨。"));
                break;
            case Action::keyWithoutDetails:
                desk.setTellsTextChanges(false);
                desk.typeText("あ");
                break;
        }
    }
};

struct ReadCase {
    std::string name;
    Action action;
    uint64_t wholeReads;  // within the next 0.35 s, one text-poll tick included
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class BurstReads : public BurstTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(BurstReads, TheFieldIsReadWholeOnlyAsOftenAsItChanged) {
    desk.accessibilityCalls().reset();
    act(GetParam().action);
    advance(0.35);
    EXPECT_EQ(wholeReads(), GetParam().wholeReads) << desk.accessibilityCalls().report();
}

INSTANTIATE_TEST_SUITE_P(Actions, BurstReads,
                         ::testing::Values(
                             // The field told what changed: the kept text takes it in.
                             ReadCase{"a typed key", Action::typedKey, 0},
                             // The length stayed: the next poll tick reads the text.
                             ReadCase{"a caret move", Action::caretMove, 1},
                             ReadCase{"a change the application makes", Action::applicationChange,
                                      0},
                             ReadCase{"an unannounced change", Action::unannouncedChange, 1},
                             ReadCase{"a key without details", Action::keyWithoutDetails, 1}),
                         [](const ::testing::TestParamInfo<ReadCase>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (c == ' ')
                                     c = '_';
                             return name;
                         });

TEST_F(BurstTest, TheCheckStillComesThreeQuartersOfASecondAfterTheLastNotification) {
    desk.typeText("晴");
    const double typed = desk.clock().elapsed();
    advance(0.74);
    EXPECT_TRUE(candidates.empty());
    advance(0.02);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_DOUBLE_EQ(candidateTimes[0], typed + 0.75);
    EXPECT_EQ(logged("[Mivo] axEvent: value changed"), 1u);
}

// The bus is slow: the text-poll tick right after a key reads the field
// whole before the key's report and notification arrive, and the user may
// type on before they do.
struct LateReportCase {
    std::string name;
    std::vector<std::string> keys;  // `gap` s apart, the first just before a tick
    double gap = 0.02;
    double lag = 0.05;
    // What the field holds before the first key; emptied as Ctrl+A
    // BackSpace empties it, `emptied` s before the first key.
    std::string start = "東京に";
    double emptied = 0.02;
    // When the first key comes: the fixture ends on a poll tick.
    double firstKeyAt = 0.29;
};

void PrintTo(const LateReportCase& c, std::ostream* os) {
    *os << c.name;
}

class LateReports : public BurstTest, public ::testing::WithParamInterface<LateReportCase> {};

TEST_P(LateReports, AChangeAWholeReadAlreadyFoundIsTakenInOnce) {
    const LateReportCase& c = GetParam();
    const std::string before = c.start.empty() ? "東京で住んでいます。" : c.start;
    std::set<std::string> held{before, c.start};
    desk.setText(field, before);
    advance(c.firstKeyAt - c.emptied);
    desk.setNotificationLag(c.lag);
    if (c.start.empty())
        desk.setText(field, "");
    advance(c.emptied);
    double lastKeyAt = 0;
    // The kept text is never one the field did not hold.
    const auto advanceWatching = [&](double seconds) {
        for (double t = 0; t < seconds - 1e-9; t += 0.01) {
            advance(0.01);
            ASSERT_TRUE(held.contains(monitor.lastPolledValue().text))
                << monitor.lastPolledValue().text << " at " << desk.clock().elapsed();
        }
    };
    for (const auto& key : c.keys) {
        desk.typeText(key);
        held.insert(desk.text(field));
        lastKeyAt = desk.clock().elapsed();
        advanceWatching(c.gap);
    }
    advanceWatching(c.lag + 0.05);  // past the reports and the burst's read
    EXPECT_EQ(monitor.lastPolledValue().text, desk.text(field));
    advanceWatching(1);
    // Checked once, on the field's text, 0.75 s after the last change
    // arrived: no repair of the kept text restarted the wait.
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].text, desk.text(field));
    EXPECT_LE(candidateTimes[0], lastKeyAt + c.lag + 0.76);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, LateReports,
    ::testing::Values(
        LateReportCase{"one key", {"住"}},
        // A report that came after the read and is news.
        LateReportCase{"the same key again", {"住", "住"}},
        LateReportCase{"another key", {"住", "む"}},
        // The reports lag past the key's own re-read and a
        // poll tick: two whole reads before they come.
        LateReportCase{"two keys read twice before their reports", {"住", "む"}, 0.1, 0.3},
        // The first sentence typed into a field just emptied.
        LateReportCase{
            "into an emptied field", {"東", "京", "に", "住", "む"}, 0.1, 0.3, "", 0.1, 0.59},
        LateReportCase{"into an emptied field, quickly",
                       {"東", "京", "に", "住", "ん", "で"},
                       0.05,
                       0.12,
                       "",
                       0.05,
                       0.59},
        // Read whole while empty, as after an Apply: the first key's report
        // cannot be placed, and the first keys come in the read it asks for.
        LateReportCase{"into a field read while empty",
                       {"東", "京", "に", "住", "む"},
                       0.1,
                       0.15,
                       "",
                       0.59,
                       0.59},
        LateReportCase{"into a field read while empty, quickly",
                       {"東", "京", "に", "住", "む"},
                       0.03,
                       0.05,
                       "",
                       0.6,
                       0.62}),
    [](const ::testing::TestParamInfo<LateReportCase>& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (c == ' ' || c == ',')
                c = '_';
        return name;
    });

TEST_F(BurstTest, AReportThatDisagreesWithTheFieldIsNotBelieved) {
    // Same length, other text, nothing told: the next key's report applies
    // to a kept text that is no longer the field's, and the check reads
    // what the field holds.
    desk.setTellsTextChanges(false);
    desk.setText(field, "明日は良い天気です。");
    desk.setTellsTextChanges(true);
    desk.typeText("ね");
    advance(1);
    ASSERT_FALSE(candidates.empty());
    EXPECT_EQ(candidates.back().text, desk.text(field));
}

TEST_F(BurstTest, AKeyWhoseChangeWasToldAndReadCostsNoReadOfItsOwn) {
    desk.accessibilityCalls().reset();
    desk.typeText("あ");
    advance(0.26);  // past the key-down's own re-read
    // The field told what the key changed: its length is asked at most
    // once, by a poll tick, and its text not at all.
    EXPECT_LE(desk.accessibilityCalls().count("textLengthMark"), 1u)
        << desk.accessibilityCalls().report();
    EXPECT_EQ(wholeReads(), 0u) << desk.accessibilityCalls().report();
}

}  // namespace
}  // namespace mivo
