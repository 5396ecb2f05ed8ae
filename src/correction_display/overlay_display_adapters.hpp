#pragma once

// The highlight overlay and the correction panel behind the display
// controller's interfaces.

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "correction_display/correction_display_ports.hpp"

namespace mivo {

class HighlightOverlay;
class OverlayCoordinator;

class HighlightDisplayAdapter final : public HighlightDisplay {
  public:
    explicit HighlightDisplayAdapter(HighlightOverlay& overlay) : overlay_(overlay) {}
    void show(const std::vector<HighlightAnnotation>& annotations) override;
    void hide() override;
    void hide(const std::set<std::string>& issueIDs) override;

  private:
    HighlightOverlay& overlay_;
};

class PanelDisplayAdapter final : public CorrectionPanelDisplay {
  public:
    explicit PanelDisplayAdapter(OverlayCoordinator& overlay) : overlay_(overlay) {}
    void show(const std::vector<CorrectionIssue>& issues, std::optional<Rect> near) override;
    void hide() override;
    std::optional<Rect> frame() const override;
    void showNotice(const std::string& message, std::optional<Rect> near) override;

  private:
    OverlayCoordinator& overlay_;
};

}  // namespace mivo
