#pragma once

// The steps the write-back suites (our editors, the browsers, the
// applications) take around the user's Apply of 晴れ → 雨 in kText.

#include <optional>
#include <string>
#include <vector>

#include "field/synthetic_input.hpp"
#include "monitor/accessibility_monitor.hpp"
#include "monitor/replacement_outcome.hpp"
#include "outside_bmp_text.hpp"
#include "platform/sim/captured_log.hpp"

namespace mivo::desktop_test {

// Starts `monitor` and waits up to `seconds` until it follows `field` (any
// field, without one).
[[nodiscard]] bool startFollowing(AccessibilityMonitor& monitor,
                                  const std::optional<AXElement>& field, double seconds);

// The same, with `checked` as the text it last checked: where the user's
// Apply finds it.
[[nodiscard]] bool followAsChecked(AccessibilityMonitor& monitor,
                                   const std::optional<AXElement>& field, double seconds,
                                   const std::string& checked = kText);

// Right after Apply: the user's Ctrl+Z 0.3 s on, and not before the
// correction is in (one before it takes back another step). The original
// text of `field` stays, and the write is never tried again.
void expectCtrlZSoonAfterApplyKeepsTheOriginal(Accessibility& ax, const AXElement& field,
                                               const sim::CapturedLog& log);

class UserKeyboard;
class UserPointer;

// Where what comes during the write comes from: the user's keyboard and
// pointer, the XTest keyboard and pointer other programs type and click
// through, a double click on Apply (the second click at the end of the
// text), Shift down as Apply is clicked, Ctrl down as Apply is clicked
// with the user's Ctrl+A before Ctrl comes up, and the user's click before
// the text with keys 0.2 s later, or a move off the field between them.
enum class During {
    keys,
    otherKeys,
    click,
    otherClick,
    doubleClick,
    shiftAtClick,
    selectAll,
    clickThenKeys,
    clickThenMove
};

// What comes while a correction goes in, and when.
struct DuringTheWrite {
    const char* what;
    During source;
    double at;  // seconds after Apply
};
// Keys are "abc" (after the Shift row's Shift is up, at 0.3 s); a click
// lands at the end of the text, where the caret already stood, and another
// program types "xy" 2 s after Apply; a click before the text is followed
// by the user's "xy". Whatever comes, the correction goes in and it
// follows; the user's Ctrl+A stands around it.
extern const std::vector<DuringTheWrite> kDuringTheWrite;

// The user's hands on the devices a hold takes.
struct UserDevices {
    UserKeyboard& keyboard;
    UserPointer& pointer;
};

// Applies 晴れ → 雨 in `field` (kText, checked, the caret at its end, the
// user's copy on the clipboard) with a monitor of its own and does what
// `row` does meanwhile: the correction goes in, what came meanwhile
// follows it, the user's clipboard is back, every device is free and no
// notice says otherwise.
void expectEveryInputFollowsTheWrite(Desktop ports, sim::CapturedLog& log, const AXElement& field,
                                     UserDevices hands, const DuringTheWrite& row);

// The target application stopped (SIGSTOP, as a spell of load would) from
// 0.1 s after Apply for `stopsFor` seconds, the user's "xy" at 0.3 s.
struct Stop {
    const char* what;
    double stopsFor;
    // Back within the hold's bound: the correction goes in. (Past it, it
    // may still: Chromium answers some calls while its browser process is
    // stopped, and takes our paste when it runs again.)
    bool written;
};
extern const std::vector<Stop> kStops;

// Applies 晴れ → 雨 in `field` (kText, checked, the caret at its end, the
// user's copy on the clipboard) while `row` stops its application: the
// correction goes in when it is back within the bound, the user's keys
// follow once it answers, never over a selection of ours, nothing of the
// sentence is lost, nothing of ours stays selected, the clipboard is the
// user's, the keys are free and the notice says what the field holds.
void expectAStoppedApplicationNeverTakesKeysOverOurSelection(Desktop ports, sim::CapturedLog& log,
                                                             const AXElement& field,
                                                             UserKeyboard& hands, const Stop& row);

// The user's hands around Apply, on the keyboard Mivo may hold.
struct Hands {
    const char* what;
    double typeAt;                // "abc" (or its rest) typed this long after the press
    bool keyDownAtPress = false;  // "a" down as Apply is pressed, up 0.15 s later
    double applyAt = 0;           // the correction asked this long after the press
    double undoAt = -1;           // Ctrl+Z this long after the press
    // Shift down at 0.02 s, "a" at 0.2 s, "b" at 1.5 s, Shift up at 1.8 s:
    // held across the end of the hold, so "AB".
    bool shiftHeld = false;
    // Shift down as Apply is pressed, "a" at 0.2 s, Shift up at 1.3 s, "b"
    // at 1.5 s: the paste waits for Shift, so "Ab" after the correction.
    bool shiftAtPress = false;
};
extern const std::vector<Hands> kHands;

// Presses Apply of 晴れ → 雨 in `field` (kText, checked, the caret at its
// end) with a monitor of its own while the user's `hands` do what `row`
// does: the correction goes in and every key lands at the end, in order.
// `undoKept`: the field keeps an undo history (a Ctrl+Z row takes the
// correction back).
void expectHandsAroundApply(Desktop ports, sim::CapturedLog& log, const AXElement& field,
                            UserKeyboard& hands, const Hands& row, bool undoKept);

// What the user had copied before Mivo's paste borrowed the clipboard.
inline const std::string kUsersCopy = "ユーザーのコピー";

// With kUsersCopy on the clipboard, selects 晴れ (kSunny) in `field` and
// pastes 雨 over it through `input`, the way Mivo types.
void pasteRainedOverTheUsersCopy(SyntheticInput& input, Pasteboard& pasteboard,
                                 const AXElement& field);

// The lines of the log about input and the write, printed for a reader of
// a run whose timing the desktop decided.
void printWriteBackLog(const sim::CapturedLog& log);

}  // namespace mivo::desktop_test
