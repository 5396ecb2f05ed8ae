#pragma once

// Screens from Qt, converted once here from Qt's coordinates (the X root
// window's: top-left origin, y down) to global coordinates with the origin
// at the bottom-left corner of the primary screen, y up.

#include <vector>

#include "platform/screens.hpp"

namespace mivo::linux_desktop {

// Top-left/y-down rectangle `r` to bottom-left/y-up global coordinates,
// given the primary screen's top-left/y-down frame.
Rect toGlobalCoordinates(const Rect& r, const Rect& primary);

class QtScreens : public Screens {
  public:
    std::vector<Screen> screens() override;
};

// The primary screen's top-left/y-down frame; the zero rectangle without one.
Rect primaryScreenFrame();

}  // namespace mivo::linux_desktop
