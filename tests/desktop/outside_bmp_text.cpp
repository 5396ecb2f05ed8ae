#include "outside_bmp_text.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "desktop_test_support.hpp"
#include "platform/ax_reads.hpp"

namespace mivo::desktop_test {

CorrectionIssue sunnyToRained() {
    CorrectionIssue issue;
    issue.id = "issue-1";
    issue.range = TextRange{5, 7};
    issue.original = "晴れ";
    issue.suggestion = "雨";
    return issue;
}

void expectRangesReadAndSelectAfterWideCharacters(Accessibility& ax, const AXElement& field,
                                                  double waitSeconds) {
    struct Row {
        Utf16Range range;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {{0, 2}, "\U0001F600"}, {{2, 2}, "\U00020BB7"}, {kSunny, "晴れ"}, {{4, 3}, "今日は"}};
    for (const auto& row : rows) {
        const auto r = ax.copyParameterizedAttributeValue(
            field, kAXStringForRangeParameterizedAttribute, AXValue(row.range));
        ASSERT_TRUE(r.has_value()) << toString(row.range);
        EXPECT_EQ(r->asString(), row.expected) << toString(row.range);
        ASSERT_EQ(ax.setAttributeValue(field, kAXSelectedTextRangeAttribute, AXValue(row.range)),
                  AXError::success)
            << toString(row.range);
        EXPECT_TRUE(waitUntil(
            [&] { return readRange(ax, field, kAXSelectedTextRangeAttribute) == row.range; },
            waitSeconds))
            << toString(row.range) << " read "
            << toString(readRange(ax, field, kAXSelectedTextRangeAttribute)
                            .value_or(Utf16Range{-1, -1}));
        EXPECT_EQ(readString(ax, field, kAXSelectedTextAttribute), row.expected);
    }
}

}  // namespace mivo::desktop_test
