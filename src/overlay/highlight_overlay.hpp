#pragma once

// Marks every correction issue inside another application's text with a
// small window of its own, laid over the text's rectangle in the issue's
// severity colour. The owner calls show() again and again while the text
// moves; a call that brings nothing new leaves the windows alone. Entering a
// highlight reports its issue and rectangle, leaving it (or its removal
// while hovered) reports the end of the hover. Main thread only.

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "overlay/highlight_annotation.hpp"
#include "overlay/highlight_signature.hpp"
#include "overlay/highlight_windows.hpp"

namespace mivo {

class HighlightOverlay {
  public:
    using HighlightAnnotation = mivo::HighlightAnnotation;

    explicit HighlightOverlay(HighlightWindows& windows);
    ~HighlightOverlay();
    HighlightOverlay(const HighlightOverlay&) = delete;
    HighlightOverlay& operator=(const HighlightOverlay&) = delete;

    // The pointer entered the highlight of this issue; the rectangle is the
    // annotation's unpadded one.
    std::function<void(const CorrectionIssue&, const Rect&)> onHoverIssue;
    // The pointer left the highlight of this issue, or it was removed while
    // the pointer was on it.
    std::function<void(const CorrectionIssue&)> onHoverEnded;
    // The window the highlights lie over took another title: what they
    // mark may no longer be in front.
    std::function<void()> onViewChanged;

    // Shows exactly these highlights, in this order. A highlight already
    // shown (same issue key and severity) keeps its window, moved when its
    // frame changed by half a point or more; only new ones get windows.
    // Every kept highlight takes the new annotation's issue and rectangle.
    void show(const std::vector<HighlightAnnotation>& annotations);
    // One anonymous highlight.
    void show(const Rect& rect, CorrectionIssue::Severity severity);
    void hide();
    // Removes the highlights of these issues, keeping the others in order.
    void hide(const std::set<std::string>& issueIDs);

    // The shown highlights' issue ids in order (empty for an anonymous one).
    std::vector<std::optional<std::string>> shownIssueIDs() const;
    std::size_t count() const { return panels_.size(); }

  private:
    // What a highlight's hover reports, kept current across identical shows.
    struct HoverTarget {
        std::optional<CorrectionIssue> issue;
        Rect rect;
        bool hovered = false;
    };
    struct ActiveHighlight {
        HighlightSignature signature;
        std::shared_ptr<HoverTarget> target;
        std::unique_ptr<HighlightWindow> panel;
    };

    void hoverChanged(const std::weak_ptr<HoverTarget>& target, bool hovered);
    // Drops the highlights and then reports the end of any hover among them.
    void remove(std::vector<ActiveHighlight> removed);

    HighlightWindows& windows_;
    std::vector<ActiveHighlight> panels_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace mivo
