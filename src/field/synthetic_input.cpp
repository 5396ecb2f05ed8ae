#include "field/synthetic_input.hpp"

#include <algorithm>
#include <chrono>
#include <utility>

#include "field/ax_geometry.hpp"
#include "field/ax_text_extractor.hpp"
#include "field/field_focus.hpp"
#include "platform/ax_reads.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

// Delays from an operation's call to its input: the target application
// needs a moment to come to the front, a drag to settle into a selection,
// and a late paste to read the pasteboard before it is put back.
constexpr double kPasteDelay = 0.2;
constexpr double kTypeDelay = 0.22;
constexpr double kDragDelay = 0.2;
constexpr double kPasteAfterDragDelay = 0.14;
constexpr double kTypeAfterDragDelay = 0.16;
constexpr double kDeleteDelay = 0.18;

constexpr int kDragSteps = 8;

// A selection made just before the input is looked for this often, this
// many times, until the field reports it. While every input device is held
// nothing else can move it, so a browser under load, which takes it from
// its page later, is waited for longer.
constexpr double kSelectionLookSeconds = 0.02;
constexpr int kSelectionLooks = 15;
constexpr int kHeldSelectionLooks = 30;

}  // namespace

struct SyntheticInput::State : std::enable_shared_from_this<State> {
    State(Desktop d, TargetSource t, RunSource r)
        : desktop(d),
          target(std::move(t)),
          run(std::move(r)),
          clipboard(PasteboardGuard::of(d.pasteboard)) {
        clipboard->setLog(&d.log);
        // Whichever path calls into applications meanwhile (the display
        // following its field, a poll), the one about to fetch our paste
        // must not keep our loop from handing it over. Only until it has:
        // calls that short would then give up on a target merely busy
        // pasting, as if it had stopped answering.
        d.accessibility.limitCallsWhile(
            [&pasteboard = d.pasteboard] { return PasteboardGuard::awaitingFetch(pasteboard); });
    }

