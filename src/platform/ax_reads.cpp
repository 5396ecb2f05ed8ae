#include "platform/ax_reads.hpp"

namespace mivo {
namespace {

template <typename T, typename Get>
std::optional<T> typed(Accessibility& ax, const AXElement& e, std::string_view a, Get get) {
    const AXResult r = ax.copyAttributeValue(e, a);
    if (!r)
        return std::nullopt;
    return ((*r).*get)();
}

}  // namespace

std::optional<std::string> readString(Accessibility& ax, const AXElement& e, std::string_view a) {
    return typed<std::string>(ax, e, a, &AXValue::asString);
}

std::optional<bool> readBool(Accessibility& ax, const AXElement& e, std::string_view a) {
    return typed<bool>(ax, e, a, &AXValue::asBool);
}

std::optional<double> readNumber(Accessibility& ax, const AXElement& e, std::string_view a) {
    return typed<double>(ax, e, a, &AXValue::asNumber);
}

std::optional<Utf16Range> readRange(Accessibility& ax, const AXElement& e, std::string_view a) {
    return typed<Utf16Range>(ax, e, a, &AXValue::asRange);
}

std::optional<Point> readPoint(Accessibility& ax, const AXElement& e, std::string_view a) {
    return typed<Point>(ax, e, a, &AXValue::asPoint);
}

std::optional<Size> readSize(Accessibility& ax, const AXElement& e, std::string_view a) {
    return typed<Size>(ax, e, a, &AXValue::asSize);
}

std::optional<AXElement> readElement(Accessibility& ax, const AXElement& e, std::string_view a) {
    auto v = typed<AXElement>(ax, e, a, &AXValue::asElement);
    if (v && v->isNull())
        return std::nullopt;
    return v;
}

std::optional<std::vector<AXElement>> readElements(Accessibility& ax, const AXElement& e,
                                                   std::string_view a) {
    return typed<std::vector<AXElement>>(ax, e, a, &AXValue::asElements);
}

bool readsWithoutError(Accessibility& ax, const AXElement& e, std::string_view a) {
    return ax.copyAttributeValue(e, a).has_value();
}

}  // namespace mivo
