#pragma once

// What the accessibility port's calls share once a handle is checked: the
// object behind it with its role and states, and which attributes are text.

#include <string_view>

#include "platform/linux/atspi/atspi_accessibility.hpp"
#include "platform/linux/atspi/atspi_element.hpp"

namespace mivo::linux_desktop {

struct AtspiAccessibility::Target {
    AtspiAccessible* accessible = nullptr;  // null: the system-wide element
    LiveObject live;
};

// The value, its selection (range and text) and its length.
bool isTextAttribute(std::string_view attribute);

}  // namespace mivo::linux_desktop
