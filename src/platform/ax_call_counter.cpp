#include "platform/ax_call_counter.hpp"

namespace mivo {

void AXCallCounter::note(std::string_view kind) {
    ++total_;
    if (auto it = counts_.find(kind); it != counts_.end()) {
        ++it->second;
        return;
    }
    counts_.emplace(std::string(kind), 1);
}

uint64_t AXCallCounter::count(std::string_view kind) const {
    const auto it = counts_.find(kind);
    return it == counts_.end() ? 0 : it->second;
}

void AXCallCounter::reset() {
    counts_.clear();
    total_ = 0;
}

std::string AXCallCounter::report() const {
    std::string out;
    for (const auto& [kind, n] : counts_)
        out += kind + " " + std::to_string(n) + "\n";
    return out;
}

void CountingAccessibility::note(std::string_view call, std::string_view attribute) {
    if (attribute.empty()) {
        calls_.note(call);
        return;
    }
    std::string kind(call);
    kind += '(';
    kind += attribute;
    kind += ')';
    calls_.note(kind);
}

WriteRouteTrust CountingAccessibility::writeRouteTrust(const AXElement& element) {
    note("writeRouteTrust");
    return inner_.writeRouteTrust(element);
}

std::optional<std::string> CountingAccessibility::textChangeMark(const AXElement& element) {
    note("textChangeMark");
    return inner_.textChangeMark(element);
}

std::optional<int64_t> CountingAccessibility::textLengthMark(const AXElement& element) {
    note("textLengthMark");
    return inner_.textLengthMark(element);
}

void CountingAccessibility::requestCaret(const AXElement& element, int64_t utf16Offset) {
    note("requestCaret");
    inner_.requestCaret(element, utf16Offset);
}

bool CountingAccessibility::isProcessTrusted() {
    note("isProcessTrusted");
    return inner_.isProcessTrusted();
}

bool CountingAccessibility::isProcessTrustedWithPrompt() {
    note("isProcessTrustedWithPrompt");
    return inner_.isProcessTrustedWithPrompt();
}

AXElement CountingAccessibility::systemWideElement() {
    note("systemWideElement");
    return inner_.systemWideElement();
}

AXElement CountingAccessibility::applicationElement(Pid pid) {
    note("applicationElement");
    return inner_.applicationElement(pid);
}

AXResult CountingAccessibility::copyAttributeValue(const AXElement& element,
                                                   std::string_view attribute) {
    note("copyAttributeValue", attribute);
    return inner_.copyAttributeValue(element, attribute);
}

AXResult CountingAccessibility::copyParameterizedAttributeValue(const AXElement& element,
                                                                std::string_view attribute,
                                                                const AXValue& parameter) {
    note("copyParameterizedAttributeValue", attribute);
    return inner_.copyParameterizedAttributeValue(element, attribute, parameter);
}

AXError CountingAccessibility::setAttributeValue(const AXElement& element,
                                                 std::string_view attribute, const AXValue& value) {
    note("setAttributeValue", attribute);
    return inner_.setAttributeValue(element, attribute, value);
}

std::expected<bool, AXError> CountingAccessibility::isAttributeSettable(
    const AXElement& element, std::string_view attribute) {
    note("isAttributeSettable", attribute);
    return inner_.isAttributeSettable(element, attribute);
}

std::expected<Pid, AXError> CountingAccessibility::pid(const AXElement& element) {
    note("pid");
    return inner_.pid(element);
}

std::expected<std::unique_ptr<AXObserver>, AXError> CountingAccessibility::createObserver(
    Pid pid, AXNotificationHandler handler) {
    note("createObserver");
    return inner_.createObserver(pid, std::move(handler));
}

}  // namespace mivo