    ~State() {
        // Gone, nothing of ours is logged any more.
        if (clipboard->log() == &desktop.log)
            clipboard->setLog(nullptr);
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    Desktop desktop;
    TargetSource target;
    RunSource run;
    std::shared_ptr<PasteboardGuard> clipboard;
    uint64_t epoch = 0;

    void log(std::string_view message) {
        std::string line = "[Mivo] ";
        line += message;
        desktop.log.write(line);
    }

    void later(double delay, Step step, std::function<void()> abandoned) {
        desktop.scheduler.after(
            delay, [weak = weak_from_this(), epoch = epoch, stillRunning = run ? run() : RunCheck{},
                    step = std::move(step), abandoned = std::move(abandoned)] {
                auto self = weak.lock();
                if (self && self->epoch == epoch && (!stillRunning || stillRunning())) {
                    step(*self);
                } else if (abandoned) {
                    abandoned();
                }
            });
    }

    // Posts the paste keystroke; the user's clipboard comes back once the
    // target has fetched our text.
    bool pasteAndRestore(PasteboardGuard::Hold hold, const AXElement& element,
                         std::function<void()> onPasted = {},
                         std::optional<TimePoint> selectedAt = std::nullopt,
                         std::optional<TimePoint> takenBy = std::nullopt,
                         PasteboardGuard::AwayCheck targetAway = {}) {
        Accessibility& ax = desktop.accessibility;
        const auto before = readString(ax, element, kAXValueAttribute);
        const auto fetchesBefore = clipboard->fetchesBeforePaste();
        if (!postCommandV())
            return false;
        // Where the devices could not be held, keys replace whatever stands
        // selected: how long ours stood is the window they had.
        if (selectedAt) {
            const auto stood = std::chrono::duration_cast<std::chrono::milliseconds>(
                desktop.scheduler.now() - *selectedAt);
            log("applyReplacement: our selection stood " + std::to_string(stood.count()) +
                " ms before Ctrl+V");
        }
        // The paste has shown once the field reads otherwise; a field
        // without a value cannot tell, and its target's fetch decides.
        // Asked only after the target fetched our text, which tells the one
        // who pasted that it went in, whatever the field reads by now.
        auto pasted = [&ax, element, before, onPasted = std::move(onPasted)] {
            if (onPasted)
                onPasted();
            return !before || readString(ax, element, kAXValueAttribute) != before;
        };
        clipboard->releaseAfterPaste(hold, desktop.scheduler, fetchesBefore, pasted, takenBy,
                                     std::move(targetAway));
        return true;
    }

    void activateTargetApplication() {
        const InputTarget t = target();
        const Pid pid = t.observedFocusPid != 0 ? t.observedFocusPid : t.observedPid;
        if (pid >= 1 && desktop.workspace.runningApplication(pid)) {
            const bool ok = desktop.workspace.activate(pid);
            log("applyReplacement: activated target app pid=" + std::to_string(pid) +
                " ok=" + (ok ? "true" : "false"));
        } else {
            log("applyReplacement: target app activation skipped pid=" + std::to_string(pid));
        }
    }

    bool focusIsOn(const AXElement& element) {
        return field_focus::keyboardFocusIsOn(desktop, element);
    }

    // Whether the input may go in now, the range selected again where the
    // caret rested meanwhile. Since the input was queued, nothing of ours
    // reached the field: a change of its focus or text is someone else's
    // (where the devices could not be held).
    enum class Look { go, notYet, userActed, modifierHeld, away };
    Look look(SelectedTarget& selected, const QueuedFor& queued, bool& selectedAgain) {
        const Look verdict = lookNow(selected, queued, selectedAgain);
        // What a call that gave up tells is not the field's: while the
        // target owes us an answer, nothing it reads says the user acted.
        if (verdict != Look::go && verdict != Look::modifierHeld &&
            desktop.accessibility.owesAnswer(selected.element))
            return Look::away;
        return verdict;
    }
    Look lookNow(SelectedTarget& selected, const QueuedFor& queued, bool& selectedAgain) {
        Accessibility& ax = desktop.accessibility;
        if (!focusIsOn(selected.element))
            return Look::userActed;
        if (queued.value && readString(ax, selected.element, kAXValueAttribute) != queued.value)
            return Look::userActed;
        // Checked before anything is selected: the keystroke will not go,
        // and nothing of ours is left standing for the next key.
        if (desktop.input.inputHold().modifierIsDown())
            return Look::modifierHeld;
        const auto now = AXTextExtractor::selectedTextRange(ax, selected.element);
        if (selected.restingCaret && !selectedAgain) {
            if (now != selected.restingCaret ||
                ax.setAttributeValue(selected.element, kAXSelectedTextRangeAttribute,
                                     AXValue(selected.range)) != AXError::success)
                return Look::userActed;
            selectedAgain = true;
            selected.selectedAt = desktop.scheduler.now();
            return reportsSelection(selected) ? Look::go : Look::notYet;
        }
        if (reportsSelection(selected))
            return Look::go;
        // A browser takes a selection just made in its content process a
        // moment later; until then it still reports the caret. While the
        // devices are held, nothing else can have moved it.
        if (desktop.input.inputHold().holding() || (selectedAgain && now == selected.restingCaret))
            return Look::notYet;
        return Look::userActed;
    }

    // The field reports our range as its selection, holding the text it
    // should. Its own text of the range is not enough: it reads so before
    // the selection takes, and a paste then goes in at the caret.
    bool reportsSelection(const SelectedTarget& selected) {
        return AXTextExtractor::selectedTextRange(desktop.accessibility, selected.element) ==
                   selected.range &&
               selectionMatchesExpectedText(selected.text, selected.range, selected.element);
    }

    // Runs `post` once the field reports the selection the input is for;
    // otherwise logs why not (`what` names the keystroke and the input),
    // leaves nothing of
    // ours selected and tells the target.
    using Post = std::function<void(State&, SelectedTarget&)>;
    using Dropped = std::function<void(State&)>;
    struct Named {
        std::string_view keys;   // "Ctrl+V"
        std::string_view input;  // "paste"
    };
    void postWhenSelected(SelectedTarget selected, QueuedFor queued, Named what, Post post,
                          Dropped dropped, bool selectedAgain = false, int looked = 0) {
        const Look verdict = look(selected, queued, selectedAgain);
        if (verdict == Look::go) {
            if (selected.onPosted)
                selected.onPosted();
            post(*this, selected);
            return;
        }
        const int most =
            desktop.input.inputHold().holding() ? kHeldSelectionLooks : kSelectionLooks;
        // Waiting for an answer costs no looks: the count starts again
        // once the target answers (-1 marks the wait).
        const bool awaited = verdict == Look::away && selected.answerAwaitedUntil &&
                             desktop.scheduler.now() < *selected.answerAwaitedUntil;
        if (awaited && looked >= 0) {
            log("applyReplacement: the application does not answer; " + std::string(what.keys) +
                " waits for it");
            if (selected.onAwaitingAnswer)
                selected.onAwaitingAnswer();
        }
        if (awaited || (verdict == Look::notYet && looked < most)) {
            later(
                kSelectionLookSeconds,
                [selected = std::move(selected), queued, what, post = std::move(post), dropped,
                 looked, awaited](State& s) mutable {
                    s.postWhenSelected(std::move(selected), queued, what, std::move(post),
                                       std::move(dropped), true, awaited ? -1 : looked + 1);
                },
                [weak = weak_from_this(), dropped] {
                    if (const auto self = weak.lock(); self && dropped)
                        dropped(*self);
                });
            return;
        }
        if (selectedAgain && selected.restingCaret && verdict != Look::userActed)
            desktop.accessibility.setAttributeValue(selected.element, kAXSelectedTextRangeAttribute,
                                                    AXValue(*selected.restingCaret));
        if (dropped)
            dropped(*this);
        switch (verdict) {
            case Look::modifierHeld:
                log("applyReplacement: a modifier key is down; " + std::string(what.keys) +
                    " not sent");
                return abandoned(selected, InputAbandoned::modifierHeld);
            case Look::away:
                log("applyReplacement: the application did not answer in time; " +
                    std::string(what.keys) + " not sent");
                return abandoned(selected, InputAbandoned::targetAway);
            case Look::notYet:
                log("applyReplacement: the field never reported our selection; " +
                    std::string(what.keys) + " not sent");
                return abandoned(selected, InputAbandoned::selectionNotTaken);
            default:
                log("applyReplacement: focus, selection or text changed before " +
                    std::string(what.keys) + "; " + std::string(what.input) + " abandoned");
                return abandoned(selected, InputAbandoned::userActed);
        }
    }

    void abandoned(const SelectedTarget& selected, InputAbandoned why) {
        if (selected.onAbandoned)
            selected.onAbandoned(why);
    }

    // After a mouse drag: the drag landed in the element the monitor still
    // follows, and selected what it should have.
    bool dragSelected(const AXElement& element, const std::optional<std::string>& expected) {
        const auto observed = target().observedElement;
        if (!observed || *observed != element || !focusIsOn(element))
            return false;
        return !expected || currentSelectionMatchesExpectedText(*expected, element);
    }

    bool frontmostIsApplicationOf(const AXElement& element) {
        return field_focus::applicationIsInFront(desktop, element);
    }

    bool selectionMatchesExpectedText(std::string_view expected, Utf16Range range,
                                      const AXElement& element) {
        return AXTextExtractor::selectedRangeReadsAs(desktop.accessibility, element, range,
                                                     expected);
    }

    bool currentSelectionMatchesExpectedText(std::string_view expected, const AXElement& element) {
        return AXTextExtractor::selectionReadsAs(desktop.accessibility, element, expected);
    }

    bool postKeyPress(uint16_t keyCode, uint64_t flags, std::u16string unicode = {}) {
        InputEvents& input = desktop.input;
        return input.postKeyEvent(KeyEvent{keyCode, true, flags, unicode}) &&
               input.postKeyEvent(KeyEvent{keyCode, false, flags, std::move(unicode)});
    }

    bool postCommandV() { return postKeyPress(kKeyCodeV, kEventFlagCommand); }

    bool postUnicodeText(std::string_view s) {
        for (const std::string& character : text::characters(s)) {
            if (!postKeyPress(kKeyCodeUnicodeCarrier, 0, text::toUtf16(character)))
                return false;
        }
        return true;
    }

    bool postMouseDragSelection(Rect rect) {
        if (rect.width < 2.0 || rect.height < 2.0)
            return false;
        const double inset = std::min(std::max(rect.width * 0.08, 1.0), 6.0);
        // Events take the display's coordinates: top-left origin, y down.
        const double y = AXTextExtractor::primaryScreenHeight(desktop.screens) - rect.midY();
        const Point start{rect.minX() + inset, y};
        const Point end{rect.maxX() - inset, y};
        InputEvents& input = desktop.input;
        if (!input.postMouseEvent(MouseEvent{MouseEventType::leftMouseDown, start}))
            return false;
        for (int k = 1; k <= kDragSteps; ++k) {
            const double f = static_cast<double>(k) / kDragSteps;
            const Point at{start.x + (end.x - start.x) * f, start.y + (end.y - start.y) * f};
            if (!input.postMouseEvent(MouseEvent{MouseEventType::leftMouseDragged, at}))
                return false;
        }
        return input.postMouseEvent(MouseEvent{MouseEventType::leftMouseUp, end});
    }
};

SyntheticInput::SyntheticInput(Desktop desktop, TargetSource target, RunSource run)
    : state_(std::make_shared<State>(desktop, std::move(target), std::move(run))) {}

SyntheticInput::~SyntheticInput() = default;

SyntheticInput::QueuedFor SyntheticInput::queuedFor(const SelectedTarget& selected) {
    return QueuedFor{
        readString(state_->desktop.accessibility, selected.element, kAXValueAttribute)};
}

void SyntheticInput::abandonQueuedInput() {
    ++state_->epoch;
}

void SyntheticInput::later(double delay, Step step, std::function<void()> abandoned) {
    state_->later(delay, std::move(step), std::move(abandoned));
}

void SyntheticInput::log(std::string_view message) {
    state_->log(message);
}

bool SyntheticInput::selectReplacementRange(Utf16Range range, std::string_view expectedText,
                                            const AXElement& element, std::string_view logPrefix) {
    Accessibility& ax = state_->desktop.accessibility;
    ax.setAttributeValue(element, kAXFocusedAttribute, AXValue(true));
    if (const AXError err = ax.setAttributeValue(element, kAXSelectedTextRangeAttribute, range);
        err != AXError::success) {
        log(std::string(logPrefix) + " could not select AX range " + toString(range) +
            ", err=" + std::to_string(code(err)));
        return false;
    }
    if (selectionMatchesExpectedText(expectedText, range, element))
        return true;
    log(std::string(logPrefix) + " selected text did not match original; aborting replacement");
    return false;
}

bool SyntheticInput::selectionMatchesExpectedText(std::string_view expectedText, Utf16Range range,
                                                  const AXElement& element) {
    return state_->selectionMatchesExpectedText(expectedText, range, element);
}

bool SyntheticInput::currentSelectionMatchesExpectedText(std::string_view expectedText,
                                                         const AXElement& element) {
    return state_->currentSelectionMatchesExpectedText(expectedText, element);
}

bool SyntheticInput::pasteTextIntoFocusedElement(std::string_view text,
                                                 const SelectedTarget& selected) {
    const auto clipboard = state_->clipboard;
    const auto hold = clipboard->putText(text);
    if (!hold)
        return false;
    const auto queued = queuedFor(selected);
    state_->activateTargetApplication();
    later(
        kPasteDelay,
        [hold = *hold, selected = SelectedTarget(selected), queued](State& s) mutable {
            s.postWhenSelected(
                std::move(selected), queued, {"Ctrl+V", "paste"},
                [hold](State& s, SelectedTarget& selected) {
                    if (!s.pasteAndRestore(hold, selected.element, selected.onPasted,
                                           selected.selectedAt, selected.pasteTakenBy,
                                           selected.targetAway)) {
                        s.clipboard->release(hold);
                        s.log("applyReplacement: Ctrl+V post failed");
                    }
                },
                [hold](State& s) { s.clipboard->release(hold); });
        },
        [clipboard, hold = *hold] { clipboard->release(hold); });
    return true;
}

bool SyntheticInput::typeTextIntoFocusedElement(std::string_view text,
                                                const SelectedTarget& selected) {
    const auto queued = queuedFor(selected);
    state_->activateTargetApplication();
    later(kTypeDelay, [text = std::string(text), selected = SelectedTarget(selected),
                       queued](State& s) mutable {
        s.postWhenSelected(std::move(selected), queued, {"unicode typing", "typing"},
                           [text](State& s, SelectedTarget&) {
                               if (!s.postUnicodeText(text))
                                   s.log(
                                       "applyReplacement: unicode typing into focused element "
                                       "failed");
                           },
                           {});
    });
    return true;
}

bool SyntheticInput::deleteSelectedTextInFocusedElement(const SelectedTarget& selected) {
    // A backward Delete with nothing selected would take the Character
    // before the caret: the user's.
    if (selected.range.length <= 0)
        return false;
    const auto queued = queuedFor(selected);
    state_->activateTargetApplication();
    later(kDeleteDelay, [selected = SelectedTarget(selected), queued](State& s) mutable {
        s.postWhenSelected(std::move(selected), queued, {"Delete", "Delete"},
                           [](State& s, SelectedTarget&) {
                               if (!s.postKeyPress(kKeyCodeDelete, 0))
                                   s.log("applyReplacement: Delete key post failed");
                           },
                           {});
    });
    return true;
}

bool SyntheticInput::pasteTextIntoRect(std::string_view text, Rect rect,
                                       std::optional<std::string> expectedSelectedText,
                                       const AXElement& element) {
    const auto clipboard = state_->clipboard;
    const auto hold = clipboard->putText(text);
    if (!hold)
        return false;
    state_->activateTargetApplication();
    const auto restoreNow = [clipboard, hold = *hold] { clipboard->release(hold); };
    later(
        kDragDelay,
        [hold = *hold, rect, expected = std::move(expectedSelectedText), element,
         restoreNow](State& s) {
            // A drag while another application is in front would click
            // into that application.
            if (!s.frontmostIsApplicationOf(element) || !s.postMouseDragSelection(rect)) {
                s.clipboard->release(hold);
                s.log("applyReplacement: mouse selection before paste failed");
                return;
            }
            s.later(
                kPasteAfterDragDelay,
                [hold, expected, element](State& s) {
                    if (!s.dragSelected(element, expected)) {
                        s.clipboard->release(hold);
                        s.log(
                            "applyReplacement: mouse-selected text did not match original; "
                            "aborting paste");
                        return;
                    }
                    if (!s.pasteAndRestore(hold, element)) {
                        s.clipboard->release(hold);
                        s.log("applyReplacement: Ctrl+V after mouse selection failed");
                    }
                },
                restoreNow);
        },
        restoreNow);
    return true;
}

bool SyntheticInput::typeTextIntoRect(std::string_view text, Rect rect,
                                      std::optional<std::string> expectedSelectedText,
                                      const AXElement& element) {
    state_->activateTargetApplication();
    later(kDragDelay,
          [text = std::string(text), rect, expected = std::move(expectedSelectedText),
           element](State& s) {
              if (!s.frontmostIsApplicationOf(element) || !s.postMouseDragSelection(rect)) {
                  s.log("applyReplacement: mouse selection before unicode typing failed");
                  return;
              }
              s.later(
                  kTypeAfterDragDelay,
                  [text, expected, element](State& s) {
                      if (!s.dragSelected(element, expected)) {
                          s.log(
                              "applyReplacement: mouse-selected text did not match original; "
                              "aborting "
                              "unicode typing");
                          return;
                      }
                      if (!s.postUnicodeText(text))
                          s.log("applyReplacement: unicode typing after mouse selection failed");
                  },
                  {});
          },
          {});
    return true;
}

void SyntheticInput::activateTargetApplication() {
    state_->activateTargetApplication();
}

bool SyntheticInput::postCommandV() {
    return state_->postCommandV();
}

bool SyntheticInput::postRightArrow() {
    return state_->postKeyPress(kKeyCodeRightArrow, 0);
}

bool SyntheticInput::postUnicodeText(std::string_view text) {
    return state_->postUnicodeText(text);
}

bool SyntheticInput::postMouseDragSelection(Rect rect) {
    return state_->postMouseDragSelection(rect);
}

}  // namespace mivo
