#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "monitor/replacement_verification.hpp"

namespace mivo {
namespace {

using Source = AXTextExtractor::ExtractedText::Source;

CorrectionIssue issue(std::string original, std::string suggestion, int64_t start, int64_t end) {
    CorrectionIssue i;
    i.id = "issue";
    i.original = std::move(original);
    i.suggestion = std::move(suggestion);
    i.range = TextRange{start, end};
    return i;
}

const CorrectionIssue kHare = issue("晴れ", "雨", 3, 5);
const std::string kOriginal = "今日は晴れです。";

struct SuccessCase {
    const char* why;
    std::string current;
    bool succeeded;
    // The suggestion went in beside the text, none of it replaced: a paste
    // at the caret before the selection made for it had taken.
    bool insertedElsewhere = false;
};

TEST(ReplacementSucceededTest, OnlyTheWholeExpectedTextPasses) {
    const SuccessCase cases[] = {
        {"exactly as expected", "今日は雨です。", true},
        {"unchanged", "今日は晴れです。", false},
        {"the user typed elsewhere meanwhile", "今日は雨です。明日", false},
        {"a tail was left behind", "今日は雨れです。", false},
        {"the field reads empty", "", false},
        {"inserted next to the original", "今日は雨晴れです。", false, true},
        {"pasted at the caret after the sentence", "今日は晴れです。雨", false, true},
        {"pasted at the caret at the start", "雨今日は晴れです。", false, true},
        {"pasted at the caret and typed on", "今日は晴れです。雨よ", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(replacementSucceeded(kHare, kOriginal, c.current), c.succeeded);
        EXPECT_EQ(insertedElsewhere(kHare, kOriginal, c.current), c.insertedElsewhere);
    }
    // The issue no longer in the original text: nothing to expect.
    EXPECT_FALSE(replacementSucceeded(issue("雪", "雨", 3, 4), kOriginal, "今日は雨です。"));
}

struct ShowsCase {
    const char* why;
    CorrectionIssue issue;
    AXTextExtractor::ExtractedText current;
    bool shows;
};

TEST(ReplacementShowsTest, TheSuggestionInTheOriginalsPlaceShowsTheWriteWhateverFollows) {
    const AXTextExtractor::ExtractedText value{kOriginal, Source::value, 0};
    const ShowsCase cases[] = {
        {"exactly as expected", kHare, {"今日は雨です。", Source::value, 0}, true},
        {"the user typed on after it", kHare, {"今日は雨です。よ", Source::value, 0}, true},
        {"a tail was left behind", kHare, {"今日は雨れです。", Source::value, 0}, true},
        {"undone: the original again", kHare, {kOriginal, Source::value, 0}, false},
        {"undone and typed on", kHare, {"今日は晴れです。よ", Source::value, 0}, false},
        {"the user changed what stood before it",
         kHare,
         {"昨日は雨です。", Source::value, 0},
         false},
        {"the field reads empty", kHare, {"", Source::value, 0}, false},
        {"a caret window up to the suggestion", kHare, {"日は雨", Source::caretWindow, 1}, true},
        {"a caret window ending inside it", kHare, {"今日は", Source::caretWindow, 0}, false},
        // A suggestion the original starts with: the original still there
        // is no write, the shorter text is.
        {"晴れ → 晴, unchanged", issue("晴れ", "晴", 3, 5), {kOriginal, Source::value, 0}, false},
        {"晴れ → 晴, written",
         issue("晴れ", "晴", 3, 5),
         {"今日は晴です。", Source::value, 0},
         true},
        {"晴れ → 晴れ間, written",
         issue("晴れ", "晴れ間", 3, 5),
         {"今日は晴れ間です。", Source::value, 0},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(replacementShows(c.issue, value, c.current), c.shows);
    }
}

struct WindowCase {
    const char* why;
    AXTextExtractor::ExtractedText original;
    AXTextExtractor::ExtractedText current;
    bool succeeded;
};

TEST(ReplacementSucceededTest, WindowsAreComparedWhereBothShowTheField) {
    // The field holds "0123456789今日は晴れです。…"; reads that fall back to
    // the units before the caret start at their own offset of the value.
    const AXTextExtractor::ExtractedText window{kOriginal, Source::caretWindow, 10};
    const WindowCase cases[] = {
        {"caret right after the suggestion", window, {"今日は雨", Source::caretWindow, 10}, true},
        {"window starting one unit earlier",
         window,
         {"9今日は雨です。", Source::caretWindow, 9},
         true},
        {"the whole value read afterwards",
         window,
         {"0123456789今日は雨です。後の文", Source::value, 0},
         true},
        {"the suggestion cut off by the caret", window, {"今日は", Source::caretWindow, 10}, false},
        {"other text where the suggestion should be",
         window,
         {"今日は雪です。", Source::caretWindow, 10},
         false},
        {"a change before the issue", window, {"9今日が雨", Source::caretWindow, 9}, false},
        {"nothing read", window, {"", Source::caretWindow, 0}, false},
        {"whole values are compared whole",
         {kOriginal, Source::value, 0},
         {"今日は雨", Source::value, 0},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(replacementSucceeded(kHare, c.original, c.current), c.succeeded);
    }
}

struct InPlaceCase {
    const char* why;
    AXTextExtractor::ExtractedText original;
    AXTextExtractor::ExtractedText current;
    std::optional<TextRange> at;
};

TEST(OriginalStillInPlaceTest, OnlyWhereItStoodWithNothingBeforeItChanged) {
    const AXTextExtractor::ExtractedText value{kOriginal + "明日も晴れ。", Source::value, 0};
    const AXTextExtractor::ExtractedText window{kOriginal, Source::caretWindow, 10};
    const InPlaceCase cases[] = {
        {"unchanged", value, value, TextRange{3, 5}},
        {"the user typed after it",
         value,
         {kOriginal + "明日も晴れ。よ", Source::value, 0},
         TextRange{3, 5}},
        {"the user typed before it",
         value,
         {"ね" + kOriginal + "明日も晴れ。", Source::value, 0},
         std::nullopt},
        {"replaced, another occurrence left",
         value,
         {"今日は雨です。明日も晴れ。", Source::value, 0},
         std::nullopt},
        {"a tail left where it stood",
         value,
         {"今日は雨れです。明日も晴れ。", Source::value, 0},
         std::nullopt},
        {"a window starting one unit earlier",
         window,
         {"9今日は晴れです。", Source::caretWindow, 9},
         TextRange{4, 6}},
        {"a window that ends before it", window, {"9今日は", Source::caretWindow, 9}, std::nullopt},
        {"the original not in the original text",
         {"今日は雪です。", Source::value, 0},
         value,
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(originalStillInPlace(kHare, c.original, c.current), c.at);
    }
}

struct TailCase {
    const char* why;
    CorrectionIssue issue;
    std::string original;
    std::string current;
    std::optional<TailRepair> repair;
};

TEST(PartialReplacementTailRepairTest, OnlyALeftoverEndOfTheOriginalIsRepaired) {
    const TailCase cases[] = {
        {"the suggestion went in over the first Character only", kHare, kOriginal,
         "今日は雨れです。", TailRepair{{4, 1}, "れ", "今日は雨です。"}},
        {"an emoji before it moves the UTF-16 range", issue("晴れ", "雨", 4, 6),
         "😀今日は晴れです。", "😀今日は雨れです。", TailRepair{{6, 1}, "れ", "😀今日は雨です。"}},
        {"a longer leftover", issue("晴れる", "雨が降る", 3, 6), "今日は晴れるでしょう",
         "今日は雨が降るれるでしょう", TailRepair{{7, 2}, "れる", "今日は雨が降るでしょう"}},
        {"the leftover is not the end of the original", kHare, kOriginal, "今日は雨晴です。",
         std::nullopt},
        {"already right", kHare, kOriginal, "今日は雨です。", std::nullopt},
        {"unchanged", kHare, kOriginal, kOriginal, std::nullopt},
        {"the suffix was changed too", kHare, kOriginal, "今日は雨れです", std::nullopt},
        {"the original is not in the original text", issue("雪", "雨", 3, 4), kOriginal,
         "今日は雨れです。", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(partialReplacementTailRepair(c.issue, c.original, c.current), c.repair);
    }
}

struct UnwrittenCase {
    const char* why;
    std::string now;
    UnwrittenField field;
};

TEST(UnwrittenFieldTest, AsItWasIsSaidOnlyOfTheTextAsItWas) {
    const UnwrittenCase cases[] = {
        {"the same text", kOriginal, UnwrittenField::asItWas},
        {"the same text in another normal form", "今日は晴れて\u3099す。", UnwrittenField::asItWas},
        {"typed on after the sentence", kOriginal + "明日", UnwrittenField::changedElsewhere},
        {"typed in front of it", "そう、" + kOriginal, UnwrittenField::changedElsewhere},
        {"typed inside it", "今日は晴れ晴れです。", UnwrittenField::changedElsewhere},
        {"typing replaced the word", "今日はabcです。", UnwrittenField::sentenceReplaced},
        {"a Character deleted", "今日は晴です。", UnwrittenField::sentenceReplaced},
        {"the field emptied", "", UnwrittenField::sentenceReplaced},
    };
    const AXTextExtractor::ExtractedText atApply{kOriginal, Source::value, 0};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(unwrittenField(atApply, {c.now, Source::value, 0}), c.field);
    }
}

}  // namespace
}  // namespace mivo
