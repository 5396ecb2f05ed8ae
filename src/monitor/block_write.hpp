#pragma once

// A correction on its way into a block of the document followed: the block
// written, where the user's caret belongs once the write is in, and the
// block the user had the caret in when the write went elsewhere. A caret
// the application moves into another block meanwhile (Chromium, after a
// paste into the document's own text) is the write's, not the user's: the
// block written stays followed until the write is over.

#include <cstdint>
#include <optional>

#include "platform/accessibility.hpp"
#include "platform/cancel.hpp"
#include "platform/geometry.hpp"

namespace mivo {

class BlockWrite {
  public:
    // The user's caret in the block written, the UTF-16 unit the write's
    // issues end at, and the block's length in units, as the write began:
    // where the caret belongs once the write is in.
    struct CaretAround {
        Utf16Range caret;
        int64_t issuesEndUnits = 0;
        int64_t unitsBefore = 0;

        // Whether the caret stood after the issues written: what the write
        // changed moves it.
        bool movesWithWrite() const { return caret.location >= issuesEndUnits; }
        // The caret once the block holds `unitsNow` UTF-16 units.
        Utf16Range movedWith(int64_t unitsNow) const;
    };
    // A write into the document's own text: the run it went into (by the
    // run's first UTF-16 unit) and its block, whose check the new text is.
    struct OwnTextRun {
        uint64_t block = 0;
        int64_t utf16Start = 0;
        // One line of a block checked line by line, not a run.
        bool line = false;
    };
    // The block the user had the caret in before a write into another one,
    // and the caret there.
    struct UserCaret {
        AXElement block;
        Utf16Range range;
        // Keys sent on at the end of holds when the write began: more
        // since went on where the write put this caret back, and moved it.
        uint64_t keysTypedOn = 0;
    };
    // What a write that is over went into.
    struct Ended {
        AXElement block;
        std::optional<CaretAround> caret;
    };

    // A write into `block` begins (a write still under way gives way to
    // it); `ends` is the step that ends it should it never report.
    void start(const std::optional<AXElement>& block, std::optional<CaretAround> caret,
               Cancel ends);
    // The write is over; nothing when none was under way.
    std::optional<Ended> end();
    // Whether a write into `block` is under way.
    bool isInto(const std::optional<AXElement>& block) const { return into_ && into_ == block; }

    // The write goes into a run of the document's own text (or, forgotten,
    // into a block's whole text).
    void noteOwnTextRun(OwnTextRun run) { ownTextRun_ = run; }
    void forgetOwnTextRun() { ownTextRun_.reset(); }
    std::optional<OwnTextRun> takeOwnTextRun();

    // The caret goes back to `caret` once the write is over, or by the
    // `giveUp` step at the latest.
    void keepUserCaret(UserCaret caret, Cancel giveUp);
    bool hasUserCaret() const { return userCaret_.has_value(); }
    const std::optional<UserCaret>& userCaret() const { return userCaret_; }
    // The caret to put back, its give-up step dropped.
    std::optional<UserCaret> takeUserCaret();

    // The focus left the document: neither the write nor the user's caret
    // is followed any longer. The run written is not forgotten: the
    // write's report still comes.
    void forget();

  private:
    std::optional<AXElement> into_;
    Cancel ends_;
    std::optional<CaretAround> caretAround_;
    std::optional<OwnTextRun> ownTextRun_;
    std::optional<UserCaret> userCaret_;
    Cancel userCaretGiveUp_;
};

}  // namespace mivo
