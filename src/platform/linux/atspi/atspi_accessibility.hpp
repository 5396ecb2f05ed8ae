#pragma once

// The accessibility port over AT-SPI 2 (libatspi). Attribute names are
// mapped to AT-SPI interfaces; ranges cross between UTF-16 units and code
// points at this edge (atspi_text); screen rectangles are made relative to
// the primary screen's top-left corner.
//
// libatspi connects to the accessibility bus on the first trust check that
// finds it usable; until then every call answers apiDisabled, as the
// interface does without the permission.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/accessibility.hpp"
#include "platform/linux/atspi/atspi_bus.hpp"
#include "platform/linux/atspi/atspi_events.hpp"
#include "platform/linux/atspi/atspi_text.hpp"
#include "platform/linux/atspi/atspi_windows.hpp"
#include "platform/linux/atspi/gobject_ptr.hpp"
#include "platform/linux/atspi/unanswering_applications.hpp"
#include "platform/log.hpp"
#include "platform/scheduler.hpp"

namespace mivo::linux_desktop {

struct LiveObject;

using WindowOrigin = std::function<std::optional<Point>(Pid, std::optional<Size>)>;
using WindowFrame = std::function<std::optional<Rect>(Pid)>;

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
    WriteRouteTrust writeRouteTrust(const AXElement& element) override;
    // The toolkit's character count and caret offset: two small calls,
    // where reading the value moves the whole text over the bus.
    std::optional<std::string> textChangeMark(const AXElement& element) override;
    // The toolkit's character count: one small call.
    std::optional<int64_t> textLengthMark(const AXElement& element) override;
    bool owesAnswer(const AXElement& element) override;
    void requestCaret(const AXElement& element, int64_t utf16Offset) override;
    void limitCallsUntil(std::optional<TimePoint> deadline) override;

    // The X root position of the top-left corner of what a process's active
    // window (else its first window) shows, for toolkits that answer window
    // coordinates; given the size the toolkit reports for that window.
    void setWindowOrigin(WindowOrigin origin) { windowOrigin_ = std::move(origin); }
    // The root rectangle of a process's active window (else its first), to
    // judge the positions of toolkits whose answers can go stale.
    void setWindowFrame(WindowFrame frame) { windowFrame_ = std::move(frame); }
    // The title of the window with the X input focus, when it is the
    // process's: it picks the active window where the toolkit marks none.
    void setActiveWindowTitle(ActiveWindowTitle title) { activeWindowTitle_ = std::move(title); }

    // How often an application's whole text was read over the bus.
    uint64_t remoteTextReads() const { return remoteTextReads_; }

  private:
    // The object behind a handle, checked: bus usable, handle of this
    // backend, not of this process, still alive.
    struct Target;
    std::expected<Target, AXError> resolve(const AXElement& element);
    // The object behind an element when it may be asked (nullptr for the
    // system-wide element); refused for our own process and an application
    // that stopped answering. `pid` gets its process as the bus knows it.
    std::expected<AtspiAccessible*, AXError> reachable(const AXElement& element,
                                                       std::expected<Pid, AXError>& pid);
    // The text interface of an element that exposes its text, else null.
    GObjectPtr<AtspiText> textInterfaceOf(const AXElement& element);
    AXResult systemWideAttribute(std::string_view attribute);
    // An attribute that follows from the object's role alone (its subrole,
    // the role's name), asked without its states.
    AXResult roleOnlyAttribute(const AXElement& element, std::string_view attribute);
    // Position or size, in the interface's coordinates.
    AXResult frameAttribute(AtspiAccessible* accessible, std::string_view attribute);
    AXResult childrenAttribute(AtspiAccessible* accessible, const LiveObject& live);
    AXResult textAttribute(AtspiAccessible* accessible, const LiveObject& live,
                           std::string_view attribute);
    AXResult focusedWindow(AtspiAccessible* application);
    AXResult focusedElement(AtspiAccessible* application);
    Rect toInterfaceCoordinates(Rect r) const;
    // Window coordinates made screen coordinates where the toolkit answers
    // no others, and moved by `shift` where the application misplaces its
    // window (hostedContentShift); nothing when the window is not known.
    std::optional<Rect> toScreen(AtspiAccessible* accessible, Toolkit toolkit, Rect r,
                                 std::optional<Point> shift);
    // Whether a range's screen rectangle from a toolkit whose positions can
    // go stale must be asked again before it is drawn; `shift` is what the
    // rectangle was moved by.
    bool isStale(const ToolkitText& text, ToolkitRange range, const Rect& onScreen,
                 std::optional<Point> shift);
    // Logs once per application that its extents cannot be used.
    void noteUnusableExtents(AtspiAccessible* accessible, Toolkit toolkit);
    // The object's text, read once per turn of the loop: a notification's
    // handler asks for the value, its length and the selection in one go.
    std::expected<std::string, AXError> cachedText(AtspiAccessible* accessible,
                                                   const ToolkitText& text);
    void forgetTexts() { texts_.clear(); }
    // What this turn of the loop read (texts, processes) is forgotten on
    // the next turn.
    void forgetOnNextTurn();
    // The object's process, asked of the bus daemon once per turn of the
    // loop and application: the calls one step makes of one field share
    // the answer, and the next step asks again whether the application is
    // still there.
    std::expected<Pid, AXError> processOfThisTurn(AtspiAccessible* accessible);
    // The selection last made in an object, for toolkits whose reports of
    // it lose information.
    std::optional<OurSelection> ourSelection(AtspiAccessible* accessible) const;

    // Leaves applications that stopped answering alone for a while (see
    // unanswering_applications.hpp).
    bool isQuiet(AtspiAccessible* accessible);
    void noteAnswers(AtspiAccessible* accessible);

    // The field to follow for a focused object (one reference taken over):
    // the object itself, or the paragraph holding the caret inside a
    // document whose own text is only embedded objects.
    AXElement fieldFor(AtspiAccessible* focused);

    Scheduler& scheduler_;
    Log& log_;
    // Documents already reported as not checkable, applications whose
    // extents cannot be used.
    std::set<std::string> notCheckableLogged_;
    std::set<std::string> unusableExtentsLogged_;
    std::map<std::string, std::string> texts_;
    std::map<std::string, Pid> processesThisTurn_;
    bool forgetScheduled_ = false;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    uint64_t remoteTextReads_ = 0;
    std::map<std::string, OurSelection> ourSelections_;
    AccessibilityBus bus_;
    UnansweringApplications unanswering_;
    // The application of the last call, and the no-reply count before it.
    std::string lastApplication_;
    uint64_t noRepliesBefore_ = 0;
    // Calls give up by then (see limitCallsUntil), and the time-out set
    // for them last.
    std::optional<TimePoint> callsBy_;
    int callTimeoutMs_ = kCallTimeoutMs;
    void boundCallTime(bool owesAnswer = false);
    std::function<Point()> primaryOrigin_;
    WindowOrigin windowOrigin_;
    WindowFrame windowFrame_;
    ActiveWindowTitle activeWindowTitle_;
    std::unique_ptr<AtspiEventHub> events_;
    Pid ownPid_;
};

}  // namespace mivo::linux_desktop
