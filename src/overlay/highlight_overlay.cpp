#include "overlay/highlight_overlay.hpp"

#include <utility>

namespace mivo {

HighlightOverlay::HighlightOverlay(HighlightWindows& windows) : windows_(windows) {
    std::weak_ptr<bool> alive = alive_;
    windows_.setOnViewChanged([this, alive] {
        if (alive.lock() != nullptr && !panels_.empty() && onViewChanged)
            onViewChanged();
    });
}

HighlightOverlay::~HighlightOverlay() {
    *alive_ = false;
    windows_.setOnViewChanged(nullptr);
}

void HighlightOverlay::show(const std::vector<HighlightAnnotation>& annotations) {
    std::vector<HighlightSignature> signatures;
    signatures.reserve(annotations.size());
    for (const auto& annotation : annotations)
        signatures.push_back(HighlightSignature::of(annotation));

    std::vector<HighlightSignature> shown;
    shown.reserve(panels_.size());
    for (const auto& active : panels_)
        shown.push_back(active.signature);
    if (sameSignatures(signatures, shown)) {
        // The windows stay, but what they report follows the newest check:
        // a dismiss names the new issue ids.
        for (std::size_t i = 0; i < panels_.size(); ++i) {
            panels_[i].target->issue = annotations[i].issue;
            panels_[i].target->rect = annotations[i].rect;
        }
        return;
    }

    // Each highlight that is still wanted keeps its window, moved where
    // its text went: while a document scrolls or reflows, its boxes follow
    // it without a window unmapped and mapped again, and never two windows
    // for one box. Only new highlights get new windows.
    std::vector<ActiveHighlight> old = std::exchange(panels_, {});
    std::vector<bool> taken(old.size(), false);
    const std::optional<Point> pointer = windows_.pointerLocation();
    for (std::size_t i = 0; i < annotations.size(); ++i) {
        const HighlightAnnotation& annotation = annotations[i];
        std::size_t found = old.size();
        for (std::size_t j = 0; j < old.size(); ++j) {
            if (!taken[j] && old[j].signature.key == signatures[i].key &&
                old[j].signature.severity == signatures[i].severity) {
                found = j;
                break;
            }
        }
        if (found < old.size()) {
            taken[found] = true;
            ActiveHighlight kept = std::move(old[found]);
            const bool moved = !(kept.signature == signatures[i]);
            kept.signature = signatures[i];
            kept.target->issue = annotation.issue;
            kept.target->rect = annotation.rect;
            if (moved)
                kept.panel->setFrame(signatures[i].frame);
            panels_.push_back(std::move(kept));
            // Moved under a resting pointer, it is hovered now.
            if (moved && annotation.issue && pointer && !panels_.back().target->hovered &&
                signatures[i].frame.contains(*pointer)) {
                panels_.back().panel->setHovered(true);
                hoverChanged(panels_.back().target, true);
            }
            continue;
        }
        auto target =
            std::make_shared<HoverTarget>(HoverTarget{annotation.issue, annotation.rect, false});
        std::function<void(bool)> hover;
        if (annotation.issue) {
            std::weak_ptr<bool> alive = alive_;
            std::weak_ptr<HoverTarget> weakTarget = target;
            hover = [this, alive, weakTarget](bool hovered) {
                if (alive.lock() != nullptr)
                    hoverChanged(weakTarget, hovered);
            };
        }
        auto window = windows_.create(signatures[i].frame, annotation.severity, std::move(hover));
        panels_.push_back(ActiveHighlight{signatures[i], target, std::move(window)});
        if (annotation.issue && pointer && signatures[i].frame.contains(*pointer)) {
            panels_.back().panel->setHovered(true);
            hoverChanged(target, true);
        }
    }
    std::vector<ActiveHighlight> removed;
    for (std::size_t j = 0; j < old.size(); ++j) {
        if (!taken[j])
            removed.push_back(std::move(old[j]));
    }
    remove(std::move(removed));
}

void HighlightOverlay::show(const Rect& rect, CorrectionIssue::Severity severity) {
    show(std::vector<HighlightAnnotation>{HighlightAnnotation{rect, severity, std::nullopt}});
}

void HighlightOverlay::hide() {
    remove(std::exchange(panels_, {}));
}

void HighlightOverlay::hide(const std::set<std::string>& issueIDs) {
    if (issueIDs.empty())
        return;
    std::vector<ActiveHighlight> kept;
    std::vector<ActiveHighlight> removed;
    for (auto& active : panels_) {
        const auto& issue = active.target->issue;
        if (issue && issueIDs.contains(issue->id))
            removed.push_back(std::move(active));
        else
            kept.push_back(std::move(active));
    }
    panels_ = std::move(kept);
    remove(std::move(removed));
}

std::vector<std::optional<std::string>> HighlightOverlay::shownIssueIDs() const {
    std::vector<std::optional<std::string>> ids;
    for (const auto& active : panels_) {
        if (active.target->issue)
            ids.emplace_back(active.target->issue->id);
        else
            ids.emplace_back(std::nullopt);
    }
    return ids;
}

void HighlightOverlay::hoverChanged(const std::weak_ptr<HoverTarget>& weakTarget, bool hovered) {
    const auto target = weakTarget.lock();
    // A window mapped under the pointer may also hear the enter that the
    // show already reported: only changes count.
    if (target == nullptr || !target->issue || target->hovered == hovered)
        return;
    target->hovered = hovered;
    // Copies: the callback may show or hide highlights.
    const CorrectionIssue issue = *target->issue;
    const Rect rect = target->rect;
    if (hovered) {
        if (onHoverIssue)
            onHoverIssue(issue, rect);
    } else if (onHoverEnded) {
        onHoverEnded(issue);
    }
}

void HighlightOverlay::remove(std::vector<ActiveHighlight> removed) {
    std::vector<CorrectionIssue> ended;
    for (auto& active : removed) {
        if (active.target->hovered && active.target->issue)
            ended.push_back(*active.target->issue);
        active.target->hovered = false;
        active.panel.reset();
    }
    removed.clear();
    // Without this end the owner would keep the panel open over nothing.
    std::weak_ptr<bool> alive = alive_;
    for (const auto& issue : ended) {
        if (alive.lock() == nullptr || !onHoverEnded)
            return;
        onHoverEnded(issue);
    }
}

}  // namespace mivo
