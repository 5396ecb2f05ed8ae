#include "platform/accessibility.hpp"

#include <utility>

#include "platform/ax_reads.hpp"

namespace mivo {

std::optional<int64_t> Accessibility::textLengthMark(const AXElement& element) {
    const auto count = readNumber(*this, element, kAXNumberOfCharactersAttribute);
    if (!count)
        return std::nullopt;
    return static_cast<int64_t>(*count);
}

void Accessibility::requestCaret(const AXElement& element, int64_t utf16Offset) {
    setAttributeValue(element, kAXSelectedTextRangeAttribute, AXValue(Utf16Range{utf16Offset, 0}));
}

void Accessibility::limitCallsWhile(std::function<bool()> awaited) {
    callsLimitedWhile_ = std::move(awaited);
}

bool Accessibility::callsLimitedNow() const {
    return callsLimitedWhile_ && callsLimitedWhile_();
}

}  // namespace mivo
