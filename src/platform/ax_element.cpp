#include "platform/ax_element.hpp"

namespace mivo {

const std::string& AXElement::identity() const {
    static const std::string none;
    return ref_ ? ref_->identity() : none;
}

}  // namespace mivo
