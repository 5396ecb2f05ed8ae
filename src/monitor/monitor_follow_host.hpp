#pragma once

// The monitor as the host of its document follow: what the follow reads and
// asks of the field followed, answered by the monitor's own members.

#include <utility>

#include "monitor/accessibility_monitor.hpp"

namespace mivo {

class AccessibilityMonitor::FollowHost final : public DocumentFollowHost {
  public:
    explicit FollowHost(AccessibilityMonitor& monitor) : m_(monitor) {}

    Accessibility& accessibility() override { return m_.ports_.accessibility; }
    bool isMonitoring() const override { return m_.isMonitoring(); }
    const std::optional<AXElement>& followedField() const override { return m_.observedElement_; }
    bool followedFieldHeldFocus() const override { return m_.observedHeldFocus_; }
    std::optional<AXElement> searchFocusedField() override { return m_.searchFocusedField(); }
    std::optional<FieldText> readFieldText(const AXElement& element) override {
        return m_.readFieldText(element);
    }
    void checkBlock(const AXElement& element, const FieldText& text) override {
        m_.analyzeText(element, text, false);
    }
    void settleNotifications() override {
        if (m_.burst_.element && m_.burst_.element == m_.observedElement_) {
            m_.burst_.read.cancel();
            m_.readFieldBurst();
        }
    }
    Cancel takeWaitingCheck() override {
        if (!m_.debounceWork_ || m_.debounceWork_.isCancelled())
            return Cancel();
        return std::exchange(m_.debounceWork_, Cancel());
    }
    void attach(const AXElement& element) override {
        m_.observeFocusedElement(std::optional<std::optional<AXElement>>(element));
    }
    void lookAtFocus() override { m_.handleFocusChanged(); }
    void fieldMayHaveMoved() override { m_.notifyFieldMayHaveMoved(); }
    const std::optional<FieldText>& checkedText() const override { return m_.lastAnalyzedText_; }
    void setCheckedText(FieldText text) override { m_.setLastAnalyzedText(std::move(text)); }
    Cancel scheduleStep(double seconds, std::function<void()> step) override {
        return m_.scheduleStep(seconds, std::move(step));
    }
    void log(std::string_view message) override { m_.log(message); }

  private:
    AccessibilityMonitor& m_;
};

}  // namespace mivo
