// The follow of a document's blocks on its own, over the simulated desktop,
// with a host that follows what it is told to and records the checks asked
// of it: where the caret went, what is remembered, what is checked when.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "field/ax_text_extractor.hpp"
#include "monitor/document_follow.hpp"
#include "monitor/document_text.hpp"
#include "platform/ax_reads.hpp"
#include "platform/sim/sim_desktop.hpp"

namespace mivo {
namespace {

TEST(DocumentTextTest, TheRunAroundTheCaretIsTheLineWrittenBesideTheBlocks) {
    // Chromium's first line stays in the document's own text beside the
    // objects of the blocks below it; a link inside a line is an object of
    // the line, not a block.
    const std::string kBlock = "\uFFFC";
    struct Case {
        const char* why;
        std::string text;
        int64_t caret;  // UTF-16
        std::string run;
        int64_t runStart;
    };
    const Case cases[] = {
        {"the first line, blocks below it", "一行目。" + kBlock + kBlock, 2, "一行目。", 0},
        {"the end of the first line, right before its block", "一行目。" + kBlock, 4, "一行目。",
         0},
        {"a link inside the line", "前の" + kBlock + "の後。" + kBlock, 6,
         "前の" + kBlock + "の後。", 0},
        {"a line between two blocks", kBlock + "間の行。" + kBlock, 3, "間の行。", 1},
        {"past the end", kBlock + "最後。", 40, "最後。", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto run = documentText::runAround(c.text, c.caret);
        EXPECT_EQ(run.text, c.run);
        EXPECT_EQ(run.utf16Start, c.runStart);
    }
}

TEST(DocumentTextTest, TheOwnTextLeavesOutObjectsAndTheLineFeedsAtItsEnds) {
    struct Case {
        const char* why;
        std::string text;
        std::string own;
        std::size_t objects;
    };
    const Case cases[] = {
        {"blocks after the line", "一行目。\uFFFC\uFFFC", "一行目。", 2},
        {"Firefox's line feed before its first Return", "一行目。\n", "一行目。", 0},
        {"lines pasted, a line feed between them", "\n一行目。\n二行目。\uFFFC",
         "一行目。\n二行目。", 1},
        {"only blocks", "\uFFFC\uFFFC\uFFFC", "", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(documentText::withoutObjects(c.text), c.own);
        EXPECT_EQ(documentText::objectCount(c.text), c.objects);
    }
}

class FakeFollowHost final : public DocumentFollowHost {
  public:
    explicit FakeFollowHost(sim::SimDesktop& desk) : desk_(desk), ports_(desk.ports()) {}

    Accessibility& accessibility() override { return ports_.accessibility; }
    bool isMonitoring() const override { return true; }
    const std::optional<AXElement>& followedField() const override { return followed; }
    bool followedFieldHeldFocus() const override { return heldFocus; }
    std::optional<AXElement> searchFocusedField() override {
        return AXTextExtractor::focusedTextElement(ports_.accessibility, ports_.workspace);
    }
    std::optional<FieldText> readFieldText(const AXElement& element) override {
        const auto value = readString(ports_.accessibility, element, kAXValueAttribute);
        if (!value)
            return std::nullopt;
        return FieldText{*value, FieldText::Source::value, 0};
    }
    void checkBlock(const AXElement& element, const FieldText& text) override {
        checks.push_back({element, text.text});
    }
    void settleNotifications() override {}
    Cancel takeWaitingCheck() override { return std::exchange(waiting, Cancel()); }
    void attach(const AXElement& element) override {
        followed = element;
        heldFocus = readBool(ports_.accessibility, element, kAXFocusedAttribute).value_or(false);
    }
    void lookAtFocus() override {}
    void fieldMayHaveMoved() override {}
    const std::optional<FieldText>& checkedText() const override { return checked; }
    void setCheckedText(FieldText text) override { checked = std::move(text); }
    Cancel scheduleStep(double seconds, std::function<void()> step) override {
        return ports_.scheduler.after(seconds, std::move(step));
    }
    void log(std::string_view) override {}

    struct Check {
        AXElement element;
        std::string text;
    };
    std::optional<AXElement> followed;
    bool heldFocus = false;
    Cancel waiting;
    std::optional<FieldText> checked;
    std::vector<Check> checks;

  private:
    sim::SimDesktop& desk_;
    Desktop ports_;
};

class DocumentFollowTest : public ::testing::Test {
  protected:
    DocumentFollowTest() {
        desk.addApplication(pid, "Chromium");
        window = desk.addWindow(pid, "Compose");
        document = desk.addTextField(window, "");
        desk.activateApplication(pid);
        desk.focus(document);
    }

    // A document whose first line is its own text and each further line a
    // block; the caret in the last block, which is followed.
    std::vector<sim::SimId> writeLines(const std::string& ownLine,
                                       const std::vector<std::string>& lines) {
        std::vector<sim::SimId> blocks;
        std::string text = ownLine;
        for (const auto& line : lines) {
            blocks.push_back(desk.addTextField(document, line));
            text += "\uFFFC";
        }
        desk.setText(document, text);
        host.attach(desk.element(document));
        follow.noteAttached(desk.element(document), host.readFieldText(desk.element(document)));
        moveInto(blocks.back());
        return blocks;
    }

    void moveInto(sim::SimId block) {
        desk.moveCaretIntoBlock(document, block);
        const auto focused = host.searchFocusedField();
        ASSERT_TRUE(follow.caretMovedWithinDocument(focused));
        follow.followWithinDocument(*focused);
    }

    // The caret goes into `id` and the line is checked there, as the
    // monitor checks it: the block's number.
    uint64_t check(sim::SimId id) {
        if (host.followed != desk.element(id))
            moveInto(id);
        const AXElement element = desk.element(id);
        EXPECT_TRUE(follow.checkStarts(element));
        const auto what = follow.whatToCheck(element, *host.readFieldText(element));
        return follow.noteChecked(what.element, what.text);
    }

    void advance(double seconds) { desk.clock().advance(seconds); }

    sim::SimDesktop desk;
    const Pid pid = 300;
    sim::SimId window = 0;
    sim::SimId document = 0;
    FakeFollowHost host{desk};
    DocumentFollow follow{host};
};

TEST_F(DocumentFollowTest, WhereTheFocusedFieldIsSaysWhetherTheCaretStayedInTheDocument) {
    struct Case {
        const char* why;
        enum class To { anotherBlock, ownText, anotherDocumentsBlock, anotherField } to;
        bool within;
    };
    const Case cases[] = {
        {"another line of the document", Case::To::anotherBlock, true},
        {"the document's own text, its first line (Ctrl+Home)", Case::To::ownText, true},
        {"a line of another document", Case::To::anotherDocumentsBlock, false},
        {"another field of the page", Case::To::anotherField, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto blocks = writeLines("一行目です。", {"二行目です。", "三行目です。"});
        const auto other = desk.addTextField(window, "\uFFFC");
        const auto otherBlock = desk.addTextField(other, "別の文書です。");
        std::optional<AXElement> focused;
        switch (c.to) {
            case Case::To::anotherBlock:
                focused = desk.element(blocks.front());
                break;
            case Case::To::ownText:
                focused = desk.element(document);
                break;
            case Case::To::anotherDocumentsBlock:
                focused = desk.element(otherBlock);
                break;
            case Case::To::anotherField:
                focused = desk.element(desk.addTextField(window, "検索"));
                break;
        }
        EXPECT_EQ(follow.caretMovedWithinDocument(focused), c.within);
        follow.forget();
        desk.destroy(other);
    }
}

TEST_F(DocumentFollowTest, AFirstLineChromiumsReturnLeftInTheFieldIsCheckedThere) {
    // The first line typed in the field itself, then Return, which makes a
    // block beside the line and moves nothing. Under load the change comes
    // while the focus still names the field, and the new block's focus is
    // told only after; the change, worked out from the reports, may count
    // the first key twice. The line's check goes on with the block, and
    // checks the line.
    const std::string line = "今日は晴れです。";
    struct Case {
        const char* why;
        std::string change;  // the field's text as the change tells it
    };
    const Case cases[] = {
        {"the change reads as the field does", line + "\uFFFC"},
        {"the first key counted twice", "今" + line + "\uFFFC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const AXElement field = desk.element(document);
        desk.setText(document, line);
        host.attach(field);
        follow.noteAttached(field, host.readFieldText(field));
        bool checkRan = false;
        host.waiting = host.scheduleStep(0.75, [&] { checkRan = true; });
        const auto block = desk.addTextField(document, "");
        desk.setText(document, line + "\uFFFC");
        follow.noteChange(FieldText{c.change, FieldText::Source::value, 0});
        EXPECT_EQ(host.followed, field);
        desk.moveCaretIntoBlock(document, block);
        const auto focused = host.searchFocusedField();
        ASSERT_TRUE(follow.caretMovedWithinDocument(focused));
        follow.followWithinDocument(*focused);
        EXPECT_EQ(host.followed, desk.element(block));
        advance(1.0);
        EXPECT_TRUE(checkRan);
        EXPECT_TRUE(follow.checkStarts(field));
        EXPECT_EQ(follow.whatToCheck(field, *host.readFieldText(field)).text.text, line);
        follow.noteDetached();
        follow.forget();
        desk.destroy(block);
        desk.focus(document);
    }
}

TEST_F(DocumentFollowTest, WhatACheckReadsIsTheRunOfTheDocumentsOwnTextOrTheBlock) {
    struct Case {
        const char* why;
        std::string own;      // the document's own text before its blocks
        bool caretInOwnText;  // else in the last block
        std::string checked;
    };
    const Case cases[] = {
        {"the first line beside its blocks", "一行目です。", true, "一行目です。"},
        {"a link inside the first line", "前の\uFFFCの後です。", true, "前の\uFFFCの後です。"},
        {"a block", "一行目です。", false, "二行目です。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto blocks = writeLines(c.own, {"二行目です。"});
        if (c.caretInOwnText) {
            desk.select(document, Utf16Range{0, 0});
            moveInto(0);
        }
        const sim::SimId id = c.caretInOwnText ? document : blocks.back();
        const AXElement element = desk.element(id);
        const auto what = follow.whatToCheck(element, *host.readFieldText(element));
        EXPECT_EQ(what.text.text, c.checked);
        EXPECT_EQ(what.element, element);
        follow.forget();
    }
}

TEST_F(DocumentFollowTest, ALineReturnTookOutOfTheOwnTextIsCheckedInTheBlockItWentTo) {
    // Firefox's first Return reports the field's own line removed and two
    // objects inserted, the caret in the second block. The change is worked
    // out from the reports over the text last read; a read made as the
    // first key went in already held it, and its report then counted it
    // twice: what the change seems to leave beside the blocks is not what
    // was written.
    const std::string line = "東京で住んでいます。";
    struct Case {
        const char* why;
        std::string beforeReturn;  // the change worked out before Return
        std::string afterReturn;   // and the one after
    };
    const Case cases[] = {
        {"the changes read as the field does", line, "\uFFFC\uFFFC"},
        {"the first key counted twice", line + "東", "\uFFFC\uFFFC東"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        desk.setText(document, "東");
        host.attach(desk.element(document));
        ASSERT_TRUE(host.heldFocus);
        follow.noteAttached(desk.element(document), host.readFieldText(desk.element(document)));
        follow.noteChange(FieldText{"東", FieldText::Source::value, 0});
        desk.setText(document, line);
        follow.noteChange(FieldText{c.beforeReturn, FieldText::Source::value, 0});
        const auto moved = desk.addTextField(document, line);
        const auto next = desk.addTextField(document, "");
        desk.setText(document, "\uFFFC\uFFFC");
        desk.moveCaretIntoBlock(document, next);
        follow.noteRemoved(line);
        follow.noteChange(FieldText{c.afterReturn, FieldText::Source::value, 0});
        // The check of the field waits for the pause as the caret leaves.
        host.waiting = host.scheduleStep(0.75, [] {});
        moveInto(next);
        const AXElement field = desk.element(document);
        EXPECT_TRUE(follow.checkStarts(field));
        const auto what = follow.whatToCheck(field, *host.readFieldText(field));
        EXPECT_EQ(what.element, desk.element(moved));
        EXPECT_EQ(what.text.text, line);
        follow.noteDetached();
        follow.forget();
        desk.destroy(moved);
        desk.destroy(next);
        desk.focus(document);
    }
}

TEST_F(DocumentFollowTest, NoMoreBlocksAreRememberedThanTheDisplayHoldsChecksOf) {
    // Each line checked is remembered with its check; past the bound the
    // least recently used goes, its waiting check with it.
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < kMaxRememberedBlocks + 2; ++i)
        lines.push_back("行" + std::to_string(i) + "です。");
    const auto blocks = writeLines("", lines);
    std::vector<uint64_t> numbers;
    for (const auto block : blocks)
        numbers.push_back(check(block));
    EXPECT_EQ(follow.blocks().size(), kMaxRememberedBlocks);
    EXPECT_EQ(follow.blocks().find(numbers[0]), nullptr);
    EXPECT_EQ(follow.blocks().find(numbers[1]), nullptr);
    for (std::size_t i = 2; i < numbers.size(); ++i)
        ASSERT_NE(follow.blocks().find(numbers[i]), nullptr) << "line " << i;
}

TEST_F(DocumentFollowTest, TheBlocksCheckedBeforeTheUserWentElsewhereAreCheckedOnTheWayBack) {
    struct Case {
        const char* why;
        std::size_t linesChecked;
        bool sameDocument;
        std::size_t checkedAgain;  // besides the caret's, which its attach checks
        // Into another document: lines above the caret's, never heard of.
        std::size_t linesAbove = 0;
        // Come to by the focus poll (a window just opened, its focus never
        // told): those lines may have been written unheard.
        bool late = false;
    };
    const Case cases[] = {
        {"back into the same document", 3, true, 2},
        {"a long document: every line remembered", 40, true, 39},
        {"longer than the lines remembered: as many as are checked at once",
         kMaxRememberedBlocks + 6, true, kMaxRememberedBlocks - 2},
        {"into another document", 3, false, 0},
        {"into another document, its lines above told of: none", 3, false, 0, 5},
        {"into a window come to late, a line left with Return before", 3, false, 1, 1, true},
        {"into a window come to late: the lines a second holds", 3, false, 3, 5, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < c.linesChecked; ++i)
            lines.push_back("行" + std::to_string(i) + "です。");
        const auto blocks = writeLines("", lines);
        for (const auto block : blocks)
            check(block);
        follow.noteContextChanged();
        EXPECT_EQ(follow.blocks().size(), 0u);
        sim::SimId into = blocks.back();
        if (!c.sameDocument) {
            const auto other = desk.addTextField(window, "\uFFFC");
            for (std::size_t i = 0; i < c.linesAbove; ++i)
                desk.addTextField(other, "東京で住んでいます。");
            into = desk.addTextField(other, "別の文書です。");
            desk.focus(other);
            desk.moveCaretIntoBlock(other, into);
        }
        host.attach(desk.element(into));
        follow.noteAttached(desk.element(into), host.readFieldText(desk.element(into)), c.late);
        host.checks.clear();
        advance(1.0);
        ASSERT_EQ(host.checks.size(), c.checkedAgain);
        for (const auto& checked : host.checks)
            EXPECT_NE(checked.element, desk.element(into));
        if (c.checkedAgain > 0) {
            EXPECT_EQ(host.checks.front().text,
                      c.sameDocument ? lines[lines.size() - 2] : "東京で住んでいます。")
                << "the nearest first";
        }
        follow.forget();
        desk.focus(document);
    }
}

TEST_F(DocumentFollowTest, AParagraphRunningOntoTheNextPageIsWrittenOnAsOne) {
    // Writer exposes the part of a paragraph on the next page as an object
    // of its own: typing on across the page moves the caret there within
    // the pause.
    struct Case {
        const char* why;
        std::string left;
        bool flowsFrom;  // the block entered says it flows from the one left
        std::size_t checksOfThePartLeft;
    };
    const Case cases[] = {
        {"into the paragraph's part on the next page", "東京で住んで", true, 0},
        {"into the next paragraph after a finished line", "東京で住んでいます。", true, 1},
        {"into a paragraph of no such order", "東京で住んで", false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto blocks = writeLines("", {c.left, "います。"});
        if (c.flowsFrom)
            desk.setAttribute(blocks[1], std::string(kAXFlowsFromAttribute),
                              AXValue(desk.element(blocks[0])));
        moveInto(blocks[0]);
        host.checks.clear();
        const AXElement left = desk.element(blocks[0]);
        host.waiting = host.scheduleStep(0.75, [&] { host.checkBlock(left, {c.left}); });
        moveInto(blocks[1]);
        advance(1.0);
        EXPECT_EQ(std::ranges::count_if(host.checks,
                                        [&](const auto& check) { return check.element == left; }),
                  static_cast<std::ptrdiff_t>(c.checksOfThePartLeft));
        follow.forget();
    }
}

}  // namespace
}  // namespace mivo
