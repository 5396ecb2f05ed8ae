#pragma once

// The accessibility port over AT-SPI 2 (libatspi). Attribute names are
// mapped to AT-SPI interfaces; ranges cross between UTF-16 units and code
// points at this edge (atspi_text); screen rectangles are made relative to
// the primary screen's top-left corner.
//
// libatspi connects to the accessibility bus on the first trust check that
// finds it usable; until then every call answers apiDisabled, as the
// interface does without the permission.

#include <functional>
#include <memory>

#include "platform/accessibility.hpp"
#include "platform/linux/atspi_bus.hpp"
#include "platform/linux/atspi_events.hpp"
#include "platform/linux/atspi_text.hpp"
#include "platform/log.hpp"
#include "platform/scheduler.hpp"

namespace mivo::linux_desktop {

struct LiveObject;

class AtspiAccessibility : public Accessibility {
  public:
    // `primaryOrigin` gives the primary screen's top-left corner in the
    // coordinates AT-SPI answers (the X root window's).
    AtspiAccessibility(Scheduler& scheduler, Log& log, std::function<Point()> primaryOrigin);
    ~AtspiAccessibility() override;

    bool isProcessTrusted() override;
    bool isProcessTrustedWithPrompt() override;
    AXElement systemWideElement() override;
    AXElement applicationElement(Pid pid) override;
    AXResult copyAttributeValue(const AXElement& element, std::string_view attribute) override;
    AXResult copyParameterizedAttributeValue(const AXElement& element, std::string_view attribute,
                                             const AXValue& parameter) override;
    AXError setAttributeValue(const AXElement& element, std::string_view attribute,
                              const AXValue& value) override;
    std::expected<bool, AXError> isAttributeSettable(const AXElement& element,
                                                     std::string_view attribute) override;
    std::expected<Pid, AXError> pid(const AXElement& element) override;
    std::expected<std::unique_ptr<AXObserver>, AXError> createObserver(
        Pid pid, AXNotificationHandler handler) override;

  private:
    // The object behind a handle, checked: bus usable, handle of this
    // backend, not of this process, still alive.
    struct Target;
    std::expected<Target, AXError> resolve(const AXElement& element);
    AXResult systemWideAttribute(std::string_view attribute);
    AXResult textAttribute(AtspiAccessible* accessible, std::string_view attribute);
    AXResult focusedWindow(AtspiAccessible* application);
    AXResult focusedElement(AtspiAccessible* application);
    Rect toInterfaceCoordinates(Rect r) const;

    AccessibilityBus bus_;
    std::function<Point()> primaryOrigin_;
    std::unique_ptr<AtspiEventHub> events_;
    Pid ownPid_;
};

}  // namespace mivo::linux_desktop
