#pragma once

// Keeps the user's clipboard safe while text of ours passes through it on
// its way into another application. There is one guard per pasteboard, so
// per process: every paste of the process (a correction, a rewrite) goes
// through it, and pastes that overlap share one saved copy of the user's
// contents. Were each paste to save on its own, the second would save the
// first one's text and put that back as the "user's" clipboard.
//
// Whoever else writes to the pasteboard while text of ours is on it (the
// user copying, another application) wins: nothing is put back over it. A
// clipboard manager that takes our text over unchanged is not someone
// else: our mark travels with the text, and the user's contents still come
// back. The text is marked secret, so managers that honour it keep none.
//
// A paste target fetches the text only when it handles the paste, which a
// busy application does late: where the pasteboard tells fetches, the
// user's contents come back shortly after the target fetched ours, at the
// latest after a bound; elsewhere after a fixed wait. A paste not fetched
// by its bound is withdrawn rather than answered with the user's contents:
// handled later still, wherever the caret is by then, it pastes nothing.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/log.hpp"
#include "platform/pasteboard.hpp"
#include "platform/scheduler.hpp"

namespace mivo {

class PasteboardGuard : public std::enable_shared_from_this<PasteboardGuard> {
  public:
    // One paste's claim on the pasteboard, from putting its text on until
    // its restore.
    struct Hold {
        uint64_t id = 0;
    };

    // The guard of this pasteboard, shared by everyone who holds it; a new
    // one when nobody does.
    static std::shared_ptr<PasteboardGuard> of(Pasteboard& pasteboard);
    // Whether a paste keystroke was sent with text of ours on this
    // pasteboard and its hold is not released yet. Its target may be
    // waiting for us to hand the text over, and answers no call meanwhile:
    // a call into it now would stall both sides until the call timed out,
    // and some applications give the paste up after a second. (Text left
    // on the pasteboard for the user is not in flight.)
    static bool pasteInFlight(Pasteboard& pasteboard);
    // A paste in flight whose target has not fetched our text yet (where
    // the pasteboard tells fetches): only then may it be waiting for us.
    // Once it has the text it answers again, if slowly, while it pastes.
    static bool awaitingFetch(Pasteboard& pasteboard);
    // The pastes in flight on this pasteboard are given up: their target
    // may still handle the keystroke, late, wherever its caret stands by
    // then, so from now until `until` (or a fetch meanwhile) a fetch finds
    // no text at all and pastes nothing; the user's contents come back
    // after that. False when no paste was in flight.
    static bool withdrawPasteInFlight(Pasteboard& pasteboard, TimePoint until);

    explicit PasteboardGuard(Pasteboard& pasteboard) : pasteboard_(pasteboard) {}
    PasteboardGuard(const PasteboardGuard&) = delete;
    PasteboardGuard& operator=(const PasteboardGuard&) = delete;

    // Where the save of the user's contents, their return and a withdrawal
    // of our text are logged, while it is set; nothing: not logged (the
    // one who pasted is gone, and its pending paste restores silently).
    void setLog(Log* log) { log_ = log; }
    Log* log() const { return log_; }

    // Saves the user's contents unless an earlier paste still holds them,
    // then puts `text` on the pasteboard as a string. When the pasteboard
    // refuses it, the user's contents go back at once and there is no hold;
    // when their owner does not hand them over in time, nothing is put on
    // (they could not be given back) and there is no hold either.
    std::optional<Hold> putText(std::string_view text);
    // Ends a hold. When it was the last one, the user's contents go back,
    // unless someone else has written to the pasteboard since we did.
    // Releasing a hold twice does nothing.
    void release(Hold hold);

    bool isHolding() const { return !holds_.empty(); }

