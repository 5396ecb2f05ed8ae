#include "correction_display/overlay_display_adapters.hpp"

#include "overlay/highlight_overlay.hpp"
#include "overlay/overlay_coordinator.hpp"

namespace mivo {

void HighlightDisplayAdapter::show(const std::vector<HighlightAnnotation>& annotations) {
    overlay_.show(annotations);
}

void HighlightDisplayAdapter::hide() {
    overlay_.hide();
}

void HighlightDisplayAdapter::hide(const std::set<std::string>& issueIDs) {
    overlay_.hide(issueIDs);
}

void PanelDisplayAdapter::show(const std::vector<CorrectionIssue>& issues,
                               std::optional<Rect> near) {
    overlay_.show(issues, near);
}

void PanelDisplayAdapter::hide() {
    overlay_.hide();
}

std::optional<Rect> PanelDisplayAdapter::frame() const {
    if (overlay_.state().isHidden())
        return std::nullopt;
    return overlay_.currentPanelFrame();
}

void PanelDisplayAdapter::showNotice(const std::string& message, std::optional<Rect> near) {
    overlay_.showNotice(message, near);
}

}  // namespace mivo
