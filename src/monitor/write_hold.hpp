#pragma once

// The input held for a write: from the press of Apply until the correction
// has shown (or has been given up) and the caret is back, every keyboard
// and pointer waits, and what the user or another program did meanwhile
// goes on after it. The devices are one, so there is one hold: the press
// starts it, a write takes it over, and however a write ends, it ends the
// hold through one place, in one order: the caret back, the held input
// sent on (or kept out of a target that may still select text of ours),
// the user told. Nothing else in the monitor starts or ends the hold, or
// bounds the calls made under it. The user's clipboard is not given back
// here: that is the paste's, which waits for the target to fetch our text,
// and a target that does not answer may fetch it long after the hold.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "field/synthetic_input.hpp"
#include "monitor/replacement_host.hpp"
#include "monitor/replacement_outcome.hpp"
#include "monitor/write_watch.hpp"
#include "platform/cancel.hpp"
#include "platform/scheduler.hpp"

namespace mivo {

class WriteHold {
  public:
    // At most this long, whatever happens.
    static constexpr double kLimitSeconds = 2.5;
    // The hold ends by its bound this long before the devices' own limit,
    // through the same end as every other, and calls made meanwhile give
    // up by then.
    static constexpr double kEndsBeforeLimit = 0.1;
    // Held input that waits for an application that owes us an answer
    // outlasts the bound, counted from the same start: until it answers,
    // a key let through could replace a selection of ours it still makes,
    // and one typed later could overtake the held ones. Past this the
    // held keys are given up, and the user is told so.
    static constexpr double kAwayLimitSeconds = 10.0;

    // What only the ladder knows: which write's application owes an answer
    // to a request of ours, and whether a read of a write's field shows
    // its correction in.
    struct Waits {
        std::function<std::shared_ptr<WriteWatch>()> owedAnswer;
        std::function<bool(const WriteWatch&, const FieldText&)> shows;
        // No way of writing started because its application let a call go
        // unanswered, and it answers again before the bound with nothing
        // of ours in: the write begins again.
        std::function<void(const std::shared_ptr<WriteWatch>&)> writeAgain;
    };

    // Nothing went in: what the user is told once the held input went on.
    struct Unwritten {
        // What the field holds; read from the write's field after the held
        // input went on when not given.
        std::optional<UnwrittenField> field = {};
        std::optional<InputAbandoned> why = {};
    };

    struct End {
        // The write ending: our selection of its original gives way to the
        // user's caret while its field is followed, and a notice reads its
        // field.
        const WriteWatch* write = nullptr;
        // The monitor no longer follows the write's field (the focus moved
        // mid-write): our selection gives way there all the same, and a
        // correction it showed leaves the caret where the user had it, for
        // keys that still go to it.
        bool fieldLeft = false;
        // Its application let a request of ours go unanswered up to the
        // away limit and may still select the original when it runs
        // again: the caret is asked for behind our requests, and the held
        // keys are kept out of it (the user is told when there were any).
        bool targetAway = false;
        std::optional<Unwritten> told = {};
        // The caret goes back where the user had it before the held input
        // goes on: the end waits until the field reports it there (a
        // moment at most), and ends then as a plain end.
        struct CaretBack {
            std::shared_ptr<WriteWatch> write;
            CaretRestore when = CaretRestore::ifWhereTheWriteLeftIt;
            // Asked for already: looked for here in the write's field.
            std::optional<Utf16Range> at = {};
        };
        std::optional<CaretBack> caretBack = {};
    };

    // The monitor that owns the ladder outlives it.
    WriteHold(ReplacementHost& host, Waits waits);
    ~WriteHold();
    WriteHold(const WriteHold&) = delete;
    WriteHold& operator=(const WriteHold&) = delete;

    // The one start: at the press of Apply, and when the write begins. A
    // hold already on is kept with its bound, counted from the press, and
    // the latest write to start owns it: an earlier write's end still
    // ends it (the devices are one), but the selection taken back at the
    // bound is the latest write's. False when nothing could be held (a
    // key is down, another program holds the keyboard).
    bool start(std::weak_ptr<WriteWatch> write = {});
    // The one end, from every way a write ends.
    void end(const End& end);
    // Puts the caret where the user had it, moved by the correction; a
    // caret the user moved meanwhile stays, as `when` tells.
    bool restoreCaret(const WriteWatch& write, CaretRestore when);
    // A notice outside an end: the hold already ended before the field
    // was looked at.
    void tell(const WriteWatch* write, const Unwritten& told);

    bool holds() const;
    // The write the hold is for now; nothing for a hold the press took
    // after every write before it had let go of the devices.
    std::shared_ptr<WriteWatch> write() const { return holds() ? write_.lock() : nullptr; }
    // When the hold ends by itself; nothing while nothing is held.
    std::optional<TimePoint> bound() const;

    // A key of the user's is down: a hold is taken once it comes up.
    bool keyIsDown() const;
    bool modifierIsDown() const;
    // Key events sent on at the end of holds so far.
    uint64_t keysTypedOn() const;

  private:
    // Until when held input may wait for an application to answer.
    std::optional<TimePoint> awayLimit() const;
    // The wait is over (the application answered, or the devices went by
    // their own limit): the next end sends the input on.
    void answered() { waiting_ = answerAwaited_ = false; }
    void boundReached();
    void caretBackThenEnd(const End::CaretBack& back);
    // The caret is set over the accessibility bus and the held keys go
    // through the X server: looked for `looksLeft` more times before the
    // end; `at` when not the user's caret after the correction.
    void endOnceCaretIsBack(std::shared_ptr<WriteWatch> write, int looksLeft,
                            std::optional<Utf16Range> at = std::nullopt);
    // The held input waits for an application past the bound: the devices
    // are kept up to the away limit.
    void awaitBeyondTheBound();
    // The held input goes on once the write's application answers again,
    // or its keys are kept out of it when the away limit comes first.
    void awaitAnswer(std::shared_ptr<WriteWatch> write);
    // Our selection taken back once the application answers again.
    void takeBackOnceAnswered(std::shared_ptr<WriteWatch> write, int looksLeft);
    // What a notice says of the write's field as it reads now.
    UnwrittenField fieldNow(const WriteWatch& write);
    // Frees the devices; answers the key presses kept out.
    int release(bool typeKeys);

    ReplacementHost& host_;
    Waits waits_;
    std::weak_ptr<WriteWatch> write_;
    std::optional<TimePoint> bound_;
    // When the hold was taken: the one start every limit counts from.
    TimePoint start_{};
    Cancel boundStep_;
    // The held input waits for an application to answer; an end meanwhile
    // leaves it waiting, and so does the bound: the wait keeps its own,
    // the away limit.
    bool waiting_ = false;
    // The held input waits in a step of the hold's own: for the answer of
    // an application that let a request of ours go unanswered, or for the
    // caret to come back (a moment at most). An end meanwhile, a check's
    // of the same write, leaves it to that step: the application may
    // answer that check first, and keys let go then would overtake our
    // caret request, or go into a selection of ours it still makes.
    bool answerAwaited_ = false;
    bool caretAwaited_ = false;
};

}  // namespace mivo
