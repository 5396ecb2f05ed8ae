#include "field/pasteboard_guard.hpp"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace mivo {

namespace {

// Weak entries: a guard lives exactly as long as someone holds it, so a
// pasteboard made later at the same address never finds a stale one.
std::map<const Pasteboard*, std::weak_ptr<PasteboardGuard>>& guards() {
    static std::map<const Pasteboard*, std::weak_ptr<PasteboardGuard>> all;
    std::erase_if(all, [](const auto& entry) { return entry.second.expired(); });
    return all;
}

}  // namespace

std::shared_ptr<PasteboardGuard> PasteboardGuard::of(Pasteboard& pasteboard) {
    auto& all = guards();
    if (auto existing = all[&pasteboard].lock())
        return existing;
    auto guard = std::make_shared<PasteboardGuard>(pasteboard);
    all[&pasteboard] = guard;
    return guard;
}

std::shared_ptr<PasteboardGuard> PasteboardGuard::existing(Pasteboard& pasteboard) {
    auto& all = guards();
    const auto found = all.find(&pasteboard);
    return found == all.end() ? nullptr : found->second.lock();
}

bool PasteboardGuard::pasteInFlight(Pasteboard& pasteboard) {
    const auto guard = existing(pasteboard);
    return guard != nullptr && !guard->inFlight_.empty();
}

bool PasteboardGuard::awaitingFetch(Pasteboard& pasteboard) {
    const auto guard = existing(pasteboard);
    if (guard == nullptr || guard->inFlight_.empty())
        return false;
    const auto fetches = pasteboard.textFetchCount();
    return !fetches || !guard->fetchesAtKeystroke_ || *fetches == *guard->fetchesAtKeystroke_;
}

bool PasteboardGuard::withdrawPasteInFlight(Pasteboard& pasteboard, TimePoint until) {
    const auto guard = existing(pasteboard);
    return guard != nullptr && guard->withdraw(until);
}

bool PasteboardGuard::withdraw(TimePoint until) {
    if (inFlight_.empty())
        return false;
    inFlight_.clear();
    withdrawnUntil_ = until;
    fetchesAtWithdrawal_ = pasteboard_.textFetchCount();
    if (!writtenByUs() && !carriesOurMark())
        return true;
    log("clipboard: our text withdrawn, not taken in time; no text on it until the target "
        "pastes or " +
        std::to_string(static_cast<int>(kWithdrawnBound)) + " s pass");
    // Our mark alone: no text to paste, and still ours to give back. An
    // empty string would be pasted, and delete a selection still standing.
    PasteboardItem mark;
    addOurMarks(mark);
    pasteboard_.clearContents();
    pasteboard_.writeItems({mark});
    ourChangeCount_ = pasteboard_.changeCount();
    return true;
}

std::optional<PasteboardGuard::Hold> PasteboardGuard::putText(std::string_view text) {
    if (holds_.empty() || !writtenByUs()) {
        // Nothing of ours is on it: what it holds is the user's, also when
        // the user copied while an earlier paste was still pending. What
        // carries our mark is ours, however it came back: the contents
        // saved before stay the user's.
        auto handedOver = pasteboard_.itemsIfHandedOver();
        // Taken over, contents that could not be read would be lost for
        // good: the clipboard stays its owner's, and no paste goes.
        if (!handedOver) {
            log("clipboard: its owner did not hand the user's contents over in time; left to "
                "it, no paste");
            return std::nullopt;
        }
        auto now = std::move(*handedOver);
        if (!markedAsOurs(now)) {
            saved_ = std::move(now);
            log("clipboard: the user's contents saved (" + std::to_string(saved_.size()) +
                " items)");
        } else {
            log("clipboard: text of ours is on it; the user's contents saved before are kept");
        }
    }
    const Hold hold{nextHold_++};
    holds_.insert(hold.id);
    // Text of ours goes on again: nothing withdrawn stands to be kept.
    withdrawnUntil_.reset();
    fetchesAtWithdrawal_.reset();
    ourChangeCount_ = pasteboard_.clearContents();
    mark_ = "mivo-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "-" +
            std::to_string(hold.id);
    PasteboardItem item = stringItem(std::string(text));
    addOurMarks(item);
    if (!pasteboard_.writeItems({item})) {
        release(hold);
        return std::nullopt;
    }
    ourChangeCount_ = pasteboard_.changeCount();
    return hold;
}

void PasteboardGuard::release(Hold hold) {
    inFlight_.erase(hold.id);
    if (holds_.erase(hold.id) == 0 || !holds_.empty())
        return;
    withdrawnUntil_.reset();
    fetchesAtWithdrawal_.reset();
    if (writtenByUs() || carriesAnyMarkOfOurs()) {
        pasteboard_.clearContents();
        if (!saved_.empty())
            pasteboard_.writeItems(saved_);
        log("clipboard: the user's contents given back");
    } else {
        log("clipboard: another program wrote to it meanwhile; left as it is");
    }
    mark_.clear();
}

bool PasteboardGuard::carriesAnyMarkOfOurs() {
    return markedAsOurs(pasteboard_.items());
}

bool PasteboardGuard::markedAsOurs(const std::vector<PasteboardItem>& items) {
    return std::ranges::any_of(items, [](const PasteboardItem& item) {
        const auto mark = item.dataForType(kMarkType);
        return mark && mark->starts_with("mivo-");
    });
}

