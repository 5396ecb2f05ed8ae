// A rich-text field of several lines: the line the user writes in is a
// block of its own inside it, and that block is the field followed.

#include <string_view>

#include "monitor/accessibility_monitor.hpp"

namespace mivo {
namespace {

// U+FFFC stands in a field's own text for each block or inline object.
constexpr std::string_view kObjectReplacement = "\xEF\xBF\xBC";

}  // namespace

bool AccessibilityMonitor::followBlockWithCaretInstead(const FieldText& text) {
    // A block followed for its caret never holds the focus itself: only the
    // field that does can turn into blocks under the caret (a browser's
    // rich text whose first Return made a block of each line).
    if (!observedElement_ || !observedHeldFocus_ ||
        text.text.find(kObjectReplacement) == std::string_view::npos)
        return false;
    const auto focused = searchFocusedField();
    if (!focused || focused == observedElement_)
        return false;
    log("observe: the caret is in a block inside the field — following the block");
    scheduleStep(0, [this, element = *observedElement_] {
        if (isMonitoring() && observedElement_ == element)
            handleFocusChanged();
    });
    return true;
}

}  // namespace mivo
