#include "monitor/pasteboard_guard.hpp"

#include <map>
#include <string>

namespace mivo {

std::shared_ptr<PasteboardGuard> PasteboardGuard::of(Pasteboard& pasteboard) {
    // Weak entries: the guard lives exactly as long as someone holds it, so
    // a pasteboard made later at the same address never finds a stale one.
    static std::map<const Pasteboard*, std::weak_ptr<PasteboardGuard>> guards;
    std::erase_if(guards, [](const auto& entry) { return entry.second.expired(); });
    if (auto existing = guards[&pasteboard].lock())
        return existing;
    auto guard = std::make_shared<PasteboardGuard>(pasteboard);
    guards[&pasteboard] = guard;
    return guard;
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
    if (!pasteboard_.writeItems({stringItem(std::string(text))})) {
        release(hold);
        return std::nullopt;
    }
    ourChangeCount_ = pasteboard_.changeCount();
    return hold;
}

void PasteboardGuard::release(Hold hold) {
    if (holds_.erase(hold.id) == 0 || !holds_.empty())
        return;
    if (writtenByUs()) {
        pasteboard_.clearContents();
        if (!saved_.empty())
            pasteboard_.writeItems(saved_);
    }
    saved_.clear();
}

}  // namespace mivo