    // What `releaseAfterPaste` compares with: read right before the paste
    // keystroke.
    std::optional<int64_t> fetchesBeforePaste() { return pasteboard_.textFetchCount(); }
    // Releases the hold once the target fetched our text (a short while
    // after its fetch) or the bound passed, and not before `waitUntil`
    // when one is given. Some targets fetch on the keystroke and again
    // when they paste (Chromium); with `pasted`, which tells whether the
    // paste has shown in the target, a fetch counts only once the paste
    // shows.
    // `targetAway`, when given, tells that the target does not answer
    // now: while it does not, and at most kAwayBound past the other ends,
    // our text stays, since a target that handles the keystroke when it
    // runs again would otherwise paste the user's contents over the text
    // selected for ours.
    // A target that has not fetched by then may still handle the keystroke
    // later, wherever its caret stands: our text is withdrawn as by
    // `withdrawPasteInFlight`, and the hold released kWithdrawnBound later,
    // or right after a fetch meanwhile.
    using PastedCheck = std::function<bool()>;
    using AwayCheck = std::function<bool()>;
    void releaseAfterPaste(Hold hold, Scheduler& scheduler, std::optional<int64_t> fetchesBefore,
                           PastedCheck pasted = {}, std::optional<TimePoint> waitUntil = {},
                           AwayCheck targetAway = {});
    // The same wait with the hold kept: `then` runs once the target has
    // fetched our text (or the bound passed), when whoever pasted may look
    // at the target again. Nothing runs once the hold was released.
    void afterTargetFetched(Hold hold, Scheduler& scheduler, std::optional<int64_t> fetchesBefore,
                            PastedCheck pasted, std::function<void()> then,
                            std::optional<TimePoint> waitUntil = {}, AwayCheck targetAway = {});

    static constexpr double kRestoreWithoutFetchCount = 0.4;
    static constexpr double kRestoreAfterFetch = 0.2;
    static constexpr double kFetchPollInterval = 0.05;
    static constexpr double kRestoreBound = 1.5;
    static constexpr double kAwayBound = 30;
    // A paste withdrawn finds no text this long at most, for a target that
    // handles the keystroke that late; the user's contents come back then.
    static constexpr double kWithdrawnBound = 10;
    static constexpr std::string_view kMarkType = "application/x-mivo-paste";
    static constexpr std::string_view kSecretHintType = "x-kde-passwordManagerHint";

  private:
    // The guard of this pasteboard, when someone holds one.
    static std::shared_ptr<PasteboardGuard> existing(Pasteboard& pasteboard);
    bool writtenByUs() { return pasteboard_.changeCount() == ourChangeCount_; }
    // Our mark (the user's contents come back over it) and the hint that
    // asks clipboard managers to keep none of it.
    void addOurMarks(PasteboardItem& item) const;
    // Our text is still what the pasteboard holds, whoever holds it now.
    bool carriesOurMark();
    // What the pasteboard holds carries a mark of ours, of any paste: text
    // of ours, or our withdrawal, is never taken for the user's contents,
    // also where the pasteboard reports our own writes late (X11 through
    // Qt) or a clipboard manager took it over.
    bool carriesAnyMarkOfOurs();
    static bool markedAsOurs(const std::vector<PasteboardItem>& items);
    void log(std::string_view line);
    struct FetchWait {
        int64_t fetchesBefore = 0;
        std::optional<TimePoint> until;
        AwayCheck targetAway;
        double waited = 0;
        TimePoint lastLook{};
        // Not fetched by the end of the wait: the text is withdrawn rather
        // than handed back to whoever waits.
        bool withdraws = false;
    };
    void awaitTarget(Hold hold, Scheduler& scheduler, std::optional<int64_t> fetchesBefore,
                     PastedCheck pasted, std::function<void()> then, FetchWait wait);
    void awaitFetch(Hold hold, Scheduler& scheduler, FetchWait wait, PastedCheck pasted,
                    std::function<void()> then);
    // The wait for the target is over: the paste is no longer in flight,
    // and `then` runs while the hold lasts.
    void fetched(Hold hold, const std::function<void()>& then);
    bool withdraw(TimePoint until);

    Pasteboard& pasteboard_;
    Log* log_ = nullptr;
    // The user's contents as last saved: kept after they were given back,
    // for a paste that finds text of ours still on the pasteboard.
    std::vector<PasteboardItem> saved_;
    std::set<uint64_t> holds_;
    // Holds whose paste keystroke was sent, until they are released.
    std::set<uint64_t> inFlight_;
    uint64_t nextHold_ = 1;
    // The change count right after our last write: anything else means
    // someone else wrote since.
    int64_t ourChangeCount_ = -1;
    std::string mark_;
    // Our text was taken off until then: nothing is given back before.
    std::optional<TimePoint> withdrawnUntil_;
    // The fetch count at the latest paste keystroke in flight.
    std::optional<int64_t> fetchesAtKeystroke_;
    std::optional<int64_t> fetchesAtWithdrawal_;
};

}  // namespace mivo
