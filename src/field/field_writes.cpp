#include "field/field_writes.hpp"

#include <utility>

#include "field/ax_text_extractor.hpp"
#include "platform/ax_reads.hpp"

namespace mivo::field_writes {

bool isFragmentBacked(Accessibility& ax, const AXElement& element) {
    return !AXTextExtractor::rawStaticTextFragments(ax, element, 0).empty();
}

ValueWrite writeWholeValue(Accessibility& ax, const AXElement& element, const ValueBuilder& build) {
    using Outcome = ValueWrite::Outcome;
    ValueWrite write;
    if (isFragmentBacked(ax, element)) {
        write.outcome = Outcome::fragmentBacked;
        return write;
    }
    auto value = readString(ax, element, kAXValueAttribute);
    if (!value) {
        write.outcome = Outcome::noValue;
        return write;
    }
    write.before = std::move(*value);
    auto updated = build(write.before);
    if (!updated) {
        write.outcome = Outcome::declined;
        return write;
    }
    write.after = std::move(*updated);
    write.error = ax.setAttributeValue(element, kAXValueAttribute, AXValue(write.after));
    write.outcome = write.error == AXError::success ? Outcome::written : Outcome::refused;
    return write;
}

ValueWrite replaceWholeValue(Accessibility& ax, const AXElement& element,
                             std::string_view readValue, std::string newValue) {
    return writeWholeValue(ax, element,
                           [&](const std::string& value) -> std::optional<std::string> {
                               if (value != readValue)
                                   return std::nullopt;
                               return std::move(newValue);
                           });
}

AXError writeSelectedText(Accessibility& ax, const AXElement& element, std::string_view text) {
    return ax.setAttributeValue(element, kAXSelectedTextAttribute, AXValue(std::string(text)));
}

}  // namespace mivo::field_writes
