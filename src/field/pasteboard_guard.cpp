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

bool PasteboardGuard::pasteInFlight(Pasteboard& pasteboard) {
    auto& all = guards();
    const auto found = all.find(&pasteboard);
    if (found == all.end())
        return false;
    const auto guard = found->second.lock();
    return guard != nullptr && !guard->inFlight_.empty();
}

std::optional<PasteboardGuard::Hold> PasteboardGuard::putText(std::string_view text) {
    if (holds_.empty() || !writtenByUs()) {
        // Nothing of ours is on it: what it holds is the user's, also when
        // the user copied while an earlier paste was still pending.
        saved_ = pasteboard_.items();
    }
    const Hold hold{nextHold_++};
    holds_.insert(hold.id);
    ourChangeCount_ = pasteboard_.clearContents();
    mark_ = "mivo-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "-" +
            std::to_string(hold.id);
    PasteboardItem item = stringItem(std::string(text));
    item.entries.push_back(PasteboardEntry{std::string(kMarkType), mark_});
    item.entries.push_back(PasteboardEntry{std::string(kSecretHintType), "secret"});
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
    if (writtenByUs() || carriesOurMark()) {
        pasteboard_.clearContents();
        if (!saved_.empty())
            pasteboard_.writeItems(saved_);
    }
    saved_.clear();
    mark_.clear();
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
    afterTargetFetched(
        hold, scheduler, fetchesBefore, std::move(pasted),
        [self = shared_from_this(), hold] { self->release(hold); }, waitUntil,
        std::move(targetAway));
}

void PasteboardGuard::afterTargetFetched(Hold hold, Scheduler& scheduler,
                                         std::optional<int64_t> fetchesBefore, PastedCheck pasted,
                                         std::function<void()> then,
                                         std::optional<TimePoint> waitUntil, AwayCheck targetAway) {
    if (!holds_.contains(hold.id))
        return;
    inFlight_.insert(hold.id);
    if (!fetchesBefore) {
        scheduler.after(kRestoreWithoutFetchCount,
                        [self = shared_from_this(), hold, then = std::move(then)] {
                            self->fetched(hold, then);
                        });
        return;
    }
    awaitFetch(hold, scheduler,
               FetchWait{.fetchesBefore = *fetchesBefore,
                         .until = waitUntil,
                         .targetAway = std::move(targetAway),
                         .lastLook = scheduler.now()},
               std::move(pasted), std::move(then));
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
            self->fetched(hold, then);
            return;
        }
        self->awaitFetch(hold, scheduler, wait, std::move(pasted), std::move(then));
    });
}
}  // namespace mivo
