#include "monitor/write_watch.hpp"

#include "platform/ax_names.hpp"

namespace mivo {

bool takeBackOurSelection(Accessibility& ax, const WriteWatch& watch) {
    const auto& before = watch.caret.before;
    if (!before)
        return false;
    const auto now = AXTextExtractor::selectedTextRange(ax, watch.element);
    return now && now->length > 0 && now != before &&
           AXTextExtractor::selectionReadsAs(ax, watch.element, watch.issue.original) &&
           ax.setAttributeValue(watch.element, kAXSelectedTextRangeAttribute, AXValue(*before)) ==
               AXError::success;
}

}  // namespace mivo
