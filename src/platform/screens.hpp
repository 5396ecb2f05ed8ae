#pragma once

// The displays, with frames in global coordinates: origin at the bottom-left
// corner of the primary screen, y upward.

#include <vector>

#include "platform/geometry.hpp"

namespace mivo {

struct Screen {
    Rect frame;
    Rect visibleFrame;  // without panels and docks
    bool operator==(const Screen&) const = default;
};

class Screens {
  public:
    virtual ~Screens() = default;
    // In the system's order; possibly empty (a headless session).
    virtual std::vector<Screen> screens() = 0;
};

}  // namespace mivo
