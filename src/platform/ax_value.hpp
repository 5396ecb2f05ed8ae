#pragma once

// What an accessibility attribute read gives: an error code, or a value that
// may be absent or of any of the few types the interface carries. A read is
// only useful when it succeeds with a value of the expected type; the typed
// accessors below answer nothing for every other case.

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/ax_element.hpp"
#include "platform/geometry.hpp"

namespace mivo {

// The accessibility interface's error codes, with their platform values.
enum class AXError : int32_t {
    success = 0,
    failure = -25200,
    illegalArgument = -25201,
    invalidUIElement = -25202,  // the element no longer exists
    invalidUIElementObserver = -25203,
    cannotComplete = -25204,
    attributeUnsupported = -25205,
    actionUnsupported = -25206,
    notificationUnsupported = -25207,
    notImplemented = -25208,
    notificationAlreadyRegistered = -25209,
    notificationNotRegistered = -25210,
    apiDisabled = -25211,
    noValue = -25212,
    parameterizedAttributeUnsupported = -25213,
    notEnoughPrecision = -25214,
};

// The signed decimal code, as log lines print it.
inline int32_t code(AXError e) {
    return static_cast<int32_t>(e);
}

class AXValue {
  public:
    using Data = std::variant<std::monostate, std::string, double, bool, Utf16Range, Rect, Point,
                              Size, AXElement, std::vector<AXElement>>;

    AXValue() = default;  // absent: the call succeeded without a value
    AXValue(std::string v) : data_(std::move(v)) {}
    AXValue(const char* v) : data_(std::string(v)) {}
    AXValue(double v) : data_(v) {}
    AXValue(int v) : data_(static_cast<double>(v)) {}
    AXValue(int64_t v) : data_(static_cast<double>(v)) {}
    AXValue(bool v) : data_(v) {}
    AXValue(Utf16Range v) : data_(v) {}
    AXValue(Rect v) : data_(v) {}
    AXValue(Point v) : data_(v) {}
    AXValue(Size v) : data_(v) {}
    AXValue(AXElement v) : data_(std::move(v)) {}
    AXValue(std::vector<AXElement> v) : data_(std::move(v)) {}

    const Data& data() const { return data_; }

    std::optional<std::string> asString() const { return get<std::string>(); }
    std::optional<double> asNumber() const { return get<double>(); }
    std::optional<bool> asBool() const { return get<bool>(); }
    std::optional<Utf16Range> asRange() const { return get<Utf16Range>(); }
    std::optional<Rect> asRect() const { return get<Rect>(); }
    std::optional<Point> asPoint() const { return get<Point>(); }
    std::optional<Size> asSize() const { return get<Size>(); }
    std::optional<AXElement> asElement() const { return get<AXElement>(); }
    std::optional<std::vector<AXElement>> asElements() const {
        return get<std::vector<AXElement>>();
    }

    bool operator==(const AXValue&) const = default;

  private:
    template <typename T>
    std::optional<T> get() const {
        if (const T* v = std::get_if<T>(&data_))
            return *v;
        return std::nullopt;
    }
    Data data_;
};

using AXResult = std::expected<AXValue, AXError>;

}  // namespace mivo
