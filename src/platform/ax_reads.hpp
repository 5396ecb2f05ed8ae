#pragma once

// Typed attribute reads. A read counts only when the call reports no error,
// gives a value and the value has the expected type; every other outcome is
// nothing, and the caller moves on to its next source.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/accessibility.hpp"

namespace mivo {

std::optional<std::string> readString(Accessibility& ax, const AXElement& e, std::string_view a);
std::optional<bool> readBool(Accessibility& ax, const AXElement& e, std::string_view a);
std::optional<double> readNumber(Accessibility& ax, const AXElement& e, std::string_view a);
std::optional<Utf16Range> readRange(Accessibility& ax, const AXElement& e, std::string_view a);
std::optional<Point> readPoint(Accessibility& ax, const AXElement& e, std::string_view a);
std::optional<Size> readSize(Accessibility& ax, const AXElement& e, std::string_view a);
std::optional<AXElement> readElement(Accessibility& ax, const AXElement& e, std::string_view a);
std::optional<std::vector<AXElement>> readElements(Accessibility& ax, const AXElement& e,
                                                   std::string_view a);
// Whether the call reports no error, whatever it gives.
bool readsWithoutError(Accessibility& ax, const AXElement& e, std::string_view a);

}  // namespace mivo
