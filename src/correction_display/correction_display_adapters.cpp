#include "correction_display/correction_display_adapters.hpp"

#include "correction/local_correction_service.hpp"
#include "monitor/accessibility_monitor.hpp"

namespace mivo {

std::optional<Rect> MonitorCorrectionTextField::boundsForRange(int64_t start, int64_t length) {
    return monitor_.boundsForRange(start, length);
}

bool MonitorCorrectionTextField::stillReadsAsChecked(const std::string& checkedText, int64_t end) {
    return monitor_.stillReadsAsAnalyzed(checkedText, end);
}

std::optional<Rect> MonitorCorrectionTextField::visibleFrame() {
    return monitor_.visibleFieldFrame();
}

void MonitorCorrectionTextField::applyReplacement(const CorrectionIssue& issue) {
    monitor_.applyReplacement(issue);
}

void MonitorCorrectionTextField::applyReplacements(const std::vector<CorrectionIssue>& issues) {
    monitor_.applyReplacements(issues);
}

std::vector<CorrectionIssue> LocalCorrectionChecker::analyze(
    const CompletedSentenceCandidate& sentence, const LocalCorrectionOptions& options) {
    return service_.analyze(sentence, options);
}

}  // namespace mivo
