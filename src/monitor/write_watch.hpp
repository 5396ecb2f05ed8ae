#pragma once

// What the input hold needs of a write: the field it goes into, what the
// field has shown of it, and the user's caret around it. The ladder fills
// it in and the checks add to it; the hold reads it to end in one order,
// so it lives on the hold's side, below the ladder.

#include <cstdint>
#include <optional>

#include "field/ax_text_extractor.hpp"
#include "platform/accessibility.hpp"
#include "shared/records.hpp"

namespace mivo {

// When the caret goes back to where the user had it after a write: always
// (a whole value written leaves it wherever the editor puts it), or only
// while it stands where the write left it (else the user moved it).
enum class CaretRestore { always, ifWhereTheWriteLeftIt };

// The user's caret around one replacement, in the field's UTF-16 units.
struct CaretPlan {
    // As the user had it before the write (or its retry), before any
    // selection of ours.
    std::optional<Utf16Range> before;
    // Where it goes once the correction is in: moved by the correction.
    std::optional<Utf16Range> user;
    // Where a write leaves it: after the suggestion.
    Utf16Range afterWrite;
    // The block of the same document the user's caret is in, when the
    // write goes into another one: `user` counts there.
    std::optional<AXElement> userElement = {};
};

// What the field has shown of one replacement since it was written: every
// read of the field after the write (a text-changed event's, a caret
// restore's, a check's) and the paste target's fetch of our text add to it.
// A write the field showed once has landed, whatever the field reads later
// (the user may have undone it or typed on).
struct WriteWatch {
    AXElement element;
    // Filled in once the issue is located: the hold is the write's from
    // the moment of Apply.
    CorrectionIssue issue = {};
    AXTextExtractor::ExtractedText originalText = {};
    bool shown = false;
    // Shown by the field's own text (an event or a read), not only by the
    // target fetching our paste.
    bool seenInText = false;
    // Our part is over: our input was not posted. Nothing more is sent; a
    // check may still tell what the field holds.
    bool ended = false;
    CaretPlan caret = {};
    // The caret went back as soon as the paste showed.
    bool caretBack = false;
    // The caret was sent back: a field that shows it late must not be sent
    // it again, or the second would land after the held keys.
    bool caretSent = false;
    // The key events typed on after holds when the write began: more since
    // are the user's keys, which reached the field.
    uint64_t keysTypedOnAtApply = 0;
    // A paste keystroke of ours was sent to the field. A target that
    // never fetched it may still handle it late: no other write follows.
    bool pasteQueued = false;
    // Our input is queued and neither sent nor given up: it may wait for
    // a target that does not answer, and the check waits with it.
    bool inputDue = false;
    // It waited for its target to answer: the target works through what
    // waited in it once it runs again, our input among it.
    bool targetWasAway = false;
    // No way of writing started and no check follows: the user is told
    // what the field holds once the application answers within the hold.
    bool toldOnAnswer = false;
};

// Our selection of the original, if it still stands, gives way to the
// caret as the user had it; true when it was asked to.
bool takeBackOurSelection(Accessibility& ax, const WriteWatch& watch);

}  // namespace mivo
