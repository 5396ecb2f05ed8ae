#pragma once

// Owns the one floating correction panel: shows it for one or several issues
// next to the hovered highlight (below when there is room, else above),
// keeps the anchored edge in place when its content grows or shrinks, and
// turns the panel's actions into onApply, onDismiss and onHoverChanged.
// Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "overlay/correction_panel_window.hpp"
#include "platform/scheduler.hpp"
#include "platform/screens.hpp"
#include "shared/records.hpp"
#include "ui/panel_placement.hpp"

namespace mivo {

class OverlayCoordinator {
  public:
    // What the panel shows; only show() and the closing operations change it.
    struct OverlayState {
        struct ShowingCorrection {
            CorrectionIssue issue;
        };
        struct ShowingMultiple {
            std::vector<CorrectionIssue> issues;
        };
        struct Error {
            std::string message;
        };
        struct Hidden {};
        struct Processing {};
        using Value = std::variant<ShowingCorrection, ShowingMultiple, Error, Hidden, Processing>;

        Value value = Hidden{};
        bool isHidden() const { return std::holds_alternative<Hidden>(value); }
        // The issues shown: one, several, or none.
        std::vector<CorrectionIssue> issues() const;
    };

    OverlayCoordinator(CorrectionPanelWindow& window, Scheduler& scheduler, Screens& screens);
    ~OverlayCoordinator();
    OverlayCoordinator(const OverlayCoordinator&) = delete;
    OverlayCoordinator& operator=(const OverlayCoordinator&) = delete;

    // The user accepted these issues; called 0.05 s after the panel closed.
    std::function<void(const std::vector<CorrectionIssue>&)> onApply;
    // The user dismissed these issues; called before the panel closes.
    std::function<void(const std::vector<CorrectionIssue>&)> onDismiss;
    // The pointer entered (true) or left (false) the panel; also false at
    // every hide().
    std::function<void(bool)> onHoverChanged;
    // Apply is being pressed (true), or a press ended without it (false):
    // the user's keys are to wait for the correction from the press on.
    std::function<void(bool)> onApplyPress;
    // The panel closed under a press on Apply (the user's own click in the
    // text closed it before the press was taken): nothing is written, and
    // the owner says so, once the panel is gone.
    std::function<void()> onApplyCutOff;

    // Shows the panel for these issues next to `near` (the hovered
    // highlight's unpadded rectangle), or centred on the main screen without
    // one. An empty list does nothing.
    void show(const std::vector<CorrectionIssue>& issues, const std::optional<Rect>& near);
    // Closes the panel; a notice stays (see showNotice).
    void hide();
    // Shows `message` alone where the panel would stand next to `near` (the
    // state `Error`); it closes by itself after `noticeSeconds`, or with the
    // next show() or showNotice(). hide() leaves it: it tells what became of
    // a write the user interrupted, and the user's own click that did so
    // (in a browser, on the page) moves the focus, which closes the
    // correction UI at once and would take the notice along unseen.
    void showNotice(const std::string& message, const std::optional<Rect>& near);
    // Closes the panel and reports the issues through onApply 0.05 s later.
    void apply(const std::vector<CorrectionIssue>& issues);
    // Reports the issues through onDismiss, then closes the panel.
    void dismiss(const std::vector<CorrectionIssue>& issues);

    const OverlayState& state() const { return state_; }
    // The panel's frame; nothing while no panel exists.
    std::optional<Rect> currentPanelFrame() const;

    // The frame of a panel of `size` next to `near` on the visible frame
    // `in`; remembers which edge the later resizes keep.
    Rect frameForPanel(const Size& size, const Rect& near, const Rect& in);
    // The visible frame of the screen that holds (or is nearest to) the
    // rectangle's centre.
    Rect visibleScreenFrame(const Rect& rect);
    static Rect visibleScreenFrame(const Rect& rect, const std::vector<Screen>& screens);

    static constexpr double panelWidth = 360;
    static constexpr double panelPadding = panel_placement::panelPadding;
    static constexpr double anchorGap = panel_placement::anchorGap;
    // How long after the panel closed onApply is called.
    static constexpr double applyDelay = 0.05;
    static constexpr double noticeSeconds = 2.5;

  private:
    void close();
    // The view pressed goes: the press can no longer become a click.
    void endPress();
    void maintainVerticalAnchor(const Rect& resized);
    // Hosts `model` and brings the panel to the front next to `near`.
    void present(std::shared_ptr<CorrectionPanelModel> model, const std::optional<Rect>& near);

    CorrectionPanelWindow& window_;
    Scheduler& scheduler_;
    Screens& screens_;
    OverlayState state_;
    std::optional<VerticalAnchor> verticalAnchor_;
    bool panelMade_ = false;
    // Counts shows and hides: a notice closes itself only if it is still
    // what the panel shows.
    uint64_t shownGeneration_ = 0;
    // Apply is down on the view shown: the press is on its way to a click.
    bool applyPressed_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace mivo
