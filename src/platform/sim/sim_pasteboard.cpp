#include "platform/sim/sim_pasteboard.hpp"

#include <utility>

namespace mivo::sim {

int64_t SimPasteboard::clearContents() {
    items_.clear();
    // Ours from now on, and we always hand them over.
    ownerAnswers_ = true;
    return ++changeCount_;
}

bool SimPasteboard::writeItems(const std::vector<PasteboardItem>& items) {
    if (refusesWrites_)
        return false;
    items_.insert(items_.end(), items.begin(), items.end());
    ++changeCount_;
    return true;
}

std::optional<int64_t> SimPasteboard::textFetchCount() {
    if (!countsFetches_)
        return std::nullopt;
    return fetches_;
}

void SimPasteboard::userCopies(std::vector<PasteboardItem> items) {
    items_ = std::move(items);
    ++changeCount_;
}

std::optional<std::vector<PasteboardItem>> SimPasteboard::itemsIfHandedOver() {
    if (!ownerAnswers_ && !items_.empty())
        return std::nullopt;
    return items_;
}

}  // namespace mivo::sim
