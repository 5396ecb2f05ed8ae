#pragma once

// How often each kind of call went through the accessibility port. Every
// call is a request to another application (or to the bus), which that
// application pays for as much as we do: counting them by kind keeps the
// price of following a field visible, in tests and in the bench.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/accessibility.hpp"

namespace mivo {

class AXCallCounter {
  public:
    // Kinds are "copyAttributeValue(AXValue)", "pid", "textLengthMark", ...
    void note(std::string_view kind);
    uint64_t count(std::string_view kind) const;
    uint64_t total() const { return total_; }
    void reset();
    // One "kind count" line per kind, in the order of the kinds' names.
    std::string report() const;

  private:
    std::map<std::string, uint64_t, std::less<>> counts_;
    uint64_t total_ = 0;
};

// The port with every call counted before it goes on to `inner`, which
// must outlive it.
class CountingAccessibility final : public Accessibility {
  public:
    explicit CountingAccessibility(Accessibility& inner) : inner_(inner) {}

    const AXCallCounter& calls() const { return calls_; }
    AXCallCounter& calls() { return calls_; }

    WriteRouteTrust writeRouteTrust(const AXElement& element) override;
    std::optional<std::string> textChangeMark(const AXElement& element) override;
    std::optional<int64_t> textLengthMark(const AXElement& element) override;
    bool owesAnswer(const AXElement& element) override { return inner_.owesAnswer(element); }
    void requestCaret(const AXElement& element, int64_t utf16Offset) override;
    void limitCallsUntil(std::optional<TimePoint> deadline) override {
        inner_.limitCallsUntil(deadline);
    }
    void limitCallsWhile(std::function<bool()> awaited) override {
        inner_.limitCallsWhile(std::move(awaited));
    }
    bool callsLimitedNow() const override { return inner_.callsLimitedNow(); }
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
    void note(std::string_view call, std::string_view attribute = {});

    Accessibility& inner_;
    AXCallCounter calls_;
};

}  // namespace mivo
