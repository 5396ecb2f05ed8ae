#pragma once

// Putting a correction into another application as a user would: selecting
// the text to replace through the accessibility interface or by a mouse
// drag, then pasting, typing or deleting with synthetic events, the target
// application brought to the front first and the clipboard saved and put
// back around a paste.
//
// Input goes in from delayed steps, after the target had time to come to
// the front. Each operation only says whether its work could be queued.
// Nothing queued posts input once its owner is gone or has abandoned its
// queued input (the monitor stopped); a pending paste still puts the
// user's clipboard back. While a write goes in, every input device is held
// (InputHold); where they could not be held, the user may click or type
// while a step waits, so a step posts only while the focus, the selection
// and the field's text are still what they were when it was queued, and a
// paste never lands on text it was not meant for nor a Delete removes a
// Character of the user's.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "field/pasteboard_guard.hpp"
#include "platform/desktop.hpp"
#include "platform/scheduler.hpp"

namespace mivo {

// What the input learns, at each step, from the monitor that asks for it.
struct InputTarget {
    std::optional<AXElement> observedElement;
    Pid observedFocusPid = 0;  // the application whose focus is watched
    Pid observedPid = 0;       // the application of the observed element
};

// Why queued input was not posted.
enum class InputAbandoned {
    // The focus, the caret, the selection or the field's text changed: the
    // user clicked or typed where the devices could not be held.
    userActed,
    // A modifier key was down: the keystroke would have been another one.
    modifierHeld,
    // The field never reported the selection made for the input.
    selectionNotTaken,
    // The target answered none of our calls until the input was due no
    // more: what it holds is not known, and nothing was sent into it.
    targetAway,
};

// A selection made through the accessibility interface that queued input
// is meant for: the element, its selected range and the text in it.
struct SelectedTarget {
    AXElement element;
    Utf16Range range;
    std::string text;
    // A paste into it calls this once its target fetched our text: the
    // paste landed, even if the user takes it back before it is read.
    std::function<void()> onPasted = {};
    // Where the caret was put back after the range was found selectable:
    // nothing stands selected while keys that cannot be held may arrive.
    // The range is selected again just before the input, and only while
    // the caret still stands there (nothing typed or clicked since). Only
    // where the devices could not be held: otherwise nothing can come
    // between our selection and our input.
    std::optional<Utf16Range> restingCaret = {};
    // Called when the input is not posted, with why.
    std::function<void(InputAbandoned)> onAbandoned = {};
    // When the range was selected; a selection made again just before the
    // input counts from then.
    std::optional<TimePoint> selectedAt = {};
    // A paste into it waits for its target to fetch our text until then,
    // where that is later than the clipboard's own bound: while every
    // device is held nothing else can reach our selection, and a target
    // that handles the keystroke late still pastes the correction into it.
    std::optional<TimePoint> pasteTakenBy = {};
    // And longer while the target does not answer (see PasteboardGuard).
    std::function<bool()> targetAway = {};
    // A call into the target that gives up is not its answer: the input
    // waits for one until then (the devices held, nothing else reaches our
    // selection meanwhile) and goes the moment it comes. Nothing: a call
    // that gives up counts as a change.
    std::optional<TimePoint> answerAwaitedUntil = {};
    // Called right before the input is posted.
    std::function<void()> onPosted = {};
    // Called when the input starts waiting for an answer.
    std::function<void()> onAwaitingAnswer = {};
};

class SyntheticInput {
  public:
    using TargetSource = std::function<InputTarget()>;
    // Asked as input is queued: a check that answers, when the input is
    // due, whether it may still be posted (its owner has not stopped since).
    using RunCheck = std::function<bool()>;
    using RunSource = std::function<RunCheck()>;

    SyntheticInput(Desktop desktop, TargetSource target, RunSource run = {});
    ~SyntheticInput();
    SyntheticInput(const SyntheticInput&) = delete;
    SyntheticInput& operator=(const SyntheticInput&) = delete;

    // Steps queued so far post nothing; their clipboard restores still run.
    void abandonQueuedInput();

    // --- Selection through the accessibility interface -------------------
    // Focuses the element, selects `range` and confirms that it holds
    // `expectedText`; logs under `logPrefix` why not.
    bool selectReplacementRange(Utf16Range range, std::string_view expectedText,
                                const AXElement& element, std::string_view logPrefix);
    // The selected text, else the text of `range`, reads as `expectedText`
    // (a reading with white space around it counts too).
    bool selectionMatchesExpectedText(std::string_view expectedText, Utf16Range range,
                                      const AXElement& element);
    // The same for whatever is selected now.
    bool currentSelectionMatchesExpectedText(std::string_view expectedText,
                                             const AXElement& element);

    // --- Input into a selection made above --------------------------------
    // Each brings the target application to the front and queues its input.
    // Pasting is refused (false) when the pasteboard refuses the text.
    bool pasteTextIntoFocusedElement(std::string_view text, const SelectedTarget& selected);
    bool typeTextIntoFocusedElement(std::string_view text, const SelectedTarget& selected);
    // Backward Delete of the selection; never posted for an empty one.
    bool deleteSelectedTextInFocusedElement(const SelectedTarget& selected);

    // --- Input after a mouse selection ------------------------------------
    // Drags across `rect` (screen coordinates, y up) in `element`, checks
    // that the selection reads `expectedSelectedText` when one is given, and
    // pastes or types `text` over it.
    bool pasteTextIntoRect(std::string_view text, Rect rect,
                           std::optional<std::string> expectedSelectedText,
                           const AXElement& element);
    bool typeTextIntoRect(std::string_view text, Rect rect,
                          std::optional<std::string> expectedSelectedText,
                          const AXElement& element);

    void activateTargetApplication();

    // --- Events, posted at once ------------------------------------------
    bool postCommandV();
    // The caret one Character on, as the user's Right arrow moves it.
    bool postRightArrow();
    // One key press per Character, carrying all its UTF-16 code units.
    bool postUnicodeText(std::string_view text);
    // A left-button drag along the middle of `rect` (screen coordinates,
    // y up), a little inside its ends; nothing for a rectangle narrower or
    // lower than 2.
    bool postMouseDragSelection(Rect rect);

  private:
    struct State;
    using Step = std::function<void(State&)>;

    // Runs `step` after `delay` if this input still exists and has not
    // abandoned it; otherwise runs `abandoned`, if any.
    void later(double delay, Step step, std::function<void()> abandoned = {});
    void log(std::string_view message);
    // The field's text as input for a selection is queued.
    struct QueuedFor {
        std::optional<std::string> value;
    };
    QueuedFor queuedFor(const SelectedTarget& selected);

    std::shared_ptr<State> state_;
};

}  // namespace mivo
