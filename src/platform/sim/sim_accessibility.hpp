#pragma once

// The accessibility port over the simulated desktop's element trees.

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/accessibility.hpp"

namespace mivo::sim {

class SimDesktop;
using SimId = uint64_t;

class SimAccessibility : public Accessibility {
  public:
    explicit SimAccessibility(SimDesktop& desktop) : desktop_(desktop) {}

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
    // Length and selection of a text field's contents.
    std::optional<std::string> textChangeMark(const AXElement& element) override;
    bool owesAnswer(const AXElement& element) override;
    void requestCaret(const AXElement& element, int64_t utf16Offset) override;
    // How often any element's whole value was read.
    std::size_t valueReads() const { return valueReads_; }

    // Queues the notification for every observer registered on the element
    // or on its application.
    void deliver(Pid pid, SimId element, SimId applicationElement, std::string_view notification);
    // Queues the details of a text change for every observer registered
    // for the element's value changes.
    void deliverTextChange(Pid pid, SimId element, const AXTextChange& change);
    // Live observers and their registrations, for tests that check what a
    // service installed.
    std::size_t observerCount() const;
    std::size_t registrationCount() const;

    struct ObserverState {
        Pid pid = 0;
        AXNotificationHandler handler;
        AXTextChangeHandler textChangeHandler;
        std::set<std::pair<SimId, std::string>> registrations;
        bool alive = true;
    };

  private:
    // The live element a call is about, or the error the call answers with
    // (an untrusted process is refused first when `needsTrust`).
    std::expected<SimId, AXError> liveElement(const AXElement& element, bool needsTrust) const;
    AXResult derivedAttribute(SimId id, std::string_view attribute);
    AXError applyWrite(SimId id, std::string_view attribute, const AXValue& value,
                       int64_t keepTail);
    bool derivedSettable(SimId id, std::string_view attribute);
    // The block whose object character a caret at `range` stands on in the
    // own text of `document`.
    std::optional<SimId> blockAtObject(SimId document, Utf16Range range) const;

    SimDesktop& desktop_;
    std::vector<std::weak_ptr<ObserverState>> observers_;
    std::size_t valueReads_ = 0;
};

}  // namespace mivo::sim
