#pragma once

// The monitor and the engine behind the controller's interfaces.

#include "correction_display/correction_display_ports.hpp"

namespace mivo {

class AccessibilityMonitor;
class LocalCorrectionService;

// Ranges go to the monitor as the issues hold them, in Characters of the
// text last checked: the monitor converts them once to the field's UTF-16
// units (and moves them by the start of a caret window).
class MonitorCorrectionTextField final : public CorrectionTextField {
  public:
    explicit MonitorCorrectionTextField(AccessibilityMonitor& monitor) : monitor_(monitor) {}
    std::optional<Rect> boundsForRange(uint64_t block, int64_t start, int64_t length) override;
    bool stillReadsAsChecked(uint64_t block, const std::string& checkedText, int64_t end) override;
    std::optional<Rect> visibleFrame(uint64_t block) override;
    std::optional<TimePoint> lastEditSeen() override;
    void applyReplacement(uint64_t block, const CorrectionIssue& issue) override;
    void applyReplacements(uint64_t block, const std::vector<CorrectionIssue>& issues) override;

  private:
    AccessibilityMonitor& monitor_;
};

class LocalCorrectionChecker final : public CorrectionChecker {
  public:
    explicit LocalCorrectionChecker(const LocalCorrectionService& service) : service_(service) {}
    std::vector<CorrectionIssue> analyze(const CompletedSentenceCandidate& sentence,
                                         const LocalCorrectionOptions& options) override;

  private:
    const LocalCorrectionService& service_;
};

}  // namespace mivo
