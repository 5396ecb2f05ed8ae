#include "overlay/correction_panel_model.hpp"

#include <algorithm>
#include <utility>

namespace mivo {

CorrectionPanelModel::CorrectionPanelModel(std::vector<CorrectionIssue> issues,
                                           IssuesHandler onApply, IssuesHandler onDismiss,
                                           std::function<void(bool)> onHoverChanged)
    : issues_(std::move(issues)),
      onApply_(std::move(onApply)),
      onDismiss_(std::move(onDismiss)),
      onHoverChanged_(std::move(onHoverChanged)) {
    // An empty panel has nothing to show or hand back; one blank issue keeps
    // every read defined.
    if (issues_.empty())
        issues_.emplace_back();
}

std::shared_ptr<CorrectionPanelModel> CorrectionPanelModel::notice(std::string message) {
    auto model = std::make_shared<CorrectionPanelModel>(std::vector<CorrectionIssue>{}, nullptr,
                                                        nullptr, nullptr);
    model->notice_ = std::move(message);
    return model;
}

const CorrectionIssue& CorrectionPanelModel::selectedIssue() const {
    return issues_[std::min(selectedIndex_, issues_.size() - 1)];
}

void CorrectionPanelModel::select(std::size_t index) {
    if (index < issues_.size())
        selectedIndex_ = index;
}

void CorrectionPanelModel::toggleExplanation() {
    showExplanation_ = !showExplanation_;
}

void CorrectionPanelModel::apply() {
    // A double click, or a click on a panel still closing: the correction
    // is written once.
    if (applied_)
        return;
    applied_ = true;
    // A copy: the handler may close the panel and drop this model.
    const std::vector<CorrectionIssue> chosen{selectedIssue()};
    if (onApply_)
        onApply_(chosen);
}

void CorrectionPanelModel::applyPressed() {
    if (!applied_ && onApplyPress_)
        onApplyPress_(true);
}

void CorrectionPanelModel::applyPressEnded() {
    if (!applied_ && onApplyPress_)
        onApplyPress_(false);
}

void CorrectionPanelModel::dismiss() {
    const std::vector<CorrectionIssue> chosen{selectedIssue()};
    if (onDismiss_)
        onDismiss_(chosen);
}

void CorrectionPanelModel::hoverChanged(bool hovered) {
    if (onHoverChanged_)
        onHoverChanged_(hovered);
}

std::string_view CorrectionPanelModel::explanationToggleLabel() const {
    return showExplanation_ ? "Hide explanation" : "Why?";
}

std::string_view categoryLabel(CorrectionIssue::Category category) {
    switch (category) {
        case CorrectionIssue::Category::grammar:
            return "Grammar";
        case CorrectionIssue::Category::particle:
            return "Particle";
        case CorrectionIssue::Category::vocabulary:
            return "Vocabulary";
        case CorrectionIssue::Category::conjugation:
            return "Conjugation";
        case CorrectionIssue::Category::style:
            return "Style";
    }
    return "Grammar";
}

}  // namespace mivo