void PasteboardGuard::log(std::string_view line) {
    if (log_ != nullptr)
        log_->write("[Mivo] " + std::string(line));
}

void PasteboardGuard::addOurMarks(PasteboardItem& item) const {
    item.entries.push_back(PasteboardEntry{std::string(kMarkType), mark_});
    item.entries.push_back(PasteboardEntry{std::string(kSecretHintType), "secret"});
}

bool PasteboardGuard::carriesOurMark() {
    if (mark_.empty())
        return false;
    const auto items = pasteboard_.items();
    return !items.empty() && items.front().dataForType(kMarkType) == mark_;
}

void PasteboardGuard::releaseAfterPaste(Hold hold, Scheduler& scheduler,
                                        std::optional<int64_t> fetchesBefore, PastedCheck pasted,
                                        std::optional<TimePoint> waitUntil, AwayCheck targetAway) {
    // Given back only once no late paste can take it: the user's contents
    // pasted at the target's caret would be as wrong as our text there.
    awaitTarget(
        hold, scheduler, fetchesBefore, std::move(pasted),
        [self = shared_from_this(), hold] { self->release(hold); },
        FetchWait{.until = waitUntil, .targetAway = std::move(targetAway), .withdraws = true});
}

void PasteboardGuard::afterTargetFetched(Hold hold, Scheduler& scheduler,
                                         std::optional<int64_t> fetchesBefore, PastedCheck pasted,
                                         std::function<void()> then,
                                         std::optional<TimePoint> waitUntil, AwayCheck targetAway) {
    awaitTarget(hold, scheduler, fetchesBefore, std::move(pasted), std::move(then),
                FetchWait{.until = waitUntil, .targetAway = std::move(targetAway)});
}

void PasteboardGuard::awaitTarget(Hold hold, Scheduler& scheduler,
                                  std::optional<int64_t> fetchesBefore, PastedCheck pasted,
                                  std::function<void()> then, FetchWait wait) {
    if (!holds_.contains(hold.id))
        return;
    inFlight_.insert(hold.id);
    fetchesAtKeystroke_ = fetchesBefore;
    if (!fetchesBefore) {
        scheduler.after(kRestoreWithoutFetchCount,
                        [self = shared_from_this(), hold, then = std::move(then)] {
                            self->fetched(hold, then);
                        });
        return;
    }
    wait.fetchesBefore = *fetchesBefore;
    wait.lastLook = scheduler.now();
    awaitFetch(hold, scheduler, std::move(wait), std::move(pasted), std::move(then));
}

void PasteboardGuard::fetched(Hold hold, const std::function<void()>& then) {
    inFlight_.erase(hold.id);
    if (holds_.contains(hold.id))
        then();
}

void PasteboardGuard::awaitFetch(Hold hold, Scheduler& scheduler, FetchWait wait,
                                 PastedCheck pasted, std::function<void()> then) {
    scheduler.after(kFetchPollInterval, [self = shared_from_this(), &scheduler, hold, wait,
                                         pasted = std::move(pasted),
                                         then = std::move(then)]() mutable {
        if (!self->holds_.contains(hold.id))
            return;
        const auto fetches = self->pasteboard_.textFetchCount();
        // A paste withdrawn is no longer waited for, but the target that
        // still handles it must find no text: until its fetch, at most
        // until the withdrawal's end.
        if (self->withdrawnUntil_) {
            const bool lateFetch =
                fetches && self->fetchesAtWithdrawal_ && *fetches > *self->fetchesAtWithdrawal_;
            if (lateFetch || scheduler.now() >= *self->withdrawnUntil_)
                scheduler.after(lateFetch ? kRestoreAfterFetch : 0,
                                [self, hold, then] { self->fetched(hold, then); });
            else
                self->awaitFetch(hold, scheduler, wait, std::move(pasted), std::move(then));
            return;
        }
        // The target is asked only after a fetch: one that fetches while it
        // handles the keystroke must not wait for our question.
        if (fetches && *fetches > wait.fetchesBefore && (!pasted || pasted())) {
            // The target reads the rest of its request a moment later.
            scheduler.after(kRestoreAfterFetch, [self, hold, then] { self->fetched(hold, then); });
            return;
        }
        // Only time in which the loop could serve the target's request
        // counts: a look that comes late because the loop was held up
        // (a call into a busy application) counts as one interval at most,
        // and the request that waited meanwhile is served before the next.
        const TimePoint now = scheduler.now();
        const double gap = std::chrono::duration<double>(now - wait.lastLook).count();
        wait.waited += std::min(gap, 2 * kFetchPollInterval);
        wait.lastLook = now;
        // A later end counts on the clock: it is where whoever pasted must
        // look at the target again.
        if (wait.waited >= kRestoreBound && (!wait.until || now >= *wait.until) &&
            !(wait.targetAway && wait.waited < kRestoreBound + kAwayBound && wait.targetAway())) {
            if (!wait.withdraws || !self->withdraw(now + seconds(kWithdrawnBound)))
                return self->fetched(hold, then);
        }
        self->awaitFetch(hold, scheduler, wait, std::move(pasted), std::move(then));
    });
}
}  // namespace mivo
