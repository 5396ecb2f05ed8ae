// The followed field's text between whole reads: what the field's change
// reports make of it, and when its length asks for a whole read instead.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "monitor/followed_text.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

using Kind = FollowedChange::Kind;
using Unit = AXTextChange::Unit;

AXTextChange inserted(int64_t offset, int64_t length, std::string text, Unit unit = Unit::utf16) {
    return AXTextChange{AXTextChange::Kind::inserted, unit, offset, length, std::move(text)};
}

AXTextChange removed(int64_t offset, int64_t length, std::string text, Unit unit = Unit::utf16) {
    return AXTextChange{AXTextChange::Kind::removed, unit, offset, length, std::move(text)};
}

FieldText value(std::string text) {
    return FieldText{std::move(text), FieldText::Source::value, 0};
}

// Over the 500 Characters any sentence may have.
std::string longText() {
    std::string s;
    for (int i = 0; i < 60; ++i)
        s += "今日は良い天気です。";
    return s;
}

struct ReportCase {
    const char* why;
    std::string read;
    std::vector<AXTextChange> reports;
    std::optional<std::string> text;  // nothing: the reports are not believed
    Utf16Range caret;
};

TEST(FollowedTextTest, TheReportsMakeTheFieldsTextWhereTheySay) {
    const ReportCase cases[] = {
        {"kana typed at the end", "今日は", {inserted(3, 1, "晴")}, "今日は晴", {4, 0}},
        {"a character outside the BMP counts two units",
         "晴れ",
         {inserted(2, 2, "😀")},
         "晴れ😀",
         {4, 0}},
        {"it is deleted whole", "晴れ😀です", {removed(2, 2, "😀")}, "晴れです", {2, 0}},
        {"a key with the caret moved into the middle",
         "今日は良い天気です。",
         {inserted(3, 1, "雨")},
         "今日は雨良い天気です。",
         {4, 0}},
        {"typed over a selection: removed, then inserted",
         "今日は雨です。",
         {removed(3, 1, "雨"), inserted(3, 2, "晴れ")},
         "今日は晴れです。",
         {5, 0}},
        {"code points: the caret is counted back in UTF-16 units",
         "😀晴",
         {inserted(2, 1, "れ", Unit::codePoint)},
         "😀晴れ",
         {4, 0}},
        {"a removal of a text that is not there",
         "今日は",
         {removed(0, 1, "明")},
         std::nullopt,
         {}},
        {"an offset past the end", "今日は", {inserted(9, 1, "あ")}, std::nullopt, {}},
        {"an offset inside a surrogate pair", "😀", {inserted(1, 1, "あ")}, std::nullopt, {}},
        {"reports in two units",
         "今日は",
         {inserted(3, 1, "晴"), inserted(4, 1, "れ", Unit::codePoint)},
         std::nullopt,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        FollowedText followed;
        followed.keepWhole(value(c.read));
        for (const auto& report : c.reports)
            followed.noteReport(report);
        const FollowedChange change = followed.takeReports();
        if (!c.text) {
            EXPECT_EQ(change.kind, Kind::lengthNeeded);
            continue;
        }
        ASSERT_EQ(change.kind, Kind::reported);
        EXPECT_EQ(change.text, value(*c.text));
        EXPECT_EQ(change.caret, c.caret);
    }
}

TEST(FollowedTextTest, ATextThatIsNotTheFieldsValueTakesNoReports) {
    // Up to the caret only, or the static text joined: the offsets count in
    // a text that is not kept.
    for (const auto source : {FieldText::Source::caretWindow, FieldText::Source::staticText}) {
        FollowedText followed;
        followed.keepWhole(FieldText{"今日は", source, 0});
        followed.noteReport(inserted(3, 1, "晴"));
        EXPECT_EQ(followed.takeReports().kind, Kind::lengthNeeded);
    }
}

// One step of the field as the monitor meets it: a burst of notifications
// with the reports it brought, or a text-poll tick; and the field's length
// then (nothing: the field did not answer).
struct Step {
    std::vector<AXTextChange> reports;
    std::optional<int64_t> length;
    bool tick = false;
};

struct StepCase {
    const char* why;
    std::string read;
    std::vector<Step> steps;
    // One a step. A burst whose length stayed, and a tick that needs no
    // read, answer `lengthNeeded`; a tick whose length check fails,
    // `readWhole`.
    std::vector<Kind> kinds;
    int64_t atLeastCharacters = 0;  // of the last step, when too long
};

// What the monitor does with the kept text on one step.
FollowedChange take(FollowedText& followed, const Step& step) {
    FollowedChange nothing;
    nothing.kind = Kind::lengthNeeded;
    if (step.tick) {
        if (followed.takeLengthCheck() && followed.noteLength(step.length))
            return FollowedChange{};
        return nothing;
    }
    for (const auto& report : step.reports)
        followed.noteReport(report);
    FollowedChange change = followed.takeReports();
    if (change.kind == Kind::reported || !followed.noteLength(step.length))
        return change;
    return followed.afterLengthMoved(500);
}

TEST(FollowedTextTest, TheFieldIsReadWholeOnlyWhenNothingElseWillDo) {
    const StepCase cases[] = {
        {"the reports fit; the tick's length agrees",
         "今日は",
         {{{inserted(3, 1, "晴")}, 4}, {{}, 4, true}},
         {Kind::reported, Kind::lengthNeeded}},
        // Same length, other text, nothing told: the next key's report
        // fits a kept text that is no longer the field's, and the tick's
        // length check finds it out.
        {"a key after an untold change",
         "今日は良い天気です。",
         {{{inserted(9, 1, "あ")}, 10}, {{}, 10, true}},
         {Kind::reported, Kind::readWhole}},
        // Once in case a report is on its way, then the field is read.
        {"a report that does not fit waits one burst",
         "今日は",
         {{{removed(0, 1, "明")}, 2}, {{}, 3}},
         {Kind::deferred, Kind::readWhole}},
        {"a caret move", "今日は", {{{}, 3}}, {Kind::lengthNeeded}},
        {"a key without details", "今日は", {{{}, 4}}, {Kind::readWhole}},
        {"a field that does not answer its length",
         "今日は",
         {{{}, std::nullopt}},
         {Kind::readWhole}},
        {"too many reports between two bursts",
         "今日は",
         {{std::vector<AXTextChange>(257, inserted(0, 1, "あ")), 260}},
         {Kind::readWhole}},
        // Too long to be checked either way: its length is all that is
        // asked, and each unit changed takes at most one Character away.
        {"a key into a long field without details", longText(), {{{}, 601}}, {Kind::tooLong}, 599},
        {"a long field that lost enough to come within reach",
         longText(),
         {{{}, 550}, {{}, 400}},
         {Kind::tooLong, Kind::readWhole}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_EQ(c.steps.size(), c.kinds.size());
        FollowedText followed;
        followed.keepWhole(value(c.read));
        followed.noteLength(text::utf16Length(c.read));  // as the field is attached
        FollowedChange change;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            change = take(followed, c.steps[i]);
            EXPECT_EQ(change.kind, c.kinds[i]) << "step " << i;
        }
        if (change.kind == Kind::tooLong) {
            EXPECT_EQ(change.atLeastCharacters, c.atLeastCharacters);
            EXPECT_EQ(change.text, value(c.read));
        }
    }
}

// A whole read taken while reports of what it holds are still on their
// way (a poll tick between a key and its report): the reports that arrive
// after it are either already in it or news, never both.
struct LateReportCase {
    const char* why;
    std::string before;  // read whole at first
    std::string read;
    std::vector<AXTextChange> late;  // arrived after the read
    Kind kind;
    std::string text;  // what the kept text then holds
    // Reports that arrived before the read and were not taken in yet.
    std::vector<AXTextChange> early = {};
    // A burst without reports (a caret that moved) comes between the read
    // and the late reports.
    bool caretFirst = false;
    // Another whole read (a poll tick, the key's own re-read) before any
    // late report came.
    std::optional<std::string> readAgain = std::nullopt;
    // The late reports come in bursts of this many each, the rest in the
    // last; every burst before the last is of changes already read.
    std::vector<std::size_t> bursts = {};
    // How `before` was read: an empty field read as no text at all.
    FieldText::Source beforeSource = FieldText::Source::value;
};

TEST(FollowedTextTest, AReportAWholeReadAlreadyHoldsIsNotAppliedAgain) {
    const auto ins = [](int64_t at, std::string text) {
        return inserted(at, text::utf16Length(text), text);
    };
    const LateReportCase cases[] = {
        {"one key", "東京に", "東京に住", {ins(3, "住")}, Kind::alreadyRead, "東京に住"},
        {"one key, its caret's move first",
         "東京に",
         "東京に住",
         {ins(3, "住")},
         Kind::alreadyRead,
         "東京に住",
         {},
         true},
        {"a removal",
         "今日は雨です",
         "今日はです",
         {removed(3, 1, "雨")},
         Kind::alreadyRead,
         "今日はです"},
        {"typed over a selection",
         "今日は雨です",
         "今日は晴れです",
         {removed(3, 1, "雨"), ins(3, "晴れ")},
         Kind::alreadyRead,
         "今日は晴れです"},
        // Reports after the read are news, also when they repeat the key.
        {"the same key again",
         "東京に",
         "東京に住",
         {ins(3, "住"), ins(4, "住")},
         Kind::reported,
         "東京に住住"},
        {"another key",
         "東京に",
         "東京に住",
         {ins(3, "住"), ins(4, "む")},
         Kind::reported,
         "東京に住む"},
        {"a BackSpace",
         "東京に",
         "東京に住",
         {ins(3, "住"), removed(3, 1, "住")},
         Kind::reported,
         "東京に"},
        {"a report that came before the read",
         "東京に",
         "東京に住",
         {ins(4, "む")},
         Kind::reported,
         "東京に住む",
         {ins(3, "住")}},
        {"a change nobody told of, then a key",
         "今日は",
         "今日は晴",
         {ins(4, "れ")},
         Kind::reported,
         "今日は晴れ"},
        {"a change nobody told of, then a key before it",
         "今日は",
         "今日は晴",
         {ins(0, "あ")},
         Kind::reported,
         "あ今日は晴"},
        {"a change nobody told of, then the same change told",
         "東京に",
         "東京に住",
         {ins(4, "住")},
         Kind::reported,
         "東京に住住"},
        {"nothing changed since the last text",
         "東京に",
         "東京に",
         {ins(3, "住")},
         Kind::reported,
         "東京に住"},
        // Two whole reads before the report of what both found.
        {"read twice, the same text",
         "東",
         "東京",
         {ins(1, "京")},
         Kind::alreadyRead,
         "東京",
         {},
         false,
         "東京"},
        {"read twice, the first before any report",
         "",
         "東",
         {ins(0, "東"), ins(1, "京")},
         Kind::alreadyRead,
         "東京",
         {},
         false,
         "東京"},
        // The reports of what one read found, one burst each.
        {"two keys, a burst each",
         "",
         "東京",
         {ins(0, "東"), ins(1, "京")},
         Kind::alreadyRead,
         "東京",
         {},
         false,
         std::nullopt,
         {1}},
        {"emptied and typed into, a burst each",
         "今日は雨です。",
         "東京",
         {removed(0, 7, "今日は雨です。"), ins(0, "東"), ins(1, "京")},
         Kind::alreadyRead,
         "東京",
         {},
         false,
         std::nullopt,
         {1, 1}},
        {"the first keys into a field read as no text",
         "",
         "東京",
         {ins(1, "京")},
         Kind::alreadyRead,
         "東京",
         {ins(0, "東")},
         false,
         std::nullopt,
         {},
         FieldText::Source::staticText},
        // A report that fits the text before the read but leads away from
        // the read is news.
        {"a change nobody told of, then a key that leads away from it",
         "今日は",
         "今日は晴",
         {ins(3, "雨")},
         Kind::reported,
         "今日は雨晴"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        FollowedText followed;
        followed.keepWhole(FieldText{c.before, c.beforeSource, 0});
        for (const auto& report : c.early)
            followed.noteReport(report);
        followed.keepWhole(value(c.read));
        if (c.readAgain)
            followed.keepWhole(value(*c.readAgain));
        if (c.caretFirst) {
            ASSERT_EQ(followed.takeReports().kind, Kind::lengthNeeded);
        }
        std::size_t from = 0;
        for (const std::size_t n : c.bursts) {
            for (std::size_t i = from; i < from + n; ++i)
                followed.noteReport(c.late[i]);
            from += n;
            EXPECT_EQ(followed.takeReports().kind, Kind::alreadyRead) << "burst ending " << from;
        }
        for (std::size_t i = from; i < c.late.size(); ++i)
            followed.noteReport(c.late[i]);
        const FollowedChange change = followed.takeReports();
        EXPECT_EQ(change.kind, c.kind);
        if (change.kind == Kind::reported) {
            EXPECT_EQ(change.text, value(c.text));
        }
        // The next key builds on what the field holds.
        followed.noteReport(ins(text::utf16Length(c.text), "。"));
        EXPECT_EQ(followed.takeReports().text, value(c.text + "。"));
    }
}

TEST(FollowedTextTest, ATextFromReportsAloneAsksForTheFieldsLengthOnce) {
    FollowedText followed;
    followed.keepWhole(value("今日は"));
    followed.noteLength(3);
    EXPECT_FALSE(followed.takeLengthCheck());

    followed.noteReport(inserted(3, 1, "晴"));
    ASSERT_EQ(followed.takeReports().kind, Kind::reported);
    EXPECT_TRUE(followed.takeLengthCheck());
    EXPECT_FALSE(followed.takeLengthCheck());
    // The length the reports made is the one the check compares with.
    EXPECT_FALSE(followed.noteLength(4));

    followed.noteReport(inserted(4, 1, "れ"));
    ASSERT_EQ(followed.takeReports().kind, Kind::reported);
    followed.keepWhole(value("今日は晴れ"));
    EXPECT_FALSE(followed.takeLengthCheck()) << "a whole read needs no check";
}

// What reaches the kept text between text-poll ticks, and the ticks
// themselves with what the field would answer.
struct PollStep {
    enum class What { notification, burstAccounted, typedKey, tick };
    What what = What::tick;
    std::string mark = "m";
    std::optional<int64_t> length;
    bool reads = false;  // a tick: whether it reads the field whole
};

PollStep tick(std::string mark, bool reads, std::optional<int64_t> length = std::nullopt) {
    return PollStep{PollStep::What::tick, std::move(mark), length, reads};
}

struct PollCase {
    const char* why;
    bool observed;
    std::vector<PollStep> steps;
    int marksAsked;
    int ticksRepeated = 1;  // the last step, this many times
};

TEST(FollowedTextTest, ATickReadsTheFieldWholeOnlyWhenItMayHaveChangedUntold) {
    using What = PollStep::What;
    const PollStep notified{What::notification, "", std::nullopt, false};
    const PollStep accounted{What::burstAccounted, "", std::nullopt, false};
    const PollStep typed{What::typedKey, "", std::nullopt, false};
    const PollCase cases[] = {
        {"an idle field", true, {tick("a", true), tick("a", false), tick("a", false)}, 3},
        {"a mark that moved", true, {tick("a", true), tick("b", true)}, 2},
        {"a change told and not read since", true, {tick("a", true), notified, tick("a", true)}, 2},
        {"a change told and read by its burst",
         true,
         {tick("a", true), notified, accounted, tick("b", false), tick("b", false)},
         3},
        {"no notifications heard", false, {tick("a", true), tick("a", true)}, 2},
        {"a field without a mark", true, {tick("", true), tick("", true)}, 2},
        // Read now and then in case a change went unannounced.
        {"an idle field, 30 ticks on", true, {tick("a", true), tick("a", true)}, 31, 30},
        // While the reports keep coming the length is all a tick asks.
        {"a key the reports told, the length agrees",
         true,
         {tick("a", true), typed, accounted, tick("b", false, 4), tick("b", false),
          tick("b", false)},
         3},
        {"a key the reports told, the length disagrees",
         true,
         {tick("a", true), typed, accounted, tick("b", true, 5)},
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        FollowedText followed;
        followed.keepWhole(value("今日は"));
        followed.noteLength(3);
        int marksAsked = 0;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const PollStep& step = c.steps[i];
            switch (step.what) {
                case What::notification:
                    followed.noteNotification();
                    break;
                case What::burstAccounted:
                    followed.noteBurstAccounted();
                    break;
                case What::typedKey:
                    followed.noteNotification();
                    followed.noteReport(inserted(3, 1, "晴"));
                    ASSERT_EQ(followed.takeReports().kind, Kind::reported);
                    break;
                case What::tick: {
                    const int times = i + 1 == c.steps.size() ? c.ticksRepeated : 1;
                    for (int n = 1; n <= times; ++n) {
                        const bool reads = followed.tickReadsWhole(
                            c.observed,
                            [&] { return step.length ? step.length : std::optional<int64_t>(4); },
                            [&] {
                                ++marksAsked;
                                return step.mark.empty() ? std::nullopt : std::optional(step.mark);
                            });
                        EXPECT_EQ(reads, n == times ? step.reads : false)
                            << "step " << i << ", tick " << n;
                    }
                    break;
                }
            }
        }
        EXPECT_EQ(marksAsked, c.marksAsked);
    }
}

TEST(FollowedTextTest, AFieldNoLongerFollowedLeavesNothingBehind) {
    FollowedText followed;
    followed.keepWhole(value("今日は"));
    followed.noteLength(3);
    followed.noteReport(inserted(3, 1, "晴"));
    followed.forget();
    // The next field's first length is news, and the report of the last
    // one is not applied to anything.
    EXPECT_TRUE(followed.noteLength(3));
    EXPECT_EQ(followed.takeReports().kind, Kind::lengthNeeded);
    EXPECT_EQ(followed.afterLengthMoved(500).kind, Kind::readWhole);
}

}  // namespace
}  // namespace mivo
