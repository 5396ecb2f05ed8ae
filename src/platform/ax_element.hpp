#pragma once

// A handle on one element of another application's accessibility tree. Copies
// refer to the same element; two handles compare equal exactly when the
// backend says they name the same element (its identity key), however they
// were obtained. A default-constructed handle names nothing.

#include <compare>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace mivo {

// What a backend keeps behind a handle: its own reference to the element plus
// the identity key by which handles compare.
class AXElementRef {
  public:
    explicit AXElementRef(std::string identity) : identity_(std::move(identity)) {}
    virtual ~AXElementRef() = default;
    const std::string& identity() const { return identity_; }

  private:
    std::string identity_;
};

class AXElement {
  public:
    AXElement() = default;
    explicit AXElement(std::shared_ptr<const AXElementRef> ref) : ref_(std::move(ref)) {}

    bool isNull() const { return ref_ == nullptr; }
    explicit operator bool() const { return ref_ != nullptr; }
    const AXElementRef* ref() const { return ref_.get(); }
    const std::string& identity() const;

    friend bool operator==(const AXElement& a, const AXElement& b) {
        return a.identity() == b.identity();
    }
    friend std::strong_ordering operator<=>(const AXElement& a, const AXElement& b) {
        return a.identity() <=> b.identity();
    }

  private:
    std::shared_ptr<const AXElementRef> ref_;
};

}  // namespace mivo

template <>
struct std::hash<mivo::AXElement> {
    std::size_t operator()(const mivo::AXElement& e) const noexcept {
        return std::hash<std::string>{}(e.identity());
    }
};
