#include "correction_display/correction_display_adapters.hpp"

#include "correction/local_correction_service.hpp"
#include "monitor/accessibility_monitor.hpp"

namespace mivo {

std::optional<Rect> MonitorCorrectionTextField::boundsForRange(uint64_t block, int64_t start,
                                                               int64_t length) {
    return monitor_.boundsForRange(start, length, block);
}

bool MonitorCorrectionTextField::stillReadsAsChecked(uint64_t block, const std::string& checkedText,
                                                     int64_t end) {
    return monitor_.stillReadsAsAnalyzed(checkedText, end, block);
}

std::optional<Rect> MonitorCorrectionTextField::visibleFrame(uint64_t block) {
    return monitor_.visibleFieldFrame(block);
}

std::optional<TimePoint> MonitorCorrectionTextField::lastEditSeen() {
    // Every change the monitor hears of schedules an analysis.
    const auto& times = monitor_.recentChangeTimestamps();
    if (times.empty())
        return std::nullopt;
    return times.back();
}

void MonitorCorrectionTextField::applyReplacement(uint64_t block, const CorrectionIssue& issue) {
    monitor_.applyReplacement(issue, block);
}

void MonitorCorrectionTextField::applyReplacements(uint64_t block,
                                                   const std::vector<CorrectionIssue>& issues) {
    monitor_.applyReplacements(issues, block);
}

std::vector<CorrectionIssue> LocalCorrectionChecker::analyze(
    const CompletedSentenceCandidate& sentence, const LocalCorrectionOptions& options) {
    return service_.analyze(sentence, options);
}

}  // namespace mivo
