#include "overlay/overlay_coordinator.hpp"

#include <utility>

namespace mivo {

std::vector<CorrectionIssue> OverlayCoordinator::OverlayState::issues() const {
    if (const auto* one = std::get_if<ShowingCorrection>(&value))
        return {one->issue};
    if (const auto* several = std::get_if<ShowingMultiple>(&value))
        return several->issues;
    return {};
}

OverlayCoordinator::OverlayCoordinator(CorrectionPanelWindow& window, Scheduler& scheduler,
                                       Screens& screens)
    : window_(window), scheduler_(scheduler), screens_(screens) {}

OverlayCoordinator::~OverlayCoordinator() {
    *alive_ = false;
    window_.setOnResize(nullptr);
}

void OverlayCoordinator::show(const std::vector<CorrectionIssue>& issues,
                              const std::optional<Rect>& near) {
    // The release of a press on Apply comes to the view pressed: one made
    // anew now (the pointer crossed the panel's own box, reported over
    // another connection than the release) would take it, and nothing
    // would be applied.
    if (issues.empty() || applyPressed_)
        return;
    if (issues.size() == 1)
        state_.value = OverlayState::ShowingCorrection{issues.front()};
    else
        state_.value = OverlayState::ShowingMultiple{issues};

    std::weak_ptr<bool> alive = alive_;
    auto model = std::make_shared<CorrectionPanelModel>(
        issues,
        [this, alive](const std::vector<CorrectionIssue>& chosen) {
            if (alive.lock() != nullptr)
                apply(chosen);
        },
        [this, alive](const std::vector<CorrectionIssue>& chosen) {
            if (alive.lock() != nullptr)
                dismiss(chosen);
        },
        [this, alive](bool hovered) {
            if (alive.lock() != nullptr && onHoverChanged)
                onHoverChanged(hovered);
        });
    model->setOnApplyPress([this, alive](bool pressed) {
        if (alive.lock() == nullptr)
            return;
        // A press that reaches a panel already closed (our loop was held
        // up meanwhile) can lead to no Apply: it holds nothing.
        if (pressed && state_.isHidden())
            return;
        applyPressed_ = pressed;
        if (onApplyPress)
            onApplyPress(pressed);
    });
    present(std::move(model), near);
}

void OverlayCoordinator::showNotice(const std::string& message, const std::optional<Rect>& near) {
    state_.value = OverlayState::Error{message};
    present(CorrectionPanelModel::notice(message), near);
    std::weak_ptr<bool> alive = alive_;
    scheduler_.after(noticeSeconds, [this, alive, generation = shownGeneration_] {
        if (alive.lock() != nullptr && generation == shownGeneration_)
            close();
    });
}

void OverlayCoordinator::present(std::shared_ptr<CorrectionPanelModel> model,
                                 const std::optional<Rect>& near) {
    endPress();
    ++shownGeneration_;
    std::weak_ptr<bool> alive = alive_;
    const Size size = window_.setContent(std::move(model), panelWidth);
    if (!panelMade_) {
        panelMade_ = true;
        window_.setOnResize([this, alive](const Rect& resized) {
            if (alive.lock() != nullptr)
                maintainVerticalAnchor(resized);
        });
    }

    Rect frame;
    if (near) {
        frame = frameForPanel(size, *near, visibleScreenFrame(*near));
    } else {
        verticalAnchor_.reset();
        frame = panel_placement::centred(size, screens_.screens());
    }
    window_.setFrame(frame);
    window_.orderFront();
}

void OverlayCoordinator::hide() {
    if (std::holds_alternative<OverlayState::Error>(state_.value))
        return;
    close();
}

void OverlayCoordinator::endPress() {
    // The hold the press started would otherwise wait out its bound for a
    // click that cannot come.
    if (std::exchange(applyPressed_, false) && onApplyPress)
        onApplyPress(false);
}

void OverlayCoordinator::close() {
    const bool cutOff = applyPressed_;
    endPress();
    ++shownGeneration_;
    state_.value = OverlayState::Hidden{};
    if (onHoverChanged)
        onHoverChanged(false);
    if (panelMade_)
        window_.orderOut();
    // Last: the owner may show a notice in the panel's place.
    if (cutOff && onApplyCutOff)
        onApplyCutOff();
}

void OverlayCoordinator::apply(const std::vector<CorrectionIssue>& issues) {
    // The press became this click: its hold goes on to the write.
    applyPressed_ = false;
    hide();
    // The handler as it is now: replacing it later does not redirect this
    // report.
    auto handler = onApply;
    scheduler_.after(applyDelay, [handler = std::move(handler), issues] {
        if (handler)
            handler(issues);
    });
}

void OverlayCoordinator::dismiss(const std::vector<CorrectionIssue>& issues) {
    if (onDismiss)
        onDismiss(issues);
    hide();
}

std::optional<Rect> OverlayCoordinator::currentPanelFrame() const {
    if (!panelMade_)
        return std::nullopt;
    return window_.frame();
}

Rect OverlayCoordinator::frameForPanel(const Size& size, const Rect& near, const Rect& in) {
    const PanelPlacement placement = panel_placement::place(size, near, in);
    verticalAnchor_ = placement.anchor;
    return placement.frame;
}

Rect OverlayCoordinator::visibleScreenFrame(const Rect& rect) {
    return panel_placement::visibleScreenFrame(rect, screens_.screens());
}

Rect OverlayCoordinator::visibleScreenFrame(const Rect& rect, const std::vector<Screen>& screens) {
    return panel_placement::visibleScreenFrame(rect, screens);
}

void OverlayCoordinator::maintainVerticalAnchor(const Rect& resized) {
    if (!verticalAnchor_)
        return;
    if (const auto moved = panel_placement::keepAnchoredEdge(resized, *verticalAnchor_))
        window_.setFrame(*moved);
}

}  // namespace mivo
