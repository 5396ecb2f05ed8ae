// Offsets, text reads and writes as each toolkit takes them, measured with
// the real applications: GTK and Chromium count code points, Qt and Gecko
// UTF-16 units, Gecko pads its reads, and EditableText's insert length is
// bytes in GTK and UTF-16 units in Qt.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/linux/atspi/atspi_toolkit.hpp"

namespace mivo::linux_desktop {
namespace {

// "a𠮷b😀c": 5 code points, 7 UTF-16 units.
const std::string kMixed = "a\U00020BB7b\U0001F600c";

TEST(AtspiToolkit, NamesOfTheBridges) {
    struct Row {
        std::string_view name;
        Toolkit expected;
    };
    const std::vector<Row> rows = {
        {"GTK", Toolkit::gtk},     {"gail", Toolkit::gtk},          {"Qt", Toolkit::qt},
        {"Gecko", Toolkit::gecko}, {"Chromium", Toolkit::chromium}, {"VCL", Toolkit::other},
        {"", Toolkit::other},
    };
    for (const auto& row : rows)
        EXPECT_EQ(toolkitNamed(row.name), row.expected) << row.name;
    EXPECT_EQ(toolkitNamed("GTK", "4.8.3"), Toolkit::gtk4);
    EXPECT_EQ(toolkitNamed("GTK", "3.24.38"), Toolkit::gtk);
    // GTK 4 counts code points and takes bytes like GTK 3, but its
    // geometry and selection need other ways.
    EXPECT_EQ(insertionLength(Toolkit::gtk4, "雨"), 3);
    EXPECT_FALSE(answersScreenCoordinates(Toolkit::gtk4));
    EXPECT_FALSE(repliesToAddSelection(Toolkit::gtk4));
    EXPECT_TRUE(answersScreenCoordinates(Toolkit::gtk));
    // Range extents are trusted only where they were measured right.
    EXPECT_TRUE(answersRangeExtents(Toolkit::gtk));
    EXPECT_TRUE(answersRangeExtents(Toolkit::qt));
    for (Toolkit t : {Toolkit::gtk4, Toolkit::gecko, Toolkit::chromium})
        EXPECT_FALSE(answersRangeExtents(t));
}

TEST(AtspiToolkit, Utf16RangesBecomeEachToolkitsOffsetsAndBack) {
    struct Row {
        Utf16Range utf16;
        ToolkitRange codePoints;  // GTK, Chromium
    };
    const std::vector<Row> rows = {
        {{0, 0}, {0, 0}}, {{0, 1}, {0, 1}}, {{1, 2}, {1, 2}}, {{3, 3}, {2, 4}},
        {{0, 7}, {0, 5}}, {{7, 0}, {5, 5}}, {{6, 1}, {4, 5}},
    };
    for (const auto& row : rows) {
        for (Toolkit cp : {Toolkit::gtk, Toolkit::gtk4, Toolkit::chromium, Toolkit::other}) {
            EXPECT_EQ(toToolkitRange(cp, kMixed, row.utf16), row.codePoints) << toString(row.utf16);
            EXPECT_EQ(fromToolkitRange(cp, kMixed, row.codePoints), row.utf16)
                << toString(row.utf16);
        }
        // Qt and Gecko take the UTF-16 offsets as they are: mapped to code
        // points, a selection after 𠮷 would land one unit early.
        const ToolkitRange units{row.utf16.location, row.utf16.end()};
        for (Toolkit u16 : {Toolkit::qt, Toolkit::gecko}) {
            EXPECT_EQ(toToolkitRange(u16, kMixed, row.utf16), units) << toString(row.utf16);
            EXPECT_EQ(fromToolkitRange(u16, kMixed, units), row.utf16) << toString(row.utf16);
        }
    }
}

TEST(AtspiToolkit, ChromiumsReportedSelectionIsConvertedBack) {
    // Measured: after selecting code points (7, 9) (です) Chromium reported
    // (5, 7), which read as code points is 晴れ; after (5, 7) it reported
    // (3, 5); after (0, 1) (😀) it reported nothing; the caret was right.
    const std::string text = "\U0001F600\U00020BB7今日は晴れです。";
    struct Row {
        std::optional<ToolkitRange> reported;
        int64_t caret;
        std::optional<OurSelection> ours;
        ToolkitRange expected;
    };
    const std::vector<Row> rows = {
        {ToolkitRange{5, 7}, 9, std::nullopt, {7, 9}},
        {ToolkitRange{3, 5}, 7, std::nullopt, {5, 7}},
        {ToolkitRange{3, 5}, 7, OurSelection{{5, 7}, text}, {5, 7}},
        {ToolkitRange{0, 0}, 1, OurSelection{{0, 1}, text}, {0, 1}},
        // The user moved on: the caret no longer agrees with ours.
        {ToolkitRange{0, 0}, 4, OurSelection{{0, 1}, text}, {4, 4}},
        {std::nullopt, 3, std::nullopt, {3, 3}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(selectionFromReport(Toolkit::chromium, text, row.reported, row.caret, row.ours),
                  row.expected)
            << row.caret;
    // Our paste replaced the selection with as many characters: the caret
    // after it is where our selection ended, but the selection is gone
    // with the text it was made in.
    const OurSelection de{{2, 3}, "東京で住んでいます。"};
    EXPECT_EQ(selectionFromReport(Toolkit::chromium, "東京に住んでいます。", std::nullopt, 3, de),
              (ToolkitRange{3, 3}));
    EXPECT_EQ(selectionFromReport(Toolkit::chromium, "東京で住んでいます。", std::nullopt, 3, de),
              (ToolkitRange{2, 3}));
    // Without characters outside the BMP the two conversions agree.
    EXPECT_EQ(selectionFromReport(Toolkit::chromium, "今日は晴れ", ToolkitRange{3, 5}, 5, {}),
              (ToolkitRange{3, 5}));
    // Others' reports stand as they are.
    EXPECT_EQ(selectionFromReport(Toolkit::gtk, text, ToolkitRange{5, 7}, 7, {}),
              (ToolkitRange{5, 7}));
    EXPECT_EQ(selectionFromReport(Toolkit::gtk, text, ToolkitRange{5, 5}, 5, {}),
              (ToolkitRange{5, 5}));
}

TEST(AtspiToolkit, RangesThroughASurrogatePairOrPastTheEndAreRefusedOthersClamped) {
    for (Toolkit t : {Toolkit::gtk, Toolkit::qt}) {
        for (Utf16Range r : {Utf16Range{2, 0}, Utf16Range{1, 1}, Utf16Range{0, 5}, Utf16Range{6, 2},
                             Utf16Range{-1, 1}, Utf16Range{0, -1}})
            EXPECT_EQ(toToolkitRange(t, kMixed, r), std::nullopt) << toString(r);
    }
    // An application may report a selection backwards or past a text that
    // has shrunk since.
    EXPECT_EQ(fromToolkitRange(Toolkit::gtk, kMixed, {4, 2}), (Utf16Range{3, 3}));
    EXPECT_EQ(fromToolkitRange(Toolkit::gtk, kMixed, {3, 99}), (Utf16Range{4, 3}));
    EXPECT_EQ(fromToolkitRange(Toolkit::gtk, "", {0, 3}), (Utf16Range{0, 0}));
    EXPECT_EQ(fromToolkitRange(Toolkit::qt, kMixed, {5, 99}), (Utf16Range{4, 3}));
    // Half a pair in a UTF-16 toolkit's report widens to the whole pair.
    EXPECT_EQ(fromToolkitRange(Toolkit::qt, kMixed, {2, 5}), (Utf16Range{1, 5}));
}

TEST(AtspiToolkit, GeckoPaddingAfterSupplementaryCharactersIsDropped) {
    const std::string padded = "a\U00020BB7\uFEFFb\U0001F600\uFEFFc";
    EXPECT_EQ(textFromToolkit(Toolkit::gecko, padded), kMixed);
    // The user's own U+FEFF, not after such a character, stays; other
    // toolkits' text is never touched.
    EXPECT_EQ(textFromToolkit(Toolkit::gecko, "\uFEFFa\U0001F600\uFEFF\uFEFF"),
              "\uFEFFa\U0001F600\uFEFF");
    EXPECT_EQ(textFromToolkit(Toolkit::gtk, padded), padded);
    EXPECT_EQ(toolkitLength(Toolkit::gecko, kMixed), 7);
    EXPECT_EQ(toolkitLength(Toolkit::gtk, kMixed), 5);
}

TEST(AtspiToolkit, InsertLengthIsTheToolkitsOwnOrTheRouteIsRefused) {
    // 雨😀: 7 UTF-8 bytes, 3 UTF-16 units, 2 code points. Qt took the byte
    // count as units and inserted two NULs after the text.
    const std::string insert = "雨\U0001F600";
    EXPECT_EQ(insertionLength(Toolkit::gtk, insert), 7);
    EXPECT_EQ(insertionLength(Toolkit::qt, insert), 3);
    EXPECT_EQ(insertionLength(Toolkit::gecko, insert), std::nullopt);
    EXPECT_EQ(insertionLength(Toolkit::chromium, insert), std::nullopt);
    EXPECT_EQ(insertionLength(Toolkit::other, insert), std::nullopt);
    EXPECT_TRUE(editableTextWorks(Toolkit::gtk));
    EXPECT_TRUE(editableTextWorks(Toolkit::qt));
    // Gecko answers TRUE and changes nothing.
    EXPECT_FALSE(editableTextWorks(Toolkit::gecko));
}

TEST(AtspiToolkit, RangeWritesGoFirstWhereEditableTextWorks) {
    // Their undo history would otherwise hold "delete all, insert all".
    struct Row {
        Toolkit toolkit;
        WriteRouteTrust trust;
    };
    const Row rows[] = {
        {Toolkit::gtk, {.wholeValue = true, .range = true}},
        // GTK 4 forgets its undo history and Writer the paragraph's
        // formatting on a whole-value write.
        {Toolkit::gtk4, {.wholeValue = false, .range = true}},
        {Toolkit::qt, {.wholeValue = true, .range = true}},
        {Toolkit::libreoffice, {.wholeValue = false, .range = true, .formatting = true}},
        {Toolkit::gecko, {.wholeValue = true, .range = false}},
        // Chromium's caret, set while our write is under way, lands at the
        // field's start now and then.
        {Toolkit::chromium, {.wholeValue = true, .range = false, .caretWhileWriting = false}},
        {Toolkit::other, {.wholeValue = true, .range = false}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(toolkitLabel(row.toolkit)));
        EXPECT_EQ(writeRouteTrustOf(row.toolkit), row.trust);
    }
}

TEST(AtspiToolkit, QtsRangeExtentsAreAskedWithoutTheCharacterAtTheEnd) {
    struct Row {
        Toolkit toolkit;
        ToolkitRange range;
        ToolkitRange expected;
    };
    const std::vector<Row> rows = {
        {Toolkit::qt, {0, 1}, {0, 0}},  // one character: its own extents
        {Toolkit::qt, {0, 3}, {0, 1}},  // a𠮷 ends at 𠮷's first half
        {Toolkit::qt, {3, 6}, {3, 4}},  // b😀
        {Toolkit::gtk, {0, 2}, {0, 2}}, {Toolkit::gecko, {0, 3}, {0, 3}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(extentsQuery(row.toolkit, kMixed, row.range), row.expected)
            << row.range.start << "," << row.range.end;
}

TEST(AtspiToolkit, EmbeddedObjectsAreSeen) {
    EXPECT_TRUE(holdsEmbeddedObjects("リンク\uFFFCの後"));
    EXPECT_FALSE(holdsEmbeddedObjects(kMixed));
}

TEST(AtspiToolkit, LibreOfficeIsKnownByItsApplicationWhateverToolkitItNames) {
    // Writer with the GTK 3 plugin says "gtk" 3.24; with the KDE one, "Qt".
    for (const auto& [name, version] : std::vector<std::pair<std::string_view, std::string_view>>{
             {"gtk", "3.24.38"}, {"Qt", "5.15.8"}, {"VCL", ""}})
        EXPECT_EQ(toolkitNamed(name, version, "soffice"), Toolkit::libreoffice) << name;
    EXPECT_EQ(toolkitNamed("gtk", "3.24.38", "gedit"), Toolkit::gtk);
    // 😀 and 𠮷 take two units each: Writer's 晴 after them is at 7, not 5.
    const std::string text = "\U0001F600\U00020BB7今日は晴れ";
    EXPECT_EQ(toToolkitRange(Toolkit::libreoffice, text, Utf16Range{7, 2}), (ToolkitRange{7, 9}));
    EXPECT_EQ(fromToolkitRange(Toolkit::libreoffice, text, ToolkitRange{7, 9}), (Utf16Range{7, 2}));
    EXPECT_EQ(toolkitLength(Toolkit::libreoffice, text), 9);
    // Its ATK bridge reads the insert's length in bytes.
    EXPECT_EQ(insertionLength(Toolkit::libreoffice, "雨"), 3);
}

TEST(AtspiToolkit, WhereAWholeValueWriteWouldLoseFormattingOnlyRangeEditsAreTrusted) {
    struct Row {
        Toolkit toolkit;
        bool wholeValue;
        bool rangeEdit;
    };
    const std::vector<Row> rows = {
        {Toolkit::gtk, true, true},     {Toolkit::gtk4, false, true},
        {Toolkit::qt, true, true},      {Toolkit::libreoffice, false, true},
        {Toolkit::gecko, false, false}, {Toolkit::chromium, false, false},
        {Toolkit::other, false, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(writesWholeValue(row.toolkit), row.wholeValue) << toolkitLabel(row.toolkit);
        EXPECT_EQ(editableTextWorks(row.toolkit), row.rangeEdit) << toolkitLabel(row.toolkit);
    }
    EXPECT_TRUE(mayAnswerStalePositions(Toolkit::libreoffice));
    EXPECT_FALSE(mayAnswerStalePositions(Toolkit::gtk));
}

TEST(AtspiToolkit, StalePositionsAreAskedAgainBeforeTheyAreDrawn) {
    // Writer's window sits below openbox's title bar, at y 19.
    const Rect window{0, 19, 1280, 1005};
    struct Row {
        Rect onScreen;
        Point windowOffset;
        bool stale;
    };
    const std::vector<Row> rows = {
        // Placed where its window coordinates are: it has not learnt where
        // its window is (Ctrl+N, not clicked yet): 25 px too high.
        {{282, 217, 12, 19}, {0, 0}, true},
        // Once it knows, screen and window coordinates differ.
        {{282, 242, 12, 19}, {0, 25}, false},
        // Outside the window it belongs to.
        {{282, 10, 12, 19}, {0, 25}, true},
        {{1275, 242, 12, 19}, {0, 25}, true},
        {{282, 1030, 12, 19}, {0, 25}, true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(looksStale(row.onScreen, row.windowOffset, window), row.stale)
            << toString(row.onScreen);
    // A window at the screen's origin has equal coordinates of both kinds.
    EXPECT_FALSE(looksStale({282, 217, 12, 19}, {0, 0}, {0, 0, 1280, 1024}));
}

TEST(AtspiToolkit, FlatBoxesTakeTheLinesHeightAndComeBackToTheText) {
    // KWrite: the field starts at x 48, its text at 49; the editor answers
    // the line's first character at 90, 41 px right, and no height.
    const Rect field{48, 464, 688, 531};
    struct Row {
        const char* why;
        Rect box;
        double lineHeight;
        double lineStartX;
        std::optional<Rect> expected;
    };
    const std::vector<Row> rows = {
        {"晴れ, moved back", {194, 464, 26, 0}, 17, 90, Rect{153, 464, 26, 17}},
        {"a line starting at the edge stays", {60, 464, 13, 0}, 17, 49, Rect{60, 464, 13, 17}},
        {"an indent within any widget's padding stays",
         {70, 464, 13, 0},
         17,
         60,
         Rect{70, 464, 13, 17}},
        {"the caret bar keeps no width", {90, 464, 0, 0}, 17, 90, Rect{49, 464, 0, 17}},
        {"no height to take", {194, 464, 26, 0}, 0, 90, std::nullopt},
        {"below the field", {194, 990, 26, 0}, 17, 90, std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(flatBoxRepaired(row.box, row.lineHeight, row.lineStartX, field), row.expected)
            << row.why;
}

}  // namespace
}  // namespace mivo::linux_desktop
