#pragma once

// The correction panel's own state: which of its issues it shows and whether
// the explanation is unfolded, plus the fixed texts it shows. Everything that
// acts on an issue leaves through the callbacks with the selected issue
// alone; the owner closes the panel and does the rest.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "shared/records.hpp"

namespace mivo {

class CorrectionPanelModel {
  public:
    using IssuesHandler = std::function<void(const std::vector<CorrectionIssue>&)>;

    CorrectionPanelModel(std::vector<CorrectionIssue> issues, IssuesHandler onApply,
                         IssuesHandler onDismiss, std::function<void(bool)> onHoverChanged);
    // A panel that only says something (no issue, nothing to press).
    static std::shared_ptr<CorrectionPanelModel> notice(std::string message);

    // The notice's message; empty for a panel of issues.
    const std::string& noticeMessage() const { return notice_; }
    bool isNotice() const { return !notice_.empty(); }

    const std::vector<CorrectionIssue>& issues() const { return issues_; }
    // The issue the panel shows: the selected one, the last for an index
    // past the end. The coordinator never shows an empty list.
    const CorrectionIssue& selectedIssue() const;
    std::size_t selectedIndex() const { return selectedIndex_; }
    bool showExplanation() const { return showExplanation_; }
    // The numbered list appears from two issues on.
    bool showsPicker() const { return issues_.size() >= 2; }

    // A list row was tapped; the explanation stays as it was.
    void select(std::size_t index);
    void toggleExplanation();
    // Hands the selected issue on, once: a second apply does nothing.
    void apply();
    // Apply is held down (a mouse button, a key, or an accessibility action
    // that animates the click), and the press ended; an end that brought
    // no apply tells so.
    void applyPressed();
    void applyPressEnded();
    void setOnApplyPress(std::function<void(bool)> handler) { onApplyPress_ = std::move(handler); }
    void dismiss();
    void hoverChanged(bool hovered);

    // "Why?" while folded, "Hide explanation" while unfolded.
    std::string_view explanationToggleLabel() const;

  private:
    std::vector<CorrectionIssue> issues_;
    IssuesHandler onApply_;
    IssuesHandler onDismiss_;
    std::function<void(bool)> onHoverChanged_;
    std::function<void(bool)> onApplyPress_;
    bool applied_ = false;
    std::size_t selectedIndex_ = 0;
    bool showExplanation_ = false;
    std::string notice_;
};

// The badge's label of a category: "Grammar", "Particle", ...
std::string_view categoryLabel(CorrectionIssue::Category category);

}  // namespace mivo
